// Drawing and refresh on a real X server: objects are built by hand as
// instances with constant attributes, drawn through the update path, and
// the learn unit's screen image is read back pixel by pixel.
#include <gtest/gtest.h>

#include <X11/Xutil.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "app/context.h"
#include "core/alloc.h"
#include "present/display_state.h"
#include "present/draw.h"
#include "present/learnunit.h"
#include "present/palette.h"
#include "present/picture.h"
#include "present/screen.h"
#include "present/textlayout.h"
#include "present/update.h"
#include "test_display.h"

namespace {

class DisplayTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no X display";
        dpy = openTestDisplay();
        ASSERT_NE(dpy, nullptr);
        ctx = new UnitContext();
        ctx->display = dpy;
        ASSERT_TRUE(initDisplay(ctx));
        initDrawingResources(ctx);
        unit = newLearnUnit(ctx, 200, 150, 0);
    }
    void TearDown() override {
        if (!ctx) return;
        for (GraphObj* g : graphs) {
            for (Attrib* a : attrsOf(g)) {
                if (a->id == S_POINTS) {
                    TamFree(a->value.coords);
                    TamFree(a->shown.coords);
                }
                if (a->id == S_OUTTEXT) {
                    TamFree(a->value.t);
                    killTextLayout(ctx, a->shown.text);
                }
                if (a->id == S_FONT) TamFree(a->value.t);
                TamFree(a);
            }
            TamFree(g);
        }
        killLevelList(ctx, unit->levels);
        killImage(ctx, unit->background);
        killImage(ctx, unit->screen);
        TamFree(unit);
        TamFree(ctx->updateRects);
        winsysCleanup(ctx);
        XCloseDisplay(dpy);
        delete ctx;
    }

    static std::vector<Attrib*> attrsOf(GraphObj* g) {
        std::vector<Attrib*> all;
        for (Attrib* a : {g->points, g->active, g->savebackground, g->level, g->color, g->dashes,
                          g->linewidth, g->fill, g->texture, g->outtext, g->font})
            if (a) all.push_back(a);
        return all;
    }

    Attrib* attr(GraphObj* g, int id, int value) {
        auto* a = TamNew<Attrib>();
        a->id = id;
        a->parentKind = PK_GRAPHIC;
        a->parent = g;
        a->value.i = value;
        if (!isLinked(a)) appendTo(unit->changedHead, unit->changedTail, a);
        return a;
    }

    GraphObj* object(int kind, std::vector<int> coords, int rgb, int level = 0) {
        auto* g = TamNew<GraphObj>();
        g->kind = kind;
        g->isInstance = 1;
        g->npoints = int(coords.size() / 2);
        graphs.push_back(g);
        g->points = attr(g, S_POINTS, 0);
        size_t bytes = coords.size() * sizeof(int);
        g->points->value.coords = static_cast<std::int32_t*>(TamMalloc(bytes));
        g->points->shown.coords = static_cast<std::int32_t*>(TamMalloc(bytes));
        std::memcpy(g->points->value.coords, coords.data(), bytes);
        g->active = attr(g, S_ACTIVE, 1);
        g->savebackground = attr(g, S_SAVEBACKGROUND, 1);
        g->level = attr(g, S_LEVEL, level);
        g->color = attr(g, S_COLOR, rgb);
        return g;
    }

    void output() {
        updateGraphs(ctx);
        refresh(ctx, 0);
    }

    // Changes a value as an assignment would: store and queue.
    // Hand-built attributes have no expression: a new value is marked as
    // not yet computed, an equal one goes through the short-cut.
    void assign(Attrib* a, int value) {
        if (a->value.i != value) a->computed = 0;
        a->value.i = value;
        if (!isLinked(a)) appendTo(unit->changedHead, unit->changedTail, a);
    }
    void move(GraphObj* g, std::vector<int> coords) {
        std::memcpy(g->points->value.coords, coords.data(), coords.size() * sizeof(int));
        g->points->computed = 0;  // hand-built points have no expressions to re-evaluate
        if (!isLinked(g->points)) appendTo(unit->changedHead, unit->changedTail, g->points);
    }

    unsigned long pixel(int x, int y) {
        XImage* img = XGetImage(dpy, unit->screen->pixmap, x, y, 1, 1, AllPlanes, ZPixmap);
        unsigned long p = XGetPixel(img, 0, 0);
        XDestroyImage(img);
        return p;
    }
    int rgbAt(int x, int y) {
        XColor c;
        c.pixel = pixel(x, y);
        XQueryColor(dpy, paletteColormap(ctx), &c);
        return ((c.red >> 8) << 16) | ((c.green >> 8) << 8) | (c.blue >> 8);
    }
    // Exact colours compare on TrueColor; on palette displays a colour is
    // the nearest palette entry, so compare coarsely.
    void expectColour(int x, int y, int rgb) {
        int got = rgbAt(x, y);
        for (int shift = 0; shift <= 16; shift += 8)
            EXPECT_NEAR((got >> shift) & 0xFF, (rgb >> shift) & 0xFF, 40)
                << "at " << x << "," << y << " got " << std::hex << got;
    }

    Display* dpy = nullptr;
    UnitContext* ctx = nullptr;
    LearnUnit* unit = nullptr;
    std::vector<GraphObj*> graphs;
};

