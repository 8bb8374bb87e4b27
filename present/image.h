// Images named by URL: the image cache shared by all learn units, loading
// and decoding (GIF, JPEG), conversion of decoded pixels for the display
// and their transfer to the X server, and scaling for drawing.
#pragma once
#include <X11/Xlib.h>

#include "net/kivstream.h"
#include "present/picture.h"

struct UnitContext;
struct GifImage;

inline constexpr int kImageCacheSize = 64;

// Image cache (the context's image list; the default picture heads it
// and is never freed). The picture for the name: cached, loaded, or the
// default picture, with a warning when a named image cannot be loaded.
Picture* getImage(UnitContext* ctx, const char* name);
// getImage for an object that will show the picture: the entry is held
// until releaseObjectImage gives it back, and is not reused meanwhile.
Picture* holdImage(UnitContext* ctx, const char* name);
// Makes the default picture the head of the image list, counted as its
// one entry; null without a display.
Picture* initDefImg(UnitContext* ctx);
// Whether the picture is the default one (or none at all).
bool isDefaultImage(UnitContext* ctx, const Picture* pic);
// Unlinks a cache entry and frees it.
void freeImage(UnitContext* ctx, Picture* entry);
// Frees every cache entry but the default picture (at cleanup).
void freeImageCache(UnitContext* ctx);

enum class ImageLoad { Loaded, Failed, UnknownType };
// Loads and decodes one picture into out (width 0 unless Loaded).
// UnknownType: the name has no point and its type is not an image type.
ImageLoad createImage(Picture* out, UnitContext* ctx, const char* name);
bool ReadGIF(UnitContext* ctx, KivStream* in, int imageNumber, Picture* out);
bool readJPEG(UnitContext* ctx, KivStream* in, Picture* out);

// Pixel conversion and transfer.
enum class ImagePlane { Pixmap, Mask };
void gifSendData(UnitContext* ctx, const GifImage& gif, Picture* out);
// JPEG rows: 0xRRGGBB values (rgb true) or palette indices.
void jpgSendData(UnitContext* ctx, const unsigned char* samples, bool rgb, Picture* out);
// Creates the picture's pixmap or mask if missing and puts the X image
// into it in tiles of at most 128 by 128 pixels. The picture takes over
// the X image, which is destroyed at the next transfer or at cleanup.
void imgToServer(UnitContext* ctx, Picture* pic, XImage* image, ImagePlane which);
// A new picture of |width| by |height| pixels resampled from pic; a
// negative size mirrors along that axis. Null when a size is 0 or the
// result would be too large.
Picture* scaleImage(UnitContext* ctx, Picture* pic, int width, int height);
// The picture to draw for a box of width by height (signed, as from the
// first to the second point): pic itself when the sizes match, else a
// scaled copy kept with pic until another size is asked for.
Picture* pictureForBox(UnitContext* ctx, Picture* pic, int width, int height);
