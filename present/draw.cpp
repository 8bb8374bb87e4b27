// Drawing of graphic objects and windows into the learn unit's pictures.
// Each kind has a small table of routines (fill, outline) over a shape
// prepared once per draw; colour, clipping, textures and level masks are
// set up here in common. Drawing into the frozen background also records
// the covered pixels in the level node's 1-bit mask, and every later draw
// on a lower level is clipped against it, so that frozen objects in front
// are never painted over.
#include "present/draw.h"

#include <algorithm>
#include <cstdint>
#include <new>
#include <vector>

#include "app/context.h"
#include "core/alloc.h"
#include "core/messages.h"
#include "present/boundedrequests.h"
#include "present/display_state.h"
#include "present/palette.h"
#include "present/image.h"
#include "present/picture.h"
#include "present/textlayout.h"
#include "present/update.h"

namespace {

// Coordinates handed to X are 16-bit; keeping them within half that range
// also keeps widths and extents representable.
constexpr int kCoordLimit = 16383;

short clampCoord(long long v) {
    return short(std::clamp<long long>(v, -kCoordLimit, kCoordLimit));
}

int attrInt(const Attrib* a, int fallback) { return a ? a->value.i : fallback; }

// Most objects have a handful of points; those fit without allocating.
constexpr int kInlinePoints = 8;

struct Shape {
    XPoint* pts = nullptr;    // shifted points, first repeated at the end
    int n = 0;                // number of object points
    int x = 0, y = 0, width = 0, height = 0;  // rectangle of the first two points
    XPoint inlinePts[kInlinePoints + 1];
    std::vector<XPoint> manyPts;