TEST_F(DisplayTest, ColourCodesFollowThePaletteMode) {
    if (paletteMode(ctx) == PM_TRUECOLOR) {
        EXPECT_EQ(colorOfRGB(ctx, 0x123456), 0x123456u);
    }
    if (paletteMode(ctx) == PM_565) {
        EXPECT_EQ(colorOfRGB(ctx, 0x123456), 0x11AAu);
    }
    if (paletteMode(ctx) == PM_PRIVATE) {
        std::uint32_t code = colorOfRGB(ctx, 0x808080);
        EXPECT_EQ((code >> 16) & 0xF, 8u);
    }
    EXPECT_EQ(colsInCMap(ctx), ctx->depth == 8 ? 256 : -1);
}

TEST_F(DisplayTest, FilledAndOutlinedShapesGetTheirColours) {
    GraphObj* box = object(K_BOX, {10, 10, 50, 40}, 0xff0000);
    box->fill = attr(box, S_FILL, 1);
    object(K_BOX, {60, 10, 100, 40}, 0x00ff00);
    GraphObj* arc = object(K_ARC, {110, 10, 150, 50}, 0x0000ff);
    arc->fill = attr(arc, S_FILL, 1);
    output();
    expectColour(30, 25, 0xff0000);
    expectColour(60, 25, 0x00ff00);   // left edge of the outline
    expectColour(80, 25, 0x000000);   // inside stays background
    expectColour(130, 30, 0x0000ff);  // centre of the filled circle
    expectColour(111, 11, 0x000000);  // corner outside the circle
}

TEST_F(DisplayTest, HigherLevelsStandInFront) {
    GraphObj* back = object(K_BOX, {10, 10, 60, 60}, 0xff0000, 5);
    back->fill = attr(back, S_FILL, 1);
    GraphObj* front = object(K_BOX, {30, 30, 80, 80}, 0x0000ff, 7);
    front->fill = attr(front, S_FILL, 1);
    output();
    expectColour(40, 40, 0x0000ff);
    // Lowering the front object's level puts it behind.
    assign(front->level, 1);
    output();
    expectColour(40, 40, 0xff0000);
    expectColour(70, 70, 0x0000ff);
}

TEST_F(DisplayTest, MovingErasesTheOldAreaAndUnchangedValuesDrawNothing) {
    GraphObj* box = object(K_BOX, {10, 10, 40, 40}, 0xffff00);
    box->fill = attr(box, S_FILL, 1);
    output();
    expectColour(20, 20, 0xffff00);
    move(box, {100, 100, 130, 130});
    output();
    expectColour(20, 20, 0x000000);
    expectColour(110, 110, 0xffff00);

    // Paint a marker straight into the screen image: a refresh that draws
    // nothing leaves it in place.
    XSetForeground(dpy, DefaultGC(dpy, DefaultScreen(dpy)), displayPixel(ctx, 0xffffff));
    XFillRectangle(dpy, unit->screen->pixmap, DefaultGC(dpy, DefaultScreen(dpy)), 105, 105, 4, 4);
    assign(box->color, 0xffff00);
    output();
    expectColour(106, 106, 0xffffff);
    EXPECT_EQ(box->updateStatus, 0);
}

