// Colour model: visual and palette-mode choice, the 3-3-2 standard palette
// (installed into a private or the shared colormap on 8-bit displays), the
// grey table of grey-scale displays, and program colours to pixel codes.
//
// Pixel codes: in the cube modes (private colormap and grey scales) a code
// holds the pixel of the truncated cube entry in bits 0..7, the pixel of
// the rounded entry in bits 8..15 and the raster number 8 (50 % dither) in
// bits 16..19; the drawing code dithers between the two. Elsewhere the code
// is the plain pixel.
#include "present/palette.h"

#include <X11/IntrinsicP.h>
#include <X11/Shell.h>
#include <X11/StringDefs.h>

#include <array>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <strings.h>

#include "app/context.h"
#include "app/shutdown.h"
#include "core/alloc.h"
#include "core/messages.h"
#include "present/display_state.h"
#include "present/picture.h"

namespace {

// CIE XYZ colours of the cube's levels. The primaries are those of the
// reference screen whose white is (0.949664, 1.0, 1.40604); level
// intensities follow the screen's response, a power curve per channel
// (fitted to the green and blue ramps of that screen).
struct Xyz {
    float x, y, z;
};

constexpr double kRgbToXyz[3][3] = {
    {0.38106149108714790, 0.32025712365352110, 0.24834578525933100},
    {0.20729745115140850, 0.68054638776373240, 0.11215616108485920},
    {0.02133944350088028, 0.14297193020246480, 1.24172892629665500},
};
constexpr double kGammaRed = 2.327;
constexpr double kGammaGreen = 2.327;
constexpr double kGammaBlue = 2.476;

std::array<Xyz, 256> buildCIEpal() {
    std::array<Xyz, 256> pal{};
    for (int i = 0; i < 256; ++i) {
        double in[3] = {std::pow((i >> 5) / 7.0, kGammaRed),
                        std::pow(((i >> 2) & 7) / 7.0, kGammaGreen),
                        std::pow((i & 3) / 3.0, kGammaBlue)};
        double out[3];
        for (int row = 0; row < 3; ++row)
            out[row] = kRgbToXyz[row][0] * in[0] + kRgbToXyz[row][1] * in[1] +
                       kRgbToXyz[row][2] * in[2];
        pal[i] = {float(out[0]), float(out[1]), float(out[2])};
    }
    pal[0] = {0.0f, 0.0f, 0.0f};
    pal[17] = {0.103411f, 0.19236f, 0.120693f};
    pal[255] = {0.949664f, 1.0f, 1.40604f};
    return pal;
}

const std::array<Xyz, 256>& CIEpal() {
    static const std::array<Xyz, 256> table = buildCIEpal();
    return table;
}

DisplayState* state(UnitContext* ctx) { return ctx->displayState; }

bool hasVisual(Display* dpy, int screen, int depth, int cls, XVisualInfo* out) {
    return XMatchVisualInfo(dpy, screen, depth, cls, out) != 0;
}

// Picks the mode and visual; false when the display offers none we use.
bool pickVisual(UnitContext* ctx, DisplayState* ds) {
    Display* dpy = ctx->display;
    int screen = DefaultScreen(dpy);
    int defDepth = DefaultDepth(dpy, screen);
    XVisualInfo vi;
    if (hasVisual(dpy, screen, 24, TrueColor, &vi)) {
        ds->mode = PM_TRUECOLOR;
    } else if (defDepth >= 8 && (hasVisual(dpy, screen, 16, PseudoColor, &vi) ||
                                 hasVisual(dpy, screen, 16, TrueColor, &vi))) {
        ds->mode = PM_565;
    } else if (defDepth >= 8 && hasVisual(dpy, screen, 8, PseudoColor, &vi)) {
        ds->mode = ctx->perfectCols ? PM_PRIVATE : PM_SHARED;
    } else if (defDepth == 4 && hasVisual(dpy, screen, 4, StaticGray, &vi)) {
        ds->mode = PM_GRAY4;
    } else if (defDepth == 1 && hasVisual(dpy, screen, 1, StaticGray, &vi)) {
        ds->mode = PM_GRAY1;
    } else {
        return false;
    }
    ds->visual = vi.visual;
    ds->depth = vi.depth;
    ctx->visual = vi.visual;
    ctx->depth = vi.depth;
    return true;
}

// Grey level 0..levels of a cube index by its luminance.
int greyOfIndex(int index, int levels) {
    double lum = 0.299 * (index >> 5) / 7.0 + 0.587 * ((index >> 2) & 7) / 7.0 +
                 0.114 * (index & 3) / 3.0;
    return int(std::lround(lum * levels));
}

void cubeLevels(int rgb, int trunc[3], int round[3]) {
    int comp[3] = {(rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF};
    int mult[3] = {15, 15, 7};
    for (int c = 0; c < 3; ++c) {
        int scaled = comp[c] * mult[c];
        trunc[c] = scaled >> 9;
        round[c] = trunc[c] + ((scaled & 0x100) ? 1 : 0);
    }
}

int cubeIndex(const int lv[3]) { return lv[0] * 32 + lv[1] * 4 + lv[2]; }

std::uint32_t nearestShared(DisplayState* ds, int rgb) {
    double comp[3] = {double(((rgb >> 16) & 0xFF) * 0x101), double(((rgb >> 8) & 0xFF) * 0x101),
                      double((rgb & 0xFF) * 0x101)};
    auto dist = [&](int i) {
        const XcmsColor& e = ds->palette[i];
        double dr = comp[0] - e.spec.RGB.red, dg = comp[1] - e.spec.RGB.green,
               db = comp[2] - e.spec.RGB.blue;
        return 0.089401 * dr * dr + 0.344569 * dg * dg + 0.012996 * db * db;
    };
    int best = 0;
    double bestDist = dist(0);
    for (int i = 1; i < 256 && bestDist != 0; ++i) {
        double d = dist(i);
        if (d < bestDist) {
            bestDist = d;
            best = i;
        }
    }
    return std::uint32_t(ds->palette[best].pixel);
}

double xyzDistance(const XcmsColor& cell, const Xyz& entry) {
    double dx = cell.spec.CIEXYZ.X - entry.x, dy = cell.spec.CIEXYZ.Y - entry.y,
           dz = cell.spec.CIEXYZ.Z - entry.z;
    return dx * dx + dy * dy + dz * dz;
}

int nearestUntaken(const XcmsColor& cell, const bool taken[256]) {
    int best = -1;
    double bestDist = DBL_MAX;
    for (int i = 0; i < 256; ++i) {
        if (taken[i]) continue;
        double d = xyzDistance(cell, CIEpal()[i]);
        if (d < bestDist) {
            bestDist = d;
            best = i;
        }
    }
    return best;
}

void setEntryXyz(XcmsColor& e, int index, unsigned long pixel) {
    e.spec.CIEXYZ.X = CIEpal()[index].x;
    e.spec.CIEXYZ.Y = CIEpal()[index].y;
    e.spec.CIEXYZ.Z = CIEpal()[index].z;
    e.format = XcmsCIEXYZFormat;
    e.pixel = pixel;
}

// All 256 cells are ours: each pixel gets the untaken entry nearest to
// what it showed, so installing the colormap changes the screen little.
void installPrivate(DisplayState* ds, Colormap cmap, XcmsColor shown[256]) {
    bool taken[256] = {};
    XcmsColor store[256];
    for (int pixel = 0; pixel < 256; ++pixel) {
        int entry = nearestUntaken(shown[pixel], taken);
        taken[entry] = true;
        setEntryXyz(ds->palette[entry], entry, pixel);
        store[pixel] = ds->palette[entry];
    }
    XcmsStoreColors(ds->display, cmap, store, 256, nullptr);
}

// Shares the default colormap: cells held by others keep their colour and
// stand for the nearest entries; our cells get the remaining entries.
void installShared(DisplayState* ds, Colormap cmap, XcmsColor shown[256],
                   const unsigned long* ours, int nOurs) {
    bool isOurs[256] = {};
    for (int i = 0; i < nOurs; ++i) isOurs[ours[i] & 0xFF] = true;
    bool taken[256] = {};
    for (int pixel = 0; pixel < 256; ++pixel) {
        if (isOurs[pixel]) continue;
        int entry = nearestUntaken(shown[pixel], taken);
        if (entry < 0) break;
        taken[entry] = true;
        ds->palette[entry].pixel = pixel;
    }
    int next = 0;
    for (int entry = 0; entry < 256 && next < nOurs; ++entry) {
        if (taken[entry]) continue;
        setEntryXyz(ds->palette[entry], entry, ours[next++]);
        XcmsStoreColor(ds->display, cmap, &ds->palette[entry]);
    }
    for (int entry = 0; entry < 256; ++entry) ds->palette[entry].format = XcmsRGBFormat;
    XcmsQueryColors(ds->display, cmap, ds->palette, 256, XcmsRGBFormat);
}

void buildDefaultPicturePixels(UnitContext* ctx, DisplayState* ds) {
    if (!ds->defPixels) {
        ds->defPixels = static_cast<std::uint32_t*>(
            TamMalloc(sizeof(std::uint32_t) * kDefPicWidth * kDefPicHeight));
        if (!ds->defPixels) outOfMemory(ctx);
    }
    for (int i = 0; i < kDefPicWidth * kDefPicHeight; ++i) {
        int b = defpicdata[i];
        int rgb = ((b & 0xE0) << 16) | ((b & 0x1C) << 11) | ((b & 3) << 6);
        ds->defPixels[i] = colorOfRGB(ctx, rgb);
    }
}

const XtConvertArgRec kConvertArgs[] = {
    {XtWidgetBaseOffset, reinterpret_cast<XtPointer>(XtOffsetOf(WidgetRec, core.screen)),
     sizeof(Screen*)},
    {XtWidgetBaseOffset, reinterpret_cast<XtPointer>(XtOffsetOf(WidgetRec, core.colormap)),
     sizeof(Colormap)},
};

DisplayState* g_converterState = nullptr;

}  // namespace

bool initDisplay(UnitContext* ctx) {
    XSetErrorHandler(kiv_x_err_handler);
    auto* ds = mustNew<DisplayState>(ctx);
    new (ds) DisplayState();
    ctx->displayState = ds;
    ds->ctx = ctx;
    ds->display = ctx->display;
    ds->shell = ctx->toplevel;
    for (int i = 0; i < 256; ++i) ds->palette[i].pixel = i;
    if (!pickVisual(ctx, ds)) {
        std::fputs("Required visual not supported on this display !\n", stderr);
        return false;
    }
    makeColors(ctx);
    if (ds->shell) {
        XtVaSetValues(ds->shell, XtNvisual, ds->visual, XtNdepth, ds->depth, XtNcolormap,
                      ds->colormap, nullptr);
    }
    createGraphicContexts(ctx);
    if (ds->mode == PM_PRIVATE) g_converterState = ds;
    if (ds->mode == PM_PRIVATE && ds->shell) {
        XtSetTypeConverter(XtRString, XtRPixel, KivCvtStringToPixel,
                           const_cast<XtConvertArgList>(kConvertArgs), 2, XtCacheNone, nullptr);
    }
    return true;
}

void forgetConverterState(DisplayState* ds) {
    if (g_converterState == ds) g_converterState = nullptr;
}

int paletteMode(UnitContext* ctx) { return state(ctx) ? state(ctx)->mode : PM_TRUECOLOR; }
Colormap paletteColormap(UnitContext* ctx) { return state(ctx) ? state(ctx)->colormap : None; }

void makeColors(UnitContext* ctx) {
    DisplayState* ds = state(ctx);
    Display* dpy = ds->display;
    int screen = DefaultScreen(dpy);
    Window root = RootWindow(dpy, screen);
    bool isDefaultVisual = ds->visual == DefaultVisual(dpy, screen);
    switch (ds->mode) {
    case PM_SHARED:
        ds->colormap = DefaultColormap(dpy, screen);
        break;
    case PM_PRIVATE:
        ds->colormap = XCreateColormap(dpy, root, ds->visual, AllocAll);
        break;
    case PM_GRAY4:
    case PM_GRAY1: {
        int levels = ds->mode == PM_GRAY4 ? 15 : 16;
        for (int i = 0; i < 256; ++i) ds->palette[i].pixel = greyOfIndex(i, levels);
        ds->palette[255].pixel = levels;
        ds->colormap = DefaultColormap(dpy, screen);
        break;
    }
    default:
        ds->colormap = isDefaultVisual ? DefaultColormap(dpy, screen)
                                       : XCreateColormap(dpy, root, ds->visual, AllocNone);
        break;
    }
    if (ds->mode == PM_PRIVATE || ds->mode == PM_SHARED) installPalette(ctx, ds->shell, ds->colormap);
    else buildDefaultPicturePixels(ctx, ds);
}

void installPalette(UnitContext* ctx, Widget shell, Colormap cmap) {
    DisplayState* ds = state(ctx);
    if (!ds) return;
    ds->shell = shell;
    if (ds->depth == 8 && (ds->mode == PM_PRIVATE || ds->mode == PM_SHARED)) {
        Display* dpy = ds->display;
        XcmsColor shown[256];
        for (int i = 0; i < 256; ++i) {
            shown[i].pixel = i;
            shown[i].format = XcmsCIEXYZFormat;
        }
        // A fresh private colormap holds nothing yet: match against what the
        // screen shows through the default colormap.
        Colormap source = cmap;
        if (ds->mode == PM_PRIVATE && ds->visual == DefaultVisual(dpy, DefaultScreen(dpy)))
            source = DefaultColormap(dpy, DefaultScreen(dpy));
        XcmsQueryColors(dpy, source, shown, 256, XcmsCIEXYZFormat);
        if (ds->mode == PM_SHARED) {
            unsigned long ours[256];
            int n = 0;
            while (n < 256 && XAllocColorCells(dpy, cmap, False, nullptr, 0, &ours[n], 1)) ++n;
            if (n < 256) installShared(ds, cmap, shown, ours, n);
            else ds->mode = PM_PRIVATE;
        }
        if (ds->mode == PM_PRIVATE) installPrivate(ds, cmap, shown);
    }
    buildDefaultPicturePixels(ctx, ds);
}

std::uint32_t colorOfRGB(UnitContext* ctx, int rgb) {
    DisplayState* ds = state(ctx);
    int mode = ds ? ds->mode : PM_TRUECOLOR;
    switch (mode) {
    case PM_TRUECOLOR:
        return std::uint32_t(rgb) & 0xFFFFFF;
    case PM_565:
        return ((((rgb >> 16) & 0xF8)) << 8) | ((((rgb >> 8) & 0xFC)) << 3) | ((rgb & 0xFF) >> 3);
    case PM_SHARED:
        return nearestShared(ds, rgb);
    case PM_PRIVATE:
    case PM_GRAY4:
    case PM_GRAY1: {
        int trunc[3], round[3];
        cubeLevels(rgb, trunc, round);
        std::uint32_t lo = std::uint32_t(ds->palette[cubeIndex(trunc)].pixel) & 0xFF;
        std::uint32_t hi = std::uint32_t(ds->palette[cubeIndex(round)].pixel) & 0xFF;
        return lo | (hi << 8) | (8u << 16);
    }
    default:
        return 0;
    }
}

unsigned long displayPixel(UnitContext* ctx, int rgb) {
    DisplayState* ds = state(ctx);
    if (ds && ds->depth == 1) {
        int trunc[3], round[3];
        cubeLevels(rgb, trunc, round);
        double lum = 0.299 * trunc[0] / 7.0 + 0.587 * trunc[1] / 7.0 + 0.114 * trunc[2] / 3.0;
        int screen = DefaultScreen(ds->display);
        return lum >= 0.5 ? WhitePixel(ds->display, screen) : BlackPixel(ds->display, screen);
    }
    std::uint32_t code = colorOfRGB(ctx, rgb);
    // Pixel codes of 8-bit and grey displays carry dither bits above the
    // first byte; 16- and 24-bit codes are whole pixels.
    if (ds && ds->depth <= 8) return code & 0xFF;
    return code;
}

int colsInCMap(UnitContext* ctx) {
    int depth = state(ctx) ? state(ctx)->depth : ctx->depth;
    switch (depth) {
    case 1: return 17;
    case 4: return 16;
    case 8: return 256;
    default: return -1;
    }
}

void fillStdCMap(UnitContext* ctx, unsigned char* table, int red, int green, int blue, int count) {
    DisplayState* ds = state(ctx);
    if (!ds) return;
    for (int i = 0; i < count && i < 256; ++i) {
        const XcmsColor& e = ds->palette[i];
        int slot = ds->mode == PM_PRIVATE ? int(e.pixel & 0xFF) : i;
        if (slot >= count) continue;
        unsigned char* rgb = table + slot * 3;
        if (ds->mode == PM_SHARED) {
            rgb[red] = e.spec.RGB.red >> 8;
            rgb[green] = e.spec.RGB.green >> 8;
            rgb[blue] = e.spec.RGB.blue >> 8;
        } else {
            rgb[red] = (i >> 5) * 32;
            rgb[green] = ((i >> 2) & 7) * 32;
            rgb[blue] = (i & 3) * 64;
        }
    }
}

const std::uint32_t* defaultPicturePixels(UnitContext* ctx) {
    return state(ctx) ? state(ctx)->defPixels : nullptr;
}

Boolean KivCvtStringToPixel(Display* dpy, XrmValuePtr args, Cardinal* nargs, XrmValuePtr from,
                            XrmValuePtr to, XtPointer*) {
    DisplayState* ds = g_converterState;
    if (!ds || *nargs != 2) {
        std::fputs("Conversion error\n", stderr);
        return False;
    }
    Screen* screen = *reinterpret_cast<Screen**>(args[0].addr);
    Colormap cmap = *reinterpret_cast<Colormap*>(args[1].addr);
    const char* name = static_cast<const char*>(static_cast<void*>(from->addr));
    static Pixel result;
    if (cmap != ds->colormap || !name) {
        std::fputs("Conversion error\n", stderr);
        return False;
    }
    XColor exact, shown;
    if (strcasecmp(name, XtDefaultBackground) == 0) {
        result = WhitePixelOfScreen(screen);
    } else if (strcasecmp(name, XtDefaultForeground) == 0) {
        result = BlackPixelOfScreen(screen);
    } else if (XLookupColor(dpy, cmap, name, &exact, &shown)) {
        int rgb = ((exact.red >> 8) << 16) | ((exact.green >> 8) << 8) | (exact.blue >> 8);
        result = ds->ctx ? displayPixel(ds->ctx, rgb) : 0;
    } else {
        std::fputs("Conversion error\n", stderr);
        return False;
    }
    if (to->addr) {
        if (to->size < sizeof(Pixel)) {
            to->size = sizeof(Pixel);
            return False;
        }
        *reinterpret_cast<Pixel*>(to->addr) = result;
    } else {
        to->addr = reinterpret_cast<XPointer>(&result);
    }
    to->size = sizeof(Pixel);
    return True;
}

int kiv_x_err_handler(Display* dpy, XErrorEvent* event) {
    char text[256];
    XGetErrorText(dpy, event->error_code, text, sizeof text);
    std::fprintf(stderr,
                 "X Error: %s\nDisplay: %p\nSerial number: %lu\nMajor code: %d\nMinor code: "
                 "%d\nResource id: %ld\n",
                 text, static_cast<void*>(dpy), event->serial, event->request_code,
                 event->minor_code, static_cast<long>(event->resourceid));
    return 0;
}
