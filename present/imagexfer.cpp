// Decoded pixels to the X server: conversion of GIF indices and JPEG
// samples into pixels of the display's palette mode, the transparency
// mask, the tiled transfer that keeps the window responsive during large
// pictures, and nearest-neighbour scaling of pictures already sent.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <new>

#include "app/context.h"
#include "app/events.h"
#include "core/alloc.h"
#include "core/messages.h"
#include "present/display_state.h"
#include "present/gifdecode.h"
#include "present/image.h"
#include "present/palette.h"

namespace {

constexpr int kTile = 128;

// Flags of a scaled copy: the axes it is mirrored along.
constexpr unsigned char kMirroredAcross = 2;
constexpr unsigned char kMirroredDown = 4;

// A zeroed X image of the size; depth 1 makes a bitmap for masks.
XImage* newXImage(UnitContext* ctx, int width, int height, int depth) {
    DisplayState* ds = ctx->displayState;
    XImage* img = depth == 1
                      ? XCreateImage(ds->display, ds->visual, 1, XYBitmap, 0, nullptr, width, height, 8, 0)
                      : XCreateImage(ds->display, ds->visual, depth, ZPixmap, 0, nullptr, width, height,
                                     32, 0);
    if (!img) outOfMemory(ctx);
    // XDestroyImage releases the data with free(), so it comes straight
    // from the C library rather than through the counting layer.
    img->data = static_cast<char*>(std::calloc(std::size_t(img->bytes_per_line) * std::size_t(height), 1));
    if (!img->data) outOfMemory(ctx);
    return img;
}

Picture* newPicture(UnitContext* ctx, int width, int height) {
    auto* pic = mustNew<Picture>(ctx);
    new (pic) Picture();
    pic->width = width;
    pic->height = height;
    return pic;
}

void putTiles(Display* dpy, Drawable target, GC gc, XImage* image, bool serve, UnitContext* ctx) {
    for (int y = 0; y < image->height; y += kTile) {
        for (int x = 0; x < image->width; x += kTile) {
            if (serve) TamServeEvents(ctx);
            XPutImage(dpy, target, gc, image, x, y, x, y, std::min(kTile, image->width - x),
                      std::min(kTile, image->height - y));
        }
    }
}

}  // namespace

void imgToServer(UnitContext* ctx, Picture* pic, XImage* image, ImagePlane which) {
    DisplayState* ds = ctx->displayState;
    Display* dpy = ds->display;
    Window root = RootWindow(dpy, DefaultScreen(dpy));
    bool mask = which == ImagePlane::Mask;
    Pixmap& target = mask ? pic->mask : pic->pixmap;
    if (!target) target = XCreatePixmap(dpy, root, pic->width, pic->height, mask ? 1 : ds->depth);
    if (ds->lastImage) XDestroyImage(ds->lastImage);
    ds->lastImage = nullptr;
    GC gc = mask ? ds->maskBaseGC : ds->clearGC;
    XSetFunction(dpy, gc, GXcopy);
    // Events are not served while a refresh draws: the screen image is
    // half made then, and an exposure would show it.
    putTiles(dpy, target, gc, image, !ds->refreshing, ctx);
    ds->lastImage = image;
}

void gifSendData(UnitContext* ctx, const GifImage& gif, Picture* out) {
    DisplayState* ds = ctx->displayState;
    std::uint32_t codes[256];
    for (int i = 0; i < 256; ++i) codes[i] = colorOfRGB(ctx, gif.rgb[i]);
    out->width = gif.width;
    out->height = gif.height;
    out->transparent = gif.transparent;
    XImage* pixels = newXImage(ctx, gif.width, gif.height, ds->depth);
    XImage* mask = gif.transparent >= 0 ? newXImage(ctx, gif.width, gif.height, 1) : nullptr;
    for (int y = 0; y < gif.height; ++y) {
        const std::uint8_t* row = gif.pixels.data() + std::size_t(y) * gif.width;
        for (int x = 0; x < gif.width; ++x) {
            bool clear = row[x] == gif.transparent;
            XPutPixel(pixels, x, y, clear ? 0 : pixelOfCodeAt(ds, codes[row[x]], x, y));
            if (mask) XPutPixel(mask, x, y, clear ? 0 : 1);
        }
    }
    imgToServer(ctx, out, pixels, ImagePlane::Pixmap);
    if (mask) imgToServer(ctx, out, mask, ImagePlane::Mask);
}

