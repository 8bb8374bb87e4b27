// Off-screen pictures: creation, clearing, release, copying into the
// screen image, and the built-in default picture.
#include "present/picture.h"

#include <algorithm>
#include <cstdlib>
#include <new>

#include "app/context.h"
#include "core/alloc.h"
#include "core/messages.h"
#include "present/boundedrequests.h"
#include "present/objects.h"
#include "present/display_state.h"
#include "present/palette.h"

namespace {

Window rootOf(DisplayState* ds) { return RootWindow(ds->display, DefaultScreen(ds->display)); }

Picture* newPicture(UnitContext* ctx) {
    auto* pic = mustNew<Picture>(ctx);
    new (pic) Picture();
    return pic;
}

// Sends a width x height grid of pixels (one per call of pixelAt) into a
// new pixmap of the display's depth.
template <class PixelAt>
Pixmap pixmapFromPixels(UnitContext* ctx, int width, int height, int depth, PixelAt pixelAt) {
    DisplayState* ds = ctx->displayState;
    Display* dpy = ds->display;
    XImage* img = depth == 1
                      ? XCreateImage(dpy, ds->visual, 1, XYBitmap, 0, nullptr, width, height, 8, 0)
                      : XCreateImage(dpy, ds->visual, depth, ZPixmap, 0, nullptr, width, height,
                                     32, 0);
    if (!img) outOfMemory(ctx);
    // Released by XDestroyImage with free(): outside the counting layer.
    img->data = static_cast<char*>(std::calloc(size_t(img->bytes_per_line) * height, 1));
    if (!img->data) outOfMemory(ctx);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) XPutPixel(img, x, y, pixelAt(x, y));
    Pixmap pm = XCreatePixmap(dpy, rootOf(ds), width, height, depth);
    GC gc = depth == 1 ? ds->maskBaseGC : ds->clearGC;
    XSetFunction(dpy, gc, GXcopy);
    XPutImage(dpy, pm, gc, img, 0, 0, 0, 0, width, height);
    XDestroyImage(img);
    return pm;
}

}  // namespace

Picture* blankImage(UnitContext* ctx, int width, int height, int rgb) {
    DisplayState* ds = ctx->displayState;
    if (!ds || width <= 0 || height <= 0) return nullptr;
    Picture* pic = newPicture(ctx);
    pic->width = width;
    pic->height = height;
    pic->pixmap = XCreatePixmap(ds->display, rootOf(ds), width, height, ds->depth);
    XCopyGC(ds->display, ds->baseGC, ~0UL, ds->drawGC);
    setColourCode(ds, ds->drawGC, colorOfRGB(ctx, rgb));
    XFillRectangle(ds->display, pic->pixmap, ds->drawGC, 0, 0, width, height);
    return pic;
}

void clearImage(UnitContext* ctx, Pixmap pixmap, int width, int height) {
    DisplayState* ds = ctx->displayState;
    if (!ds || !pixmap) return;
    XSetFunction(ds->display, ds->clearGC, GXcopy);
    XSetForeground(ds->display, ds->clearGC, displayPixel(ctx, 0));
    XFillRectangle(ds->display, pixmap, ds->clearGC, 0, 0, width, height);
}

void killImageFromNode(UnitContext* ctx, Picture* pic) {
    DisplayState* ds = ctx->displayState;
    if (!pic || !ds) return;
    if (pic->pixmap) XFreePixmap(ds->display, pic->pixmap);
    if (pic->mask) XFreePixmap(ds->display, pic->mask);
    pic->pixmap = pic->mask = None;
}

void killImage(UnitContext* ctx, Picture* pic) {
    if (!pic) return;
    killImageFromNode(ctx, pic);
    killImage(ctx, pic->scaled);
    TamFree(pic->name);
    TamFree(pic);
}

void copyStatPic(UnitContext* ctx, Picture* pic, int x, int y, int width, int height) {
    DisplayState* ds = ctx->displayState;
    LearnUnit* unit = ctx->learnUnit;
    if (!ds || !pic || !pic->pixmap || !unit || !unit->screen || width <= 0 || height <= 0) return;
    XSetFunction(ds->display, ds->clearGC, GXcopy);
    XCopyArea(ds->display, pic->pixmap, unit->screen->pixmap, ds->clearGC, x, y, width, height,
              x, y);
}

void copyStatRects(UnitContext* ctx, Picture* pic, std::vector<XRectangle>& areas) {
    DisplayState* ds = ctx->displayState;
    LearnUnit* unit = ctx->learnUnit;
    if (!ds || !pic || !pic->pixmap || !unit || !unit->screen) return;
    // Each copy is a request the server looks up and clips on its own;
    // past a few, one copy of the areas' joint extent, clipped to the
    // areas, moves the same pixels. Areas may overlap: the server joins
    // clip rectangles into one region, and copying a pixel twice from the
    // unchanged background would give the same result anyway.
    constexpr std::size_t kFewCopies = 4;
    if (areas.size() <= kFewCopies) {
        for (const XRectangle& r : areas) copyStatPic(ctx, pic, r.x, r.y, r.width, r.height);
        return;
    }
    Display* dpy = ds->display;
    // A rectangle takes two words of the clip request.
    std::size_t most = std::size_t(maxPointsPerRequest(dpy)) / 2;
    XSetFunction(dpy, ds->clearGC, GXcopy);
    for (std::size_t at = 0; at < areas.size(); at += most) {
        int count = int(std::min(most, areas.size() - at));
        int left = areas[at].x, top = areas[at].y, right = left, bottom = top;
        for (int i = 0; i < count; ++i) {
            const XRectangle& r = areas[at + i];
            left = std::min<int>(left, r.x);
            top = std::min<int>(top, r.y);
            right = std::max(right, r.x + r.width);
            bottom = std::max(bottom, r.y + r.height);
        }
        XSetClipRectangles(dpy, ds->clearGC, 0, 0, areas.data() + at, count, Unsorted);
        XCopyArea(dpy, pic->pixmap, unit->screen->pixmap, ds->clearGC, left, top, right - left,
                  bottom - top, left, top);
    }
    XSetClipMask(dpy, ds->clearGC, None);
}

Picture* defaultPicture(UnitContext* ctx) {
    DisplayState* ds = ctx->displayState;
    if (!ds) return nullptr;
    if (ds->defaultPicture) return ds->defaultPicture;
    const std::uint32_t* codes = defaultPicturePixels(ctx);
    if (!codes) return nullptr;
    Picture* pic = newPicture(ctx);
    pic->flag = 1;
    pic->width = kDefPicWidth;
    pic->height = kDefPicHeight;
    pic->transparent = int(displayPixel(ctx, 0));
    pic->pixmap = pixmapFromPixels(ctx, kDefPicWidth, kDefPicHeight, ds->depth, [&](int x, int y) {
        return pixelOfCodeAt(ds, codes[y * kDefPicWidth + x], x, y);
    });
    // Byte 0 (black) is the logo's background and stays see-through.
    pic->mask = pixmapFromPixels(ctx, kDefPicWidth, kDefPicHeight, 1, [&](int x, int y) {
        return defpicdata[y * kDefPicWidth + x] != 0 ? 1UL : 0UL;
    });
    ds->defaultPicture = pic;
    return pic;
}
