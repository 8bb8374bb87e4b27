// Layout of the text of textobj objects: lines broken to the object's
// box, numbers formatted with their decimals, and the fonts they use.
// The layout lives in the shown value of the object's outtext, outint or
// outfloat attribute, which owns it; the font attribute borrows it.
#pragma once
#include <X11/Xlib.h>

#include "core/lists.h"
#include "present/objects.h"

struct UnitContext;

struct TextLine : ListNode {
    int length = 0;
    char* text = nullptr;  // owned
};

struct TextLayout {
    unsigned char sharedFont = 1;  // 1 while font is the default font
    XFontStruct* font = nullptr;
    TextLine* lines = nullptr;
    int width = 0;   // widest line in pixels
    int nlines = 0;
};

TextLayout* newTxtNode(UnitContext* ctx);
void newTextLine(UnitContext* ctx, TextLayout* layout, const char* text, int length);
// Frees the lines, the font unless shared, and the record (null accepted).
void killTextLayout(UnitContext* ctx, TextLayout* layout);

void recalcText(UnitContext* ctx, GraphObj* obj);
void tScanText(UnitContext* ctx, Attrib* attr, int width, int height);
void tScanInt(UnitContext* ctx, Attrib* attr, int length);
void tScanFlt(UnitContext* ctx, Attrib* attr, int length);
void getFont(UnitContext* ctx, Attrib* fontAttr);
// The layout of a textobj (from outtext, else outint, else outfloat).
TextLayout* textLayoutOf(GraphObj* obj);

// Fonts.
char* actualFontname(UnitContext* ctx, const char* requested);
int getFInfo(UnitContext* ctx, TextLayout* layout, const char* name);
void getDefFInfo(UnitContext* ctx, TextLayout* layout);
void freeFont(UnitContext* ctx, TextLayout* layout);
int tamCharWidth(UnitContext* ctx, XFontStruct* font, unsigned char c);
int textWidth(UnitContext* ctx, XFontStruct* font, const char* text, int length);
// Extents of a text of several lines in the named font; false when the
// font cannot be loaded (the default font is then measured).
bool fextents(UnitContext* ctx, const char* text, const char* fontName, int* ascent,
              int* descent, int* width);