TEST_F(DisplayTest, SaveBackgroundZeroLeavesTheOldImage) {
    GraphObj* box = object(K_BOX, {10, 10, 40, 40}, 0x00ffff);
    box->fill = attr(box, S_FILL, 1);
    assign(box->savebackground, 0);
    output();
    move(box, {60, 60, 90, 90});
    output();
    expectColour(20, 20, 0x00ffff);
    expectColour(70, 70, 0x00ffff);
}

TEST_F(DisplayTest, TexturesLeaveHolesAndDashesDrawGaps) {
    GraphObj* box = object(K_BOX, {0, 0, 32, 32}, 0xffffff);
    box->fill = attr(box, S_FILL, 1);
    box->texture = attr(box, S_TEXTURE, 4);  // single-pixel columns
    output();
    expectColour(0, 5, 0xffffff);
    expectColour(1, 5, 0x000000);
    GraphObj* line = object(K_LINE, {0, 100, 40, 100}, 0xffffff);
    line->dashes = attr(line, S_DASHES, 1);
    output();
    expectColour(0, 100, 0xffffff);
    expectColour(1, 100, 0x000000);
}

TEST_F(DisplayTest, AbsurdCoordinatesAndManyPointsAreClipped) {
    GraphObj* huge = object(K_BOX, {-100000, -100000, 100000, 100000}, 0x00ff00);
    huge->fill = attr(huge, S_FILL, 1);
    std::vector<int> coords;
    for (int i = 0; i < 5000; ++i) coords.insert(coords.end(), {i % 200, (i * 7) % 150});
    object(K_POLYGON, coords, 0xff00ff);
    output();
    expectColour(199, 149, 0x00ff00);
    XSync(dpy, False);
}

TEST_F(DisplayTest, FrozenObjectsStayInFrontOfLowerLevels) {
    GraphObj* front = object(K_BOX, {20, 20, 60, 60}, 0x0000ff, 3);
    front->fill = attr(front, S_FILL, 1);
    front->staticFlag = 1;
    GraphObj* back = object(K_BOX, {10, 10, 40, 40}, 0xff0000, 1);
    back->fill = attr(back, S_FILL, 1);
    updateGraphs(ctx);
    auto* frame = TamNew<funcinst>();
    auto* block = TamNew<function>();
    block->blockKind = BLOCK_FUNCTION;
    frame->owner = block;
    frame->freezeCount = 1;
    front->frame = frame;
    statobjSetup(ctx, frame);
    EXPECT_EQ(front->staticFlag, 2);
    output();
    expectColour(30, 30, 0x0000ff);  // the frozen box, in front
    expectColour(15, 15, 0xff0000);
    move(back, {12, 12, 42, 42});
    output();
    expectColour(30, 30, 0x0000ff);
    optOCleanup(ctx);
    EXPECT_EQ(front->staticFlag, 1);
    TamFree(frame);
    TamFree(block);
}

TEST_F(DisplayTest, TextIsLaidOutWrappedAndFontsFallBack) {
    GraphObj* text = object(K_TEXTOBJ, {10, 10, 60, 200}, 0xffffff);
    text->outtext = attr(text, S_OUTTEXT, 0);
    text->outtext->value.t = static_cast<char*>(TamMalloc(32));
    std::strcpy(text->outtext->value.t, "one two three four");
    text->font = attr(text, S_FONT, 0);
    text->font->value.t = static_cast<char*>(TamMalloc(32));
    std::strcpy(text->font->value.t, "nosuchfont");
    testing::internal::CaptureStderr();
    output();
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("Warning: Could not load font: nosuchfont. Using default font"),
              std::string::npos) << err;
    TextLayout* layout = textLayoutOf(text);
    ASSERT_NE(layout, nullptr);
    EXPECT_GT(layout->nlines, 1);
    for (TextLine* line = layout->lines; line; line = nextOf(line))
        EXPECT_LE(textWidth(ctx, layout->font, line->text, line->length), 50);
    EXPECT_GT(text->bbox[2], 0);
}

