// Off-screen pictures: pixmaps of the display's depth with an optional
// 1-bit mask. The learn unit's frozen background and screen image, level
// masks, and loaded or default images are all pictures.
#pragma once
#include <vector>
#include <X11/Xlib.h>

#include "core/lists.h"

struct UnitContext;
struct LearnUnit;

struct Picture : ListNode {      // linked in the image cache while cached
    unsigned char flag = 0;      // 1: permanent (the default picture)
    int width = 0;
    int height = 0;
    int transparent = -1;        // colour or transparent index, -1 for none
    Pixmap pixmap = None;        // display depth (depth 1 for level masks)
    Pixmap mask = None;          // 1-bit, optional
    char* name = nullptr;        // image cache: owned name, empty for default
    LearnUnit* owner = nullptr;  // image cache: the unit that loaded it
    int uses = 0;                // image cache: objects showing it
    Picture* scaled = nullptr;   // last scaled copy drawn, owned
};

inline constexpr int kDefPicWidth = 88;
inline constexpr int kDefPicHeight = 123;

// A new picture filled with the colour (RGB 0xRRGGBB); null without a
// display or when the size is not positive.
Picture* blankImage(UnitContext* ctx, int width, int height, int rgb);
// Fills a pixmap of the display's depth with black.
void clearImage(UnitContext* ctx, Pixmap pixmap, int width, int height);
// Frees both pixmaps and the record (null is accepted).
void killImage(UnitContext* ctx, Picture* pic);
// Frees only the pixmaps.
void killImageFromNode(UnitContext* ctx, Picture* pic);
// Copies an area of the picture to the same place in the current learn
// unit's screen image.
void copyStatPic(UnitContext* ctx, Picture* pic, int x, int y, int width, int height);
// The same for several areas at once, each within the screen image.
void copyStatRects(UnitContext* ctx, Picture* pic, std::vector<XRectangle>& areas);

// The built-in 88x123 default picture with its mask, built on first use;
// null when no display is open. It is permanent: never pass it to
// killImage.
Picture* defaultPicture(UnitContext* ctx);
// The default picture's 3-3-2 RGB bytes, row by row.
extern const unsigned char defpicdata[kDefPicWidth * kDefPicHeight];
