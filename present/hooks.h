// Routines that learn units and objects call in modules that own them
// (display, image cache, text layout, the interpreter's release family).
// present/hooks.cpp gives each a weak default so objects can be built and
// released before the owner exists; the owner's definition, with the same
// signature, replaces the default at link time.
#pragma once
#include "present/objects.h"

// Pictures: a new picture filled with the colour (RGB), its release, and
// its size.
Picture* blankImage(UnitContext* ctx, int width, int height, int colour);
void killImage(UnitContext* ctx, Picture* picture);
void pictureSize(const Picture* picture, int* width, int* height);

// Resizes the drawing area of the main window.
void resizeMainWin(UnitContext* ctx, int width, int height);

// Image cache: frees the entries the learn unit loaded; gives back a
// picture an object showed (the cache decides whether it is freed).
void freeUnitImages(UnitContext* ctx, LearnUnit* unit);
void releaseObjectImage(UnitContext* ctx, Picture* picture);

// Text layout of a textobj: its lines and its font unless shared.
void freeTextLayout(UnitContext* ctx, TextLayout* layout);

// Release family of the program records.
void f_oper(UnitContext* ctx, op* node);
void f_simulate(UnitContext* ctx, simaction* list, int kill);
// Frees the program records of the learn unit (declarations, functions,
// frames, global instances, forward calls and the unit's names).
void freesim(UnitContext* ctx, LearnUnit* unit);