    Shape() = default;
    Shape(const Shape&) = delete;
    Shape& operator=(const Shape&) = delete;
};

// Target of one draw: the picture (display depth) and, with a level node,
// its mask (depth 1); both GCs carry the same clip, the area.
struct Target {
    Display* dpy;
    Drawable pic;
    GC gc;
    Drawable mask;
    GC maskGC;
    XRectangle area;
};

using ShapeRoutine = void (*)(const Target&, Drawable, GC, const Shape&, GraphObj*);

struct KindOps {
    ShapeRoutine fill;
    ShapeRoutine outline;
};

void fillBox(const Target& t, Drawable d, GC gc, const Shape& s, GraphObj*) {
    XFillRectangle(t.dpy, d, gc, s.x, s.y, s.width, s.height);
}
void outlineBox(const Target& t, Drawable d, GC gc, const Shape& s, GraphObj*) {
    XDrawRectangle(t.dpy, d, gc, s.x, s.y, s.width, s.height);
}

void arcAngles(GraphObj* obj, int* start, int* extent) {
    long long sa = attrInt(obj->startangle, 0);
    long long ea = attrInt(obj->endangle, 360);
    long long ext = std::clamp<long long>(ea - sa, -360, 360);
    *start = int(sa % 360) * 64;
    *extent = int(ext) * 64;
}
void fillArc(const Target& t, Drawable d, GC gc, const Shape& s, GraphObj* obj) {
    int start, extent;
    arcAngles(obj, &start, &extent);
    XFillArc(t.dpy, d, gc, s.x, s.y, s.width, s.height, start, extent);
}
void outlineArc(const Target& t, Drawable d, GC gc, const Shape& s, GraphObj* obj) {
    if (s.width == 0 || s.height == 0) return;
    int start, extent;
    arcAngles(obj, &start, &extent);
    XDrawArc(t.dpy, d, gc, s.x, s.y, s.width, s.height, start, extent);
}

void fillPolygon(const Target& t, Drawable d, GC gc, const Shape& s, GraphObj*) {
    if (s.n == 1) {
        XDrawPoint(t.dpy, d, gc, s.pts[0].x, s.pts[0].y);
        return;
    }
    fillPolygonBounded(t.dpy, d, gc, s.pts, s.n, s.n <= 3 ? Convex : Complex, t.area);
}
// Polygons close back to the first point; two points are one segment.
void outlinePolygon(const Target& t, Drawable d, GC gc, const Shape& s, GraphObj*) {
    if (s.n == 1) {
        XDrawPoint(t.dpy, d, gc, s.pts[0].x, s.pts[0].y);
        return;
    }
    int count = s.n == 2 ? 2 : s.n + 1;
    drawLinesBounded(t.dpy, d, gc, s.pts, count);
}
// Lines and points are open polylines.
void outlineOpen(const Target& t, Drawable d, GC gc, const Shape& s, GraphObj*) {
    if (s.n == 1) {
        XDrawPoint(t.dpy, d, gc, s.pts[0].x, s.pts[0].y);
        return;
    }
    drawLinesBounded(t.dpy, d, gc, s.pts, s.n);
}

const KindOps* opsFor(int kind) {
    static const KindOps box{fillBox, outlineBox};
    static const KindOps arc{fillArc, outlineArc};
    static const KindOps polygon{fillPolygon, outlinePolygon};
    static const KindOps open{nullptr, outlineOpen};
    switch (kind) {
    case K_BOX: return &box;
    case K_ARC: return &arc;
    case K_POLYGON: return &polygon;
    case K_LINE:
    case K_POINT: return &open;
    default: return nullptr;
    }
}

bool prepareShape(GraphObj* obj, int offx, int offy, Shape* s) {
    const std::int32_t* coords = obj->points ? obj->points->shown.coords : nullptr;
    s->n = coords ? obj->npoints : 0;
    if (s->n <= 0) return false;
    if (s->n <= kInlinePoints) {
        s->pts = s->inlinePts;
    } else {
        s->manyPts.resize(size_t(s->n) + 1);
        s->pts = s->manyPts.data();
    }
    for (int i = 0; i < s->n; ++i) {
        s->pts[i].x = clampCoord((long long)coords[2 * i] + offx);
        s->pts[i].y = clampCoord((long long)coords[2 * i + 1] + offy);
    }
    s->pts[s->n] = s->pts[0];
    const XPoint& a = s->pts[0];
    const XPoint& b = s->n > 1 ? s->pts[1] : s->pts[0];
    s->x = std::min(a.x, b.x);
    s->y = std::min(a.y, b.y);
    s->width = std::max(a.x, b.x) - s->x;
    s->height = std::max(a.y, b.y) - s->y;
    return true;
}

// The level node in front of the object's own level, whose mask records
// the frozen objects that stand in front of it.
LevNode* nodeInFront(GraphObj* obj) {
    Attrib* level = obj->parent ? obj->parent->level : obj->level;
    LevNode* own = level ? level->shown.level : nullptr;
    return own ? nextOf(own) : nullptr;
}

Picture* pictureOf(UnitContext* ctx, GraphObj* obj) {
    Picture* pic = obj->image ? obj->image->shown.image : nullptr;
    return pic ? pic : defaultPicture(ctx);
}

bool hasImageName(GraphObj* obj) {
    return obj->image && obj->image->value.t && obj->image->value.t[0];
}

// Builds the 1-bit clip of the area when a texture, an image mask or a
// mask in front asks for one; None means a plain clip rectangle serves.
Pixmap buildClip(DisplayState* ds, GraphObj* obj, int x, int y, int w, int h, Picture* image,
                 int imgx, int imgy) {
    int texture = attrInt(obj->texture, 0);
    bool textured = texture >= 1 && texture <= kStippleCount;
    LevNode* front = nodeInFront(obj);
    Picture* frontMask = front ? front->background : nullptr;
    bool imageMask = image && image->mask;
    if (!textured && !imageMask && !(frontMask && frontMask->pixmap)) return None;
    Display* dpy = ds->display;
    Pixmap clip = XCreatePixmap(dpy, RootWindow(dpy, DefaultScreen(dpy)), w, h, 1);
    GC gc = ds->maskGC;
    XCopyGC(dpy, ds->maskBaseGC, ~0UL, gc);
    if (textured) {
        XSetStipple(dpy, gc, ds->stipples[texture]);
        XSetFillStyle(dpy, gc, FillOpaqueStippled);
        XSetTSOrigin(dpy, gc, -x, -y);
    }
    XFillRectangle(dpy, clip, gc, 0, 0, w, h);
    XCopyGC(dpy, ds->maskBaseGC, ~0UL, gc);
    if (imageMask) {
        XSetFunction(dpy, gc, GXand);
        XCopyArea(dpy, image->mask, clip, gc, 0, 0, image->width, image->height, imgx - x,
                  imgy - y);
    }
    if (frontMask && frontMask->pixmap) {
        XSetFunction(dpy, gc, GXandInverted);
        XCopyArea(dpy, frontMask->pixmap, clip, gc, x, y, w, h, 0, 0);
    }
    XSetFunction(dpy, gc, GXcopy);
    return clip;
}

// Line values of an outline; a dashed one also needs its dash list set.
void lineValues(GraphObj* obj, XGCValues* v, unsigned long* mask) {
    int width = std::clamp(attrInt(obj->linewidth, 1), 0, 4096);
    v->line_width = width == 1 ? 0 : width;
    int dashLen = 0;
    v->line_style = dashPattern(attrInt(obj->dashes, 0), &dashLen) ? LineOnOffDash : LineSolid;
    v->cap_style = CapButt;
    v->join_style = JoinMiter;
    *mask |= GCLineWidth | GCLineStyle | GCCapStyle | GCJoinStyle;
}

void setDashes(Display* dpy, GC gc, GraphObj* obj) {
    int dashLen = 0;
    if (const char* dashes = dashPattern(attrInt(obj->dashes, 0), &dashLen))
        XSetDashes(dpy, gc, 0, dashes, dashLen);
}

void setOutlineStyle(DisplayState* ds, GC gc, GraphObj* obj) {
    XGCValues v;
    unsigned long mask = 0;
    lineValues(obj, &v, &mask);
    XChangeGC(ds->display, gc, mask, &v);
    setDashes(ds->display, gc, obj);
}

// The drawing context keeps whatever font the last text set; the default
// font is the base context's, which has no font id of its own to set.
void useFont(DisplayState* ds, GC gc, XFontStruct* font) {
    Display* dpy = ds->display;
    bool shared = gc == ds->drawGC;
    if (font != ds->defaultFont) {
        XSetFont(dpy, gc, font->fid);
        if (shared) ds->drawFontChanged = true;
    } else if (shared && ds->drawFontChanged) {
        XCopyGC(dpy, ds->baseGC, GCFont, gc);
        ds->drawFontChanged = false;
    }
}

void drawText(UnitContext* ctx, const Target& t, Drawable d, GC gc, const Shape& s,
              GraphObj* obj) {
    TextLayout* layout = textLayoutOf(obj);
    if (!layout) return;
    XFontStruct* font = layout->font ? layout->font : ctx->displayState->defaultFont;
    if (!font) return;
    useFont(ctx->displayState, gc, font);
    int lineHeight = font->ascent + font->descent;
    int baseline = s.pts[0].y + font->ascent;
    int areaBottom = t.area.y + t.area.height;
    // Only the lines that reach into the area are sent; single glyphs may
    // stand out of the font's line height.
    int above = std::max<int>(font->ascent, font->max_bounds.ascent);
    int below = std::max<int>(font->descent, font->max_bounds.descent);
    for (TextLine* line = layout->lines; line; line = nextOf(line), baseline += lineHeight) {
        if (baseline - above >= std::min(areaBottom, kCoordLimit)) break;
        if (baseline + below <= t.area.y) continue;
        drawTextClipped(t.dpy, d, gc, font, s.pts[0].x, baseline, line->text, line->length, t.area);
    }
}

// The picture of an image object, scaled to the box of its two points
// when their distance differs from the picture's size.
Picture* imageToDraw(UnitContext* ctx, GraphObj* obj, const Shape& s) {
    Picture* pic = pictureOf(ctx, obj);
    if (s.n < 2) return pic;
    return pictureForBox(ctx, pic, s.pts[1].x - s.pts[0].x, s.pts[1].y - s.pts[0].y);
}

void drawImage(const Target& t, const Shape& s, Picture* pic) {
    if (!pic || !pic->pixmap) return;
    int w = s.n > 1 ? s.width : pic->width;
    int h = s.n > 1 ? s.height : pic->height;
    w = std::min(w, pic->width);
    h = std::min(h, pic->height);
    if (w <= 0 || h <= 0) return;
    XCopyArea(t.dpy, pic->pixmap, t.pic, t.gc, 0, 0, w, h, s.x, s.y);
    if (!t.mask) return;
    if (pic->mask) {
        XCopyArea(t.dpy, pic->mask, t.mask, t.maskGC, 0, 0, w, h, s.x, s.y);
    } else {
        XFillRectangle(t.dpy, t.mask, t.maskGC, s.x, s.y, w, h);
    }
}

// Draws the shape with the routine on the picture and, with a node, on
// its mask.
void paint(UnitContext* ctx, const Target& t, const Shape& s, GraphObj* obj, bool text,
           ShapeRoutine routine) {
    if (text) {
        drawText(ctx, t, t.pic, t.gc, s, obj);
        if (t.mask) drawText(ctx, t, t.mask, t.maskGC, s, obj);
        return;
    }
    routine(t, t.pic, t.gc, s, obj);
    if (t.mask) routine(t, t.mask, t.maskGC, s, obj);
}

void setClip(Display* dpy, GC gc, Pixmap clip, int x, int y, int w, int h) {
    if (clip) {
        XSetClipMask(dpy, gc, clip);
        XSetClipOrigin(dpy, gc, x, y);
    } else {
        XRectangle r{short(x), short(y), (unsigned short)w, (unsigned short)h};
        XSetClipRectangles(dpy, gc, 0, 0, &r, 1, Unsorted);
    }
}

// Every value of the drawing context that an object's draw depends on,
// gathered first and sent as one change. Xlib sends only the values that
// differ from the server's, so a run of objects drawn alike costs no
// context changes at all and their fills reach the server batched in one
// request, rather than a context copy, a clip and a fill per object.
// Values a draw does not use (line values of a fill, a stipple under a
// solid fill) are left as they are.
unsigned long drawValues(DisplayState* ds, GraphObj* obj, bool filled, bool outlined, int offx,
                         int offy, XGCValues* v) {
    XGetGCValues(ds->display, ds->baseGC, GCForeground | GCBackground, v);
    v->fill_style = FillSolid;
    v->ts_x_origin = -offx;
    v->ts_y_origin = -offy;
    v->line_width = 0;
    unsigned long mask = GCForeground | GCBackground | GCFillStyle | GCTileStipXOrigin | GCTileStipYOrigin;
    if (obj->kind != K_IMAGE) colourValues(ds, std::uint32_t(obj->color ? obj->color->shown.i : 0), v, &mask);
    Picture* tile = filled && hasImageName(obj) ? obj->image->shown.image : nullptr;
    if (tile && tile->pixmap) {
        v->tile = tile->pixmap;
        v->fill_style = FillTiled;
        mask |= GCTile | GCFillStyle;
    }
    if (outlined) lineValues(obj, v, &mask);
    return mask;
}

// True when every pixel the object can paint within the target lies in
// the area, so that no clip is needed. Only shapes whose pixels are known
// exactly qualify: filled boxes and arcs, and thin outlines of them (a
// thin line keeps to the points' rectangle, edges included). Wide lines
// with their joins, polygons, texts and images are always clipped.
bool staysInside(int kind, bool filled, int lineWidth, const Shape& s, Rect area, const Picture* target) {
    Rect reach;
    if (kind == K_BOX && filled) reach = {s.x, s.y, s.width, s.height};
    else if ((kind == K_BOX || kind == K_ARC) && (filled || lineWidth == 0))
        reach = {s.x, s.y, s.width + 1, s.height + 1};
    else return false;
    // The target's own edges clip as well.
    reach = isectRects(reach, {0, 0, target->width, target->height});
    if (reach.width <= 0 || reach.height <= 0) return true;
    return reach.x >= area.x && reach.y >= area.y && reach.x + reach.width <= area.x + area.width &&
           reach.y + reach.height <= area.y + area.height;
}

LevNode* nextNodeWithMask(LevNode* node) {
    for (LevNode* n = node ? nextOf(node) : nullptr; n; n = nextOf(n))
        if (n->background) return n;
    return nullptr;
}

}  // namespace