namespace {

// The code of a palette index. The colour table given to the decoder lists
// the shared colormap's entries in entry order, and those entries live in
// whatever cells the colormap had free, so their pixels are looked up; in
// the private colormap the table is in pixel order already. On grey
// displays the index is the grey level, which pixelOfCodeAt renders (on
// 1-bit displays through the grey rasters) when given as a code without a
// raster number.
std::uint32_t codeOfIndex(DisplayState* ds, unsigned index) {
    if (ds->depth == 8 && ds->mode == PM_SHARED) return std::uint32_t(ds->palette[index & 0xFF].pixel & 0xFF);
    return index;
}

}  // namespace

void jpgSendData(UnitContext* ctx, const unsigned char* samples, bool rgb, Picture* out) {
    DisplayState* ds = ctx->displayState;
    XImage* pixels = newXImage(ctx, out->width, out->height, ds->depth);
    for (int y = 0; y < out->height; ++y) {
        for (int x = 0; x < out->width; ++x) {
            std::size_t at = std::size_t(y) * out->width + x;
            std::uint32_t code;
            if (rgb) {
                const unsigned char* p = samples + 3 * at;
                code = colorOfRGB(ctx, (p[0] << 16) | (p[1] << 8) | p[2]);
            } else {
                code = codeOfIndex(ds, samples[at]);
            }
            XPutPixel(pixels, x, y, pixelOfCodeAt(ds, code, x, y));
        }
    }
    imgToServer(ctx, out, pixels, ImagePlane::Pixmap);
}

Picture* scaleImage(UnitContext* ctx, Picture* pic, int width, int height) {
    DisplayState* ds = ctx->displayState;
    if (!ds || !pic || !pic->pixmap || pic->width <= 0 || pic->height <= 0) return nullptr;
    long long w = std::llabs(width), h = std::llabs(height);
    if (w == 0 || h == 0 || w > kMaxImageSide || h > kMaxImageSide || w * h > kMaxImagePixels) return nullptr;
    Display* dpy = ds->display;
    XImage* source = XGetImage(dpy, pic->pixmap, 0, 0, pic->width, pic->height, AllPlanes, ZPixmap);
    if (!source) return nullptr;
    XImage* sourceMask = pic->mask ? XGetImage(dpy, pic->mask, 0, 0, pic->width, pic->height, 1, XYPixmap)
                                   : nullptr;
    Picture* scaled = newPicture(ctx, int(w), int(h));
    scaled->transparent = pic->transparent;
    scaled->flag = (width < 0 ? kMirroredAcross : 0) | (height < 0 ? kMirroredDown : 0);
    XImage* pixels = newXImage(ctx, int(w), int(h), ds->depth);
    XImage* mask = sourceMask ? newXImage(ctx, int(w), int(h), 1) : nullptr;
    double stepX = double(pic->width) / double(w), stepY = double(pic->height) / double(h);
    for (int y = 0; y < h; ++y) {
        int sy = std::min(pic->height - 1, int(y * stepY));
        if (height < 0) sy = pic->height - 1 - sy;
        for (int x = 0; x < w; ++x) {
            int sx = std::min(pic->width - 1, int(x * stepX));
            if (width < 0) sx = pic->width - 1 - sx;
            XPutPixel(pixels, x, y, XGetPixel(source, sx, sy));
            if (mask) XPutPixel(mask, x, y, XGetPixel(sourceMask, sx, sy));
        }
    }
    XDestroyImage(source);
    if (sourceMask) XDestroyImage(sourceMask);
    imgToServer(ctx, scaled, pixels, ImagePlane::Pixmap);
    if (mask) imgToServer(ctx, scaled, mask, ImagePlane::Mask);
    return scaled;
}

Picture* pictureForBox(UnitContext* ctx, Picture* pic, int width, int height) {
    if (!pic || (width == pic->width && height == pic->height)) return pic;
    unsigned char mirrored = (width < 0 ? kMirroredAcross : 0) | (height < 0 ? kMirroredDown : 0);
    Picture* kept = pic->scaled;
    if (kept && kept->width == std::abs(width) && kept->height == std::abs(height) && kept->flag == mirrored)
        return kept;
    Picture* scaled = scaleImage(ctx, pic, width, height);
    if (!scaled) return pic;
    killImage(ctx, pic->scaled);
    pic->scaled = scaled;
    return scaled;
}
