// The view: the 19 arrays of an editing program that mirror the objects of
// the block being edited, one entry per object plus a spare entry for the
// next new object. loadView fills them from the model, saveView copies
// them back, and generateObject shows each entry as a live object bound
// to its elements (authoring/display.cpp).
#pragma once
#include <cstdint>

#include "interp/records.h"


// Positions of the arrays in the argument list, from 0.
enum ViewArray : int {
    VA_KIND,
    VA_X,
    VA_Y,
    VA_COUNT,
    VA_COLOR,
    VA_ACTIVE,
    VA_SAVEBACKGROUND,
    VA_LEVEL,
    VA_FILL,
    VA_TEXTURE,
    VA_DASHES,
    VA_LINEWIDTH,
    VA_STARTANGLE,
    VA_ENDANGLE,
    VA_NAME,
    VA_FONT,
    VA_OUTTEXT,
    VA_IMAGE,
    VA_TRANSLATION,
    VA_ARRAYS
};
inline constexpr int kViewPoints = 16;
inline constexpr int kFirstViewInt = VA_COLOR;
inline constexpr int kFirstViewText = VA_NAME;

struct ViewArrays {
    vinst* array[VA_ARRAYS] = {};
};

// Takes the 19 arrays from the argument list, numbering them from argno;
// false after a reported argument error.
bool takeViewArrays(UnitContext* ctx, param*& cursor, int argno, const char* fname, ViewArrays* view);

// Entries the arrays hold (the smallest of their lengths).
int viewLength(const ViewArrays& view);
std::int32_t viewInt(const ViewArrays& view, int array, int row, int column = 0);
void setViewInt(const ViewArrays& view, int array, int row, std::int32_t value, int column = 0);
// Resizes every array to `rows` entries; keep false clears them.
void resizeView(UnitContext* ctx, const ViewArrays& view, int rows, bool keep);
// Resizes one array in place to `rows` entries (16 columns for a
// two-dimensional one); new and, without keep, all text entries are empty.
void resizeArray(UnitContext* ctx, vinst* array, int rows, bool keep);
void markViewChanged(UnitContext* ctx, const ViewArrays& view);

// The authoring kind code of an object keyword, 0 for others, and back
// (null for an unknown code).
int authoringCode(const char* keyword);
const char* authoringKeyword(int code);

// Fills the arrays from the current block's objects; returns 1.
int fillView(UnitContext* ctx, const ViewArrays& view);
// Copies the arrays into the table's objects; returns how many it stored.
int storeView(UnitContext* ctx, const ViewArrays& view);
