// Colour model of the display: the choice of visual and palette mode, the
// managed 256-entry palette of 8-bit displays, the grey table of 4-bit and
// 1-bit displays, and the mapping of program colours (RGB 0xRRGGBB) to
// pixel codes. The toolkit start-up (openMainWin) calls initDisplay once
// the application shell exists and before any widget below it is created.
#pragma once
#include <X11/Intrinsic.h>
#include <X11/Xcms.h>
#include <X11/Xlib.h>

#include <cstdint>

struct UnitContext;

enum PaletteMode : int {
    PM_TRUECOLOR = 0,  // 24-bit TrueColor: the RGB value is the pixel
    PM_PRIVATE = 1,    // 8-bit PseudoColor, private colormap, all cells ours
    PM_SHARED = 2,     // 8-bit PseudoColor, cells of the default colormap
    PM_GRAY4 = 3,      // 4-bit StaticGray
    PM_GRAY1 = 4,      // 1-bit StaticGray
    PM_565 = 5,        // 16-bit, 5-6-5 packing
};

// Process-wide palette, drawing and font state (one per process, kept in
// UnitContext::displayState).
struct DisplayState;

// Installs the X error handler, chooses the visual and palette mode (set
// on ctx and the shell ctx->toplevel), builds the colours and the graphic
// contexts and registers the string-to-pixel converter. Prints "Required
// visual not supported on this display !" and returns false when the
// display offers nothing usable; the caller then ends the player with 1.
bool initDisplay(UnitContext* ctx);
// Rasters, stipples and dash patterns; ends the player when a bitmap
// cannot be created.
void initDrawingResources(UnitContext* ctx);

int paletteMode(UnitContext* ctx);
Colormap paletteColormap(UnitContext* ctx);

void makeColors(UnitContext* ctx);
void installPalette(UnitContext* ctx, Widget shell, Colormap cmap);

// Pixel code of a program colour (see the drawing code for its layout on
// 8-bit and 1-bit displays).
std::uint32_t colorOfRGB(UnitContext* ctx, int rgb);
// A single plain pixel for the colour.
unsigned long displayPixel(UnitContext* ctx, int rgb);
// 17 at depth 1, 16 at depth 4, 256 at depth 8, else -1.
int colsInCMap(UnitContext* ctx);
// Writes the RGB bytes of every palette entry into a caller's table.
void fillStdCMap(UnitContext* ctx, unsigned char* table, int red, int green, int blue, int count);

// The default picture's pixel codes, 88x123, built by installPalette.
const std::uint32_t* defaultPicturePixels(UnitContext* ctx);

Boolean KivCvtStringToPixel(Display* dpy, XrmValuePtr args, Cardinal* nargs, XrmValuePtr from,
                            XrmValuePtr to, XtPointer* data);
int kiv_x_err_handler(Display* dpy, XErrorEvent* event);
