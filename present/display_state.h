// The process-wide display state shared by the palette, picture, drawing
// and font modules of the presentation layer (not for use elsewhere).
#pragma once
#include <X11/Intrinsic.h>
#include <X11/Xcms.h>
#include <X11/Xlib.h>

#include <cstdint>

struct UnitContext;
struct Picture;

inline constexpr int kRasterCount = 17;
inline constexpr int kStippleCount = 30;
inline constexpr int kDashCount = 3;

struct DisplayState {
    UnitContext* ctx = nullptr;
    Display* display = nullptr;
    Visual* visual = nullptr;
    int depth = 0;
    Widget shell = nullptr;
    Colormap colormap = None;
    XcmsColor palette[256] = {};
    int mode = 0;  // PaletteMode

    std::uint32_t* defPixels = nullptr;  // default picture, pixel codes
    Picture* defaultPicture = nullptr;

    // Graphic contexts: base and drawing (display depth), clearing, and the
    // base and working contexts of 1-bit masks.
    GC baseGC = nullptr;
    GC drawGC = nullptr;
    GC clearGC = nullptr;
    GC maskBaseGC = nullptr;
    GC maskGC = nullptr;

    Pixmap rasters[kRasterCount] = {};
    Pixmap stipples[kStippleCount + 1] = {};  // index 1..30

    XFontStruct* defaultFont = nullptr;
    XImage* lastImage = nullptr;  // last image handed to the server
    bool shownProgram = false;    // a program's picture reached the window
    // The screen image of the last program to end with no program beneath
    // it: exposures repaint from it while no program runs.
    Picture* lastScreen = nullptr;
    bool refreshing = false;      // a refresh is running (attributes may call functions)
    bool drawFontChanged = false; // the drawing context holds a font other than the default
    bool drawClipped = false;     // the drawing context holds a clip
};

// The colour-name converter stops using a display state being freed.
void forgetConverterState(DisplayState* ds);
// Frees the display state's X resources and memory (at cleanup).
void releaseDisplayState(UnitContext* ctx);
// Creates the graphic contexts on pixmaps of the chosen depth.
void createGraphicContexts(UnitContext* ctx);
// Bits of row 0..3 of raster 0..16 (the 8 bit is the leftmost pixel).
int rasterRow(int raster, int row);
// Dash list of pattern 1..3 and its length.
const char* dashPattern(int number, int* length);
// Sets the foreground (and for dithered codes the fill style, stipple and
// background) of a display-depth GC from a pixel code.
void setColourCode(DisplayState* ds, GC gc, std::uint32_t code);
// The same as values to change (foreground, and for dithered codes the
// fill style, stipple and background), added to mask.
void colourValues(DisplayState* ds, std::uint32_t code, XGCValues* v, unsigned long* mask);
// One plain pixel of a code at (x, y): dithered codes alternate in a
// checkerboard, grey levels follow their raster on 1-bit displays.
unsigned long pixelOfCodeAt(DisplayState* ds, std::uint32_t code, int x, int y);
