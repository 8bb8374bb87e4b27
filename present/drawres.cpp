// Drawing resources made once per process: the graphic contexts, the 17
// grey rasters, the 30 texture stipples and the 3 dash patterns.
#include <cstdio>
#include <initializer_list>
#include <cstdlib>

#include "app/context.h"
#include "app/shutdown.h"
#include "present/display_state.h"
#include "present/palette.h"
#include "present/image.h"
#include "present/picture.h"
#include "core/alloc.h"

namespace {

// Rows of 4 bits, first row first; raster k has k pixels set.
const unsigned char kRasterRows[kRasterCount][4] = {
    {0, 0, 0, 0},    {0, 2, 0, 0},    {0, 2, 0, 8},     {0, 10, 0, 8},   {0, 10, 0, 10},
    {4, 10, 0, 10},  {4, 10, 1, 10},  {5, 10, 1, 10},   {5, 10, 5, 10},  {13, 10, 5, 10},
    {13, 10, 7, 10}, {15, 10, 7, 10}, {15, 10, 15, 10}, {15, 10, 15, 14}, {15, 11, 15, 14},
    {15, 11, 15, 15}, {15, 15, 15, 15},
};

// 16x16 bitmaps, 2 bytes per row, least significant bit leftmost.
const char* const kStippleHex[kStippleCount] = {
    "ffff0000ffff0000ffff0000ffff0000ffff0000ffff0000ffff0000ffff0000",
    "ffffffff00000000ffffffff00000000ffffffff00000000ffffffff00000000",
    "ffffffffffffffff0000000000000000ffffffffffffffff0000000000000000",
    "5555555555555555555555555555555555555555555555555555555555555555",
    "3333333333333333333333333333333333333333333333333333333333333333",
    "0f0f0f0f0f0f0f0f0f0f0f0f0f0f0f0f0f0f0f0f0f0f0f0f0f0f0f0f0f0f0f0f",
    "33339999cccc666633339999cccc666633339999cccc666633339999cccc6666",
    "0f0f8787c3c3e1e1f0f078783c3c1e1e0f0f8787c3c3e1e1f0f078783c3c1e1e",
    "6666cccc999933336666cccc999933336666cccc999933336667cccc99993333",
    "1e1e3c3c7878f0f0e1e1c3c387870f0f1e1e3c3c7878f0f0e1e1c3c387870f0f",
    "5555aaaa5555aaaa5555aaaa5555aaaa5555aaaa5555aaaa5555aaaa5555aaaa",
    "33333333cccccccc33333333cccccccc33333333cccccccc33333333cccccccc",
    "0f0f0f0f0f0f0f0ff0f0f0f0f0f0f0f00f0f0f0f0f0f0f0ff0f0f0f0f0f0f0f0",
    "888888888888ffff888888888888ffff888888888888ffff888888888888ffff",
    "7777777777770000777777777777000077777777777700007777777777770000",
    "0100002000002008020100000010400004000804000000002200002000010400",
    "0184202000002048020120000012400004404904002000002204002040810542",
    "058420208000284802412008189242000442491400200041a204002050910542",
    "25852020820428480241a0081892c2000442491510241241a21400285491454a",
    "25a52020822428488241a5281892c2408452491510245255aa14882a5491454a",
    "25a5a8208224284a8245a5281892c244845a4d95102656d5aa14a92a5495654b",
    "25a5a832d324295a8a45a52a9892d244b45a4d95902657d5aa94a92a5495654b",
    "67a5a8bad3a4a95a8a45a52a9a93d245b45a4d95d22657ddaa95b92a5695754b",
    "77a5babad3a6a95b8a55a5aa9a93da55bc5a6d95d62657ddae95b92e569d756b",
    "77a5babad3a6ad7bca55a5ea9a9bfa57bc5bfd95f62e57ddaed7b92ed69d7d6b",
    "7fa5fabad3a7ad7bca5da5ee9a9bfe57be5ffd95fe2f57ddeef7bdaed6dd7f6b",
    "7fb5fafad3b7af7bda5fa5ee9e9bff77bf5ffd97fe2f57dffef7ffaed6fd7f6b",
    "ffb5fafed3f7af7bde7fadeebe9fff77bf5ffdd7fe6fd7fffeffffeef6ff7f6b",
    "fff7fafed3f7af7bdeffadefff9fff77ffdffddfffefd7ffffffffeefeffffef",
    "fffffeffd7f7bf7bfeffafffffdffff7ffdffdffffffdffffffffffeffffffff",
};

const char kDash1[] = {1, 1};
const char kDash2[] = {2, 2, 3};
const char kDash3[] = {3, 2};

int hexDigit(char c) { return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10; }

Window rootOf(DisplayState* ds) { return RootWindow(ds->display, DefaultScreen(ds->display)); }

[[noreturn]] void failInit(UnitContext* ctx, const char* text) {
    std::fputs(text, stderr);
    c_exit(ctx, 1);
}

void initRasters(UnitContext* ctx, DisplayState* ds) {
    for (int k = 0; k < kRasterCount; ++k) {
        ds->rasters[k] = XCreateBitmapFromData(
            ds->display, rootOf(ds), reinterpret_cast<const char*>(kRasterRows[k]), 4, 4);
        if (!ds->rasters[k]) failInit(ctx, "Error: Could not initialize rasters\n");
    }
}

void initStipples(UnitContext* ctx, DisplayState* ds) {
    for (int k = 1; k <= kStippleCount; ++k) {
        char bytes[32];
        const char* hex = kStippleHex[k - 1];
        for (int i = 0; i < 32; ++i) bytes[i] = char(hexDigit(hex[2 * i]) * 16 + hexDigit(hex[2 * i + 1]));
        ds->stipples[k] = XCreateBitmapFromData(ds->display, rootOf(ds), bytes, 16, 16);
        if (!ds->stipples[k]) failInit(ctx, "Error: Could not initialize stipples\n");
    }
}

}  // namespace