void colourValues(DisplayState* ds, std::uint32_t code, XGCValues* v, unsigned long* mask) {
    Display* dpy = ds->display;
    int raster = (code >> 16) & 0xF;
    unsigned long lo = code & 0xFF, hi = (code >> 8) & 0xFF;
    auto stippled = [&](Pixmap stipple, unsigned long fg, unsigned long bg) {
        v->stipple = stipple;
        v->foreground = fg;
        v->background = bg;
        v->fill_style = FillOpaqueStippled;
        *mask |= GCStipple | GCForeground | GCBackground | GCFillStyle;
    };
    *mask |= GCForeground;
    if (ds->depth == 1) {
        int grey = raster ? int(lo + hi + 1) / 2 : int(lo);
        int screen = DefaultScreen(dpy);
        unsigned long white = WhitePixel(dpy, screen), black = BlackPixel(dpy, screen);
        if (grey <= 0 || grey >= 16) v->foreground = grey <= 0 ? black : white;
        else stippled(ds->rasters[grey], white, black);
        return;
    }
    if (ds->depth == 8 || ds->depth == 4) {
        if (ds->depth == 8 && raster >= 1 && raster <= 15 && lo != hi) stippled(ds->rasters[raster], lo, hi);
        else v->foreground = raster ? hi : lo;
        return;
    }
    v->foreground = code;
}