TEST_F(DisplayTest, NumbersAreCutToTheirDecimals) {
    Attrib a{};
    a.value.i = 123456;
    tScanInt(ctx, &a, 3);
    EXPECT_STREQ(a.shown.text->lines->text, "123");
    killTextLayout(ctx, a.shown.text);
    Attrib f{};
    f.value.f = 3.14159;
    tScanFlt(ctx, &f, 4);
    EXPECT_STREQ(f.shown.text->lines->text, "3.141");
    killTextLayout(ctx, f.shown.text);
}

TEST_F(DisplayTest, ImagesWithoutPictureShowTheDefaultLogo) {
    GraphObj* image = object(K_IMAGE, {20, 10}, 0);
    output();
    EXPECT_EQ(image->bbox[2], kDefPicWidth);
    EXPECT_EQ(image->bbox[3], kDefPicHeight);
    expectColour(20 + 40, 10 + 35, 0xffffc0);  // the letter's bar
    expectColour(20, 10, 0x000000);            // outside the rounded frame
}

TEST_F(DisplayTest, ResizingKeepsThePicture) {
    GraphObj* box = object(K_BOX, {10, 10, 40, 40}, 0xff0000);
    box->fill = attr(box, S_FILL, 1);
    output();
    testing::internal::CaptureStderr();
    EXPECT_FALSE(resizeScreen(ctx, 0, 0));
    EXPECT_FALSE(resizeScreen(ctx, 100000, 100000));
    EXPECT_NE(testing::internal::GetCapturedStderr().find("out of range"), std::string::npos);
    EXPECT_TRUE(resizeScreen(ctx, 300, 250));
    EXPECT_EQ(unit->screen->width, 300);
    expectColour(20, 20, 0xff0000);
    expectColour(290, 240, 0x000000);
}

// More damage rectangles than the pool starts with: the pool grows while
// the refresh still walks the rectangles it handed out.
TEST_F(DisplayTest, ManyMovingObjectsOutgrowTheRectanglePool) {
    std::vector<GraphObj*> boxes;
    for (int i = 0; i < 2500; ++i) {
        int x = (i * 7) % 190, y = (i * 13) % 140;
        boxes.push_back(object(K_BOX, {x, y, x + 3, y + 3}, 0x00ff00));
        boxes.back()->fill = attr(boxes.back(), S_FILL, 1);
    }
    output();
    for (int i = 0; i < 2500; ++i) {
        int x = (i * 7 + 1) % 190, y = (i * 13 + 1) % 140;
        move(boxes[i], {x, y, x + 3, y + 3});
    }
    output();
    EXPECT_GT(ctx->updateCapacity, kUpdatePoolStart);
    expectColour(2, 2, 0x00ff00);  // box 0 moved to (1, 1)
}

// A scene drawn frame by frame through the refresh, which redraws only
// damaged parts, clipped or not, and erases in batches, must look exactly
// like the same objects drawn whole, in level order, on a blank picture.
class AnimationTest : public DisplayTest {
protected:
    struct Sprite {
        GraphObj* obj;
        int kind, rgb, w, h, level;
        bool filled;
        int lineWidth;        // 0: no linewidth attribute
        const char* text;     // textobj only
        XFontStruct* font;    // textobj only; null for the default font
        int x = 0, y = 0;
    };

