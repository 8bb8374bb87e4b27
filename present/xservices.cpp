// Small X services used across the player: the start picture, hit
// regions, the pointer, the bell, the size of the main window, and the
// release of the last image sent to the server.
#include <X11/Intrinsic.h>
#include <X11/Shell.h>
#include <X11/StringDefs.h>

#include <cstdio>
#include <vector>

#include "app/context.h"
#include "present/display_state.h"
#include "present/draw.h"
#include "present/objects.h"
#include "present/palette.h"
#include "present/picture.h"
#include "present/update.h"

namespace {

const char kBanner[] = "Talvix 1.0";

Window drawingWindow(UnitContext* ctx) {
    return ctx->drawArea ? XtWindow(ctx->drawArea) : None;
}

}  // namespace

void drawInitial(UnitContext* ctx, Drawable target) {
    DisplayState* ds = ctx->displayState;
    if (!ds || !target) return;
    Display* dpy = ds->display;
    GC gc = ds->drawGC;
    XCopyGC(dpy, ds->baseGC, ~0UL, gc);
    setColourCode(ds, gc, colorOfRGB(ctx, 0x888888));
    for (int i = 0; i < 10; ++i) XDrawLine(dpy, target, gc, 0, 340 - 35 * i, 10 + 64 * i, 0);
    XCopyGC(dpy, ds->baseGC, ~0UL, gc);
    setColourCode(ds, gc, colorOfRGB(ctx, 0));
    const int shadow[4][2] = {{19, 30}, {21, 30}, {20, 29}, {20, 31}};
    for (const auto& at : shadow) XDrawString(dpy, target, gc, at[0], at[1], kBanner, sizeof kBanner - 1);
    XCopyGC(dpy, ds->baseGC, ~0UL, gc);
    setColourCode(ds, gc, colorOfRGB(ctx, 0xffffcc));
    XDrawString(dpy, target, gc, 20, 30, kBanner, sizeof kBanner - 1);
}

Region PolygonRegion(const int* coords, int count) {
    std::vector<XPoint> pts(count > 0 ? size_t(count) : 1);
    for (int i = 0; i < count; ++i) {
        pts[i].x = short(coords[2 * i]);
        pts[i].y = short(coords[2 * i + 1]);
    }
    return XPolygonRegion(pts.data(), count, WindingRule);
}

Region BoxRegion(int x1, int y1, int x2, int y2) {
    const int coords[8] = {x1, y1, x2, y1, x2, y2, x1, y2};
    return PolygonRegion(coords, 4);
}

int PointInRegion(Region region, int x, int y) { return region ? XPointInRegion(region, x, y) : 0; }

void DestroyRegion(Region region) {
    if (region) XDestroyRegion(region);
}

void SetMousePos(UnitContext* ctx, int x, int y) {
    Window win = drawingWindow(ctx);
    if (!ctx->display || !win) return;
    XWarpPointer(ctx->display, None, win, 0, 0, 0, 0, x, y);
}

void tamBell(UnitContext* ctx, int volume, int pitch, int duration) {
    if (!ctx->display) return;
    XKeyboardControl kc{};
    kc.bell_percent = volume;
    kc.bell_pitch = pitch;
    kc.bell_duration = duration;
    XChangeKeyboardControl(ctx->display, KBBellPercent | KBBellPitch | KBBellDuration, &kc);
    XBell(ctx->display, 0);
}

void resizeMainWin(UnitContext* ctx, int width, int height) {
    if (!ctx->toplevel || !ctx->drawArea || width <= 0 || height <= 0) return;
    XtVaSetValues(ctx->toplevel, XtNallowShellResize, True, nullptr);
    XtVaSetValues(ctx->drawArea, XtNwidth, Dimension(width), XtNheight, Dimension(height), nullptr);
    XtVaSetValues(ctx->toplevel, XtNallowShellResize, False, nullptr);
}

// Also releases the process-wide display state; the display itself is
// closed afterwards by its owner.
void winsysCleanup(UnitContext* ctx) {
    DisplayState* ds = ctx->displayState;
    if (!ds) return;
    if (ds->lastImage) XDestroyImage(ds->lastImage);
    ds->lastImage = nullptr;
    releaseDisplayState(ctx);
}