void setColourCode(DisplayState* ds, GC gc, std::uint32_t code) {
    XGCValues v;
    unsigned long mask = 0;
    colourValues(ds, code, &v, &mask);
    XChangeGC(ds->display, gc, mask, &v);
}

unsigned long pixelOfCodeAt(DisplayState* ds, std::uint32_t code, int x, int y) {
    int raster = (code >> 16) & 0xF;
    unsigned long lo = code & 0xFF, hi = (code >> 8) & 0xFF;
    if (ds->depth == 1) {
        int grey = raster ? int(lo + hi + 1) / 2 : int(lo);
        bool set = grey >= 16 || (grey > 0 && (rasterRow(grey, y & 3) & (8 >> (x & 3))));
        int screen = DefaultScreen(ds->display);
        return set ? WhitePixel(ds->display, screen) : BlackPixel(ds->display, screen);
    }
    if (ds->depth <= 8) {
        if (!raster) return lo;
        return ((x ^ y) & 1) ? hi : lo;
    }
    return code;
}

void newLevMask(UnitContext* ctx, LevNode* node) {
    DisplayState* ds = ctx->displayState;
    LearnUnit* unit = ctx->learnUnit;
    if (!ds || !unit || !unit->screen || !node) return;
    Display* dpy = ds->display;
    int w = unit->screen->width, h = unit->screen->height;
    auto* mask = static_cast<Picture*>(TamCalloc(1, sizeof(Picture)));
    if (!mask) outOfMemory(ctx);
    new (mask) Picture();
    mask->width = w;
    mask->height = h;
    mask->pixmap = XCreatePixmap(dpy, RootWindow(dpy, DefaultScreen(dpy)), w, h, 1);
    XCopyGC(dpy, ds->maskBaseGC, ~0UL, ds->maskGC);
    XSetForeground(dpy, ds->maskGC, 0);
    XFillRectangle(dpy, mask->pixmap, ds->maskGC, 0, 0, w, h);
    XSetForeground(dpy, ds->maskGC, 1);
    LevNode* next = nextNodeWithMask(node);
    if (next && next->background->pixmap) {
        XCopyArea(dpy, next->background->pixmap, mask->pixmap, ds->maskGC, 0, 0,
                  std::min(w, next->background->width), std::min(h, next->background->height), 0, 0);
    }
    node->background = mask;
    node->ownsBackground = 1;
}