    void add(int kind, int w, int h, int rgb, int level, bool filled, int lineWidth = 0) {
        sprites.push_back({nullptr, kind, rgb, w, h, level, filled, lineWidth, nullptr, nullptr});
    }
    void addText(const char* text, XFontStruct* font, int rgb, int level) {
        sprites.push_back({nullptr, K_TEXTOBJ, rgb, 0, 0, level, false, 0, text, font});
    }
    static char* copyText(const char* text) {
        auto* copy = static_cast<char*>(TamMalloc(std::strlen(text) + 1));
        std::strcpy(copy, text);
        return copy;
    }
    // Every few frames some objects stay where they are, so that they are
    // only redrawn where others damage them.
    void place(Sprite& s, int i, int frame) {
        int step = (frame % 3 == 2 && i % 2) ? frame - 1 : frame;
        s.x = -25 + (i * 37 + step * (3 + i % 5) * 7) % 240;
        s.y = -20 + (i * 23 + step * (2 + i % 3) * 5) % 185;
    }
    std::vector<int> coordsOf(const Sprite& s) {
        if (s.kind == K_TEXTOBJ) return {s.x, s.y};
        return {s.x, s.y, s.x + s.w, s.y + s.h};
    }
    void create() {
        for (std::size_t i = 0; i < sprites.size(); ++i) {
            Sprite& s = sprites[i];
            place(s, int(i), 0);
            s.obj = object(s.kind, coordsOf(s), s.rgb, s.level);
            if (s.filled) s.obj->fill = attr(s.obj, S_FILL, 1);
            if (s.lineWidth) s.obj->linewidth = attr(s.obj, S_LINEWIDTH, s.lineWidth);
            if (s.text) {
                s.obj->outtext = attr(s.obj, S_OUTTEXT, 0);
                s.obj->outtext->value.t = copyText(s.text);
            }
            if (s.font) {
                s.obj->font = attr(s.obj, S_FONT, 0);
                s.obj->font->value.t = copyText(fontName);
            }
        }
    }

    // The expected picture: each object drawn whole with plain requests.
    Pixmap expected() {
        DisplayState* ds = ctx->displayState;
        Pixmap pm = XCreatePixmap(dpy, unit->screen->pixmap, 200, 150, ds->depth);
        GC gc = XCreateGC(dpy, pm, 0, nullptr);
        XCopyArea(dpy, unit->background->pixmap, pm, gc, 0, 0, 200, 150, 0, 0);
        std::vector<const Sprite*> order;
        for (const Sprite& s : sprites) order.push_back(&s);
        std::stable_sort(order.begin(), order.end(),
                         [](const Sprite* a, const Sprite* b) { return a->level < b->level; });
        for (const Sprite* s : order) {
            setColourCode(ds, gc, colorOfRGB(ctx, s->rgb));
            XSetLineAttributes(dpy, gc, s->lineWidth > 1 ? s->lineWidth : 0, LineSolid, CapButt, JoinMiter);
            if (s->kind == K_TEXTOBJ) {
                XFontStruct* font = s->font ? s->font : ds->defaultFont;
                if (s->font) XSetFont(dpy, gc, s->font->fid);
                XDrawString(dpy, pm, gc, s->x, s->y + font->ascent, s->text, int(std::strlen(s->text)));
                if (s->font) XCopyGC(dpy, ds->baseGC, GCFont, gc);
            } else if (s->kind == K_BOX) {
                (s->filled ? XFillRectangle : XDrawRectangle)(dpy, pm, gc, s->x, s->y, s->w, s->h);
            } else {
                (s->filled ? XFillArc : XDrawArc)(dpy, pm, gc, s->x, s->y, s->w, s->h, 0, 360 * 64);
            }
        }
        XFreeGC(dpy, gc);
        return pm;
    }

    void expectSameAsScreen(Pixmap want, int frame) {
        XImage* a = XGetImage(dpy, unit->screen->pixmap, 0, 0, 200, 150, AllPlanes, ZPixmap);
        XImage* b = XGetImage(dpy, want, 0, 0, 200, 150, AllPlanes, ZPixmap);
        int wrong = 0, firstX = -1, firstY = -1;
        for (int y = 0; y < 150; ++y)
            for (int x = 0; x < 200; ++x)
                if (XGetPixel(a, x, y) != XGetPixel(b, x, y) && wrong++ == 0) {
                    firstX = x;
                    firstY = y;
                }
        EXPECT_EQ(wrong, 0) << "frame " << frame << ", first at " << firstX << "," << firstY;
        XDestroyImage(a);
        XDestroyImage(b);
    }

    const char* fontName = "10x20";
    std::vector<Sprite> sprites;
};