int rasterRow(int raster, int row) { return kRasterRows[raster][row]; }

const char* dashPattern(int number, int* length) {
    switch (number) {
    case 1: *length = 2; return kDash1;
    case 2: *length = 3; return kDash2;
    case 3: *length = 2; return kDash3;
    default: *length = 0; return nullptr;
    }
}

void createGraphicContexts(UnitContext* ctx) {
    DisplayState* ds = ctx->displayState;
    Display* dpy = ds->display;
    // GCs must match the depth of what they draw on, which need not be the
    // root window's when the chosen visual is not the default one.
    Pixmap deep = XCreatePixmap(dpy, rootOf(ds), 1, 1, ds->depth);
    Pixmap flat = XCreatePixmap(dpy, rootOf(ds), 1, 1, 1);
    XGCValues v{};
    v.graphics_exposures = False;
    v.foreground = v.background = displayPixel(ctx, 0);
    unsigned long mask = GCGraphicsExposures | GCForeground | GCBackground;
    ds->baseGC = XCreateGC(dpy, deep, mask, &v);
    ds->drawGC = XCreateGC(dpy, deep, mask, &v);
    ds->clearGC = XCreateGC(dpy, deep, mask, &v);
    v.foreground = 1;
    v.background = 0;
    ds->maskBaseGC = XCreateGC(dpy, flat, mask, &v);
    ds->maskGC = XCreateGC(dpy, flat, mask, &v);
    XFreePixmap(dpy, deep);
    XFreePixmap(dpy, flat);
    ds->defaultFont = XQueryFont(dpy, XGContextFromGC(DefaultGC(dpy, DefaultScreen(dpy))));
}

void initDrawingResources(UnitContext* ctx) {
    DisplayState* ds = ctx->displayState;
    if (!ds) return;
    initStipples(ctx, ds);
    initRasters(ctx, ds);
}

void releaseDisplayState(UnitContext* ctx) {
    DisplayState* ds = ctx->displayState;
    if (!ds) return;
    Display* dpy = ds->display;
    forgetConverterState(ds);
    freeImageCache(ctx);
    killImage(ctx, ds->defaultPicture);
    killImage(ctx, ds->lastScreen);
    for (GC gc : {ds->baseGC, ds->drawGC, ds->clearGC, ds->maskBaseGC, ds->maskGC})
        if (gc) XFreeGC(dpy, gc);
    for (Pixmap p : ds->rasters)
        if (p) XFreePixmap(dpy, p);
    for (Pixmap p : ds->stipples)
        if (p) XFreePixmap(dpy, p);
    if (ds->defaultFont) XFreeFontInfo(nullptr, ds->defaultFont, 1);
    if (ds->colormap && ds->colormap != DefaultColormap(dpy, DefaultScreen(dpy)))
        XFreeColormap(dpy, ds->colormap);
    TamFree(ds->defPixels);
    ds->~DisplayState();
    TamFree(ds);
    ctx->displayState = nullptr;
}