void drawGraph(UnitContext* ctx, GraphObj* obj, LevNode* node, int x, int y, int width,
               int height, int offx, int offy) {
    DisplayState* ds = ctx->displayState;
    LearnUnit* unit = ctx->learnUnit;
    Picture* target = unit ? (node ? unit->background : unit->screen) : nullptr;
    if (!ds || !obj || width <= 0 || height <= 0 || !target || !target->pixmap) return;
    if (!attrInt(obj->active, 1)) {
        obj->flag2 = 0;
        return;
    }
    Shape shape;
    if (!prepareShape(obj, offx, offy, &shape)) return;
    obj->flag2 = 1;
    Display* dpy = ds->display;
    if (node && (!node->background || !node->ownsBackground)) newLevMask(ctx, node);
    Picture* image = obj->kind == K_IMAGE ? imageToDraw(ctx, obj, shape) : nullptr;
    Pixmap clip = buildClip(ds, obj, x, y, width, height, image, shape.x, shape.y);

    GC gc = ds->drawGC;
    const KindOps* ops = opsFor(obj->kind);
    bool filled = ops && ops->fill && attrInt(obj->fill, 0) != 0;
    bool outlined = ops && !filled && obj->kind != K_TEXTOBJ;
    XGCValues v;
    unsigned long mask = drawValues(ds, obj, filled, outlined, offx, offy, &v);
    bool clipRect = !clip && !staysInside(obj->kind, filled, v.line_width, shape,
                                          {x, y, width, height}, target);
    // Xlib sends a clip mask every time it is set, so it is set to none
    // only when a clip is in place.
    if (!clip && !clipRect && ds->drawClipped) {
        v.clip_mask = None;
        mask |= GCClipMask;
        ds->drawClipped = false;
    }
    XChangeGC(dpy, gc, mask, &v);
    if (outlined) setDashes(dpy, gc, obj);
    if (clip || clipRect) {
        setClip(dpy, gc, clip, x, y, width, height);
        ds->drawClipped = true;
    }
    XRectangle area{short(x), short(y), (unsigned short)width, (unsigned short)height};
    Target t{dpy, target->pixmap, gc, None, nullptr, area};
    if (node && node->background) {
        t.mask = node->background->pixmap;
        t.maskGC = ds->maskGC;
        XCopyGC(dpy, ds->maskBaseGC, ~0UL, t.maskGC);
        XSetFunction(dpy, t.maskGC, GXor);
        setClip(dpy, t.maskGC, clip, x, y, width, height);
        if (outlined) setOutlineStyle(ds, t.maskGC, obj);
    }
    if (obj->kind == K_IMAGE) drawImage(t, shape, image);
    else if (obj->kind == K_TEXTOBJ) paint(ctx, t, shape, obj, true, nullptr);
    else if (ops) paint(ctx, t, shape, obj, false, filled ? ops->fill : ops->outline);
    if (clip) {
        XSetClipMask(dpy, gc, None);
        ds->drawClipped = false;
    }
    if (t.maskGC) {
        XSetClipMask(dpy, t.maskGC, None);
        XSetFunction(dpy, t.maskGC, GXcopy);
    }
    if (clip) XFreePixmap(dpy, clip);
}

void drawWin(UnitContext* ctx, WinObj* win, LevNode* node, int x, int y, int width, int height) {
    if (!win || width <= 0 || height <= 0) return;
    if (!attrInt(win->active, 1)) {
        win->flag2 = 0;
        return;
    }
    win->flag2 = 1;
    int wx = win->bbox[0], wy = win->bbox[1];
    int x1 = std::max(x, wx), y1 = std::max(y, wy);
    int x2 = std::min(x + width, wx + win->bbox[2]);
    int y2 = std::min(y + height, wy + win->bbox[3]);
    if (x2 <= x1 || y2 <= y1) return;
    for (LevNode* lev = win->levels; lev; lev = nextOf(lev))
        for (GraphObj* obj = lastOnNode(lev->graphs); obj; obj = prevOf(obj))
            drawGraph(ctx, obj, node, x1, y1, x2 - x1, y2 - y1, wx, wy);
}