TEST_F(AnimationTest, OverlappingMovingObjectsMatchAWholeDrawing) {
    XFontStruct* big = XLoadQueryFont(dpy, fontName);
    ASSERT_NE(big, nullptr);
    for (int i = 0; i < 6; ++i) add(K_BOX, 20 + i * 3, 15 + i * 2, 0xff0000 >> (i * 3), i % 3, true);
    add(K_BOX, 40, 30, 0x00ff00, 1, false);      // thin outline, drawn unclipped
    add(K_BOX, 35, 45, 0xffff00, 2, false, 6);   // wide outline, always clipped
    add(K_ARC, 50, 40, 0x00ffff, 0, true);
    add(K_ARC, 30, 30, 0xff00ff, 2, false);
    add(K_BOX, 60, 8, 0xffffff, 1, true);
    // A text in a font of its own, then one in the default font: each
    // must be drawn in its own.
    addText("Big", big, 0xffffff, 3);
    addText("small text", nullptr, 0x00ff00, 4);
    create();
    for (int frame = 0; frame < 12; ++frame) {
        for (std::size_t i = 0; i < sprites.size(); ++i) {
            place(sprites[i], int(i), frame);
            move(sprites[i].obj, coordsOf(sprites[i]));
        }
        output();
        Pixmap want = expected();
        expectSameAsScreen(want, frame);
        XFreePixmap(dpy, want);
    }
    XFreeFont(dpy, big);
}

TEST_F(DisplayTest, ProtocolErrorsAreReportedNotFatal) {
    testing::internal::CaptureStderr();
    XFreePixmap(dpy, 0x7ffffff);
    XSync(dpy, False);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("X Error: "), std::string::npos);
}

// A private colormap on an 8-bit display: colours between two cube
// entries are drawn as a checkerboard of both.
TEST(PrivatePalette, DithersBetweenCubeEntries) {
    Display* dpy = std::getenv("DISPLAY") ? XOpenDisplay(nullptr) : nullptr;
    if (!dpy || DefaultDepth(dpy, DefaultScreen(dpy)) != 8) {
        if (dpy) XCloseDisplay(dpy);
        GTEST_SKIP() << "needs an 8-bit display";
    }
    UnitContext ctx;
    ctx.display = dpy;
    ctx.perfectCols = True;
    ASSERT_TRUE(initDisplay(&ctx));
    initDrawingResources(&ctx);
    EXPECT_EQ(paletteMode(&ctx), PM_PRIVATE);
    std::uint32_t code = colorOfRGB(&ctx, 0x888888);
    unsigned long lo = code & 0xFF, hi = (code >> 8) & 0xFF;
    EXPECT_NE(lo, hi);
    Picture* pic = blankImage(&ctx, 4, 4, 0x888888);
    XImage* img = XGetImage(dpy, pic->pixmap, 0, 0, 2, 2, AllPlanes, ZPixmap);
    EXPECT_NE(XGetPixel(img, 0, 0), XGetPixel(img, 1, 0));
    EXPECT_EQ(XGetPixel(img, 0, 0), XGetPixel(img, 1, 1));
    XDestroyImage(img);
    killImage(&ctx, pic);

    // Colour names for the toolkit resolve through the private palette.
    Screen* screen = DefaultScreenOfDisplay(dpy);
    Colormap cmap = paletteColormap(&ctx);
    XrmValue args[2] = {{sizeof screen, reinterpret_cast<XPointer>(&screen)},
                        {sizeof cmap, reinterpret_cast<XPointer>(&cmap)}};
    Cardinal nargs = 2;
    char red[] = "red";
    XrmValue from{sizeof red, red}, to{0, nullptr};
    ASSERT_TRUE(KivCvtStringToPixel(dpy, args, &nargs, &from, &to, nullptr));
    EXPECT_EQ(*reinterpret_cast<Pixel*>(to.addr), displayPixel(&ctx, 0xff0000));
    Colormap other = DefaultColormap(dpy, DefaultScreen(dpy));
    args[1].addr = reinterpret_cast<XPointer>(&other);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(KivCvtStringToPixel(dpy, args, &nargs, &from, &to, nullptr));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Conversion error\n");
    winsysCleanup(&ctx);
    XCloseDisplay(dpy);
}

}  // namespace
