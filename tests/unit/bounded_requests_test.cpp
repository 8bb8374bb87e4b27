// Texts and polygons sent in bounded pieces must paint exactly the pixels
// the single request would have painted: both are drawn on a real server
// into 1-bit pixmaps and compared pixel by pixel.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "present/boundedrequests.h"
#include "test_display.h"

namespace {

constexpr int kWidth = 400;
constexpr int kHeight = 300;

class BoundedRequests : public testing::Test {
protected:
    void SetUp() override {
        if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no X display";
        dpy = openTestDisplay();
        ASSERT_NE(dpy, nullptr);
        expected = XCreatePixmap(dpy, DefaultRootWindow(dpy), kWidth, kHeight, 1);
        actual = XCreatePixmap(dpy, DefaultRootWindow(dpy), kWidth, kHeight, 1);
        gc = XCreateGC(dpy, expected, 0, nullptr);
        clear();
        XSetForeground(dpy, gc, 1);
    }
    void TearDown() override {
        if (!dpy) return;
        XFreeGC(dpy, gc);
        XFreePixmap(dpy, expected);
        XFreePixmap(dpy, actual);
        XCloseDisplay(dpy);
    }

    void clear() {
        XSetForeground(dpy, gc, 0);
        XFillRectangle(dpy, expected, gc, 0, 0, kWidth, kHeight);
        XFillRectangle(dpy, actual, gc, 0, 0, kWidth, kHeight);
        XSetForeground(dpy, gc, 1);
    }

    // Pixels that differ between the two pictures.
    int differences() {
        XImage* a = XGetImage(dpy, expected, 0, 0, kWidth, kHeight, 1, XYPixmap);
        XImage* b = XGetImage(dpy, actual, 0, 0, kWidth, kHeight, 1, XYPixmap);
        int count = 0;
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) count += XGetPixel(a, x, y) != XGetPixel(b, x, y);
        XDestroyImage(a);
        XDestroyImage(b);
        return count;
    }

    int paintedPixels() {
        XImage* a = XGetImage(dpy, actual, 0, 0, kWidth, kHeight, 1, XYPixmap);
        int count = 0;
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) count += XGetPixel(a, x, y) != 0;
        XDestroyImage(a);
        return count;
    }

    void comparePolygon(const std::vector<XPoint>& points) {
        XFillPolygon(dpy, expected, gc, const_cast<XPoint*>(points.data()), int(points.size()), Complex,
                     CoordModeOrigin);
        std::vector<XRectangle> spans = polygonSpans(points.data(), int(points.size()), 0, kHeight);
        if (!spans.empty()) XFillRectangles(dpy, actual, gc, spans.data(), int(spans.size()));
        EXPECT_GT(paintedPixels(), 0);
        EXPECT_EQ(differences(), 0);
        clear();
    }

    Display* dpy = nullptr;
    Pixmap expected = 0, actual = 0;
    GC gc = nullptr;
};

TEST_F(BoundedRequests, SpansFillLikeTheServer) {
    // Straight and slanted edges, a self-intersecting star (even-odd rule
    // leaves its centre empty), and a long zigzag with thousands of points.
    comparePolygon({{10, 10}, {110, 10}, {110, 60}, {10, 60}});
    comparePolygon({{3, 7}, {391, 33}, {217, 289}, {40, 151}});
    std::vector<XPoint> star;
    for (int i = 0; i < 5; ++i) {
        double angle = i * 4 * M_PI / 5;
        star.push_back({short(200 + 140 * std::sin(angle)), short(150 - 140 * std::cos(angle))});
    }
    comparePolygon(star);
    std::vector<XPoint> zigzag;
    for (int x = 0; x < 390; x += 2) zigzag.push_back({short(5 + x), short(x % 4 ? 20 : 40)});
    for (int x = 390; x > 0; x -= 3) zigzag.push_back({short(5 + x), short(250 + (x % 7) * 5)});
    comparePolygon(zigzag);
}

TEST_F(BoundedRequests, TextPiecesJoinSeamlessly) {
    XFontStruct* font = XLoadQueryFont(dpy, "fixed");
    ASSERT_NE(font, nullptr);
    XSetFont(dpy, gc, font->fid);
    // Several pieces long; the text is moved left so that a join falls
    // inside the pixmap.
    std::string text;
    for (int i = 0; i < 3000; ++i) text += char('a' + i % 26);
    int x = 10 - XTextWidth(font, text.data(), 1000);
    XDrawString(dpy, expected, gc, x, 20, text.data(), int(text.size()));
    drawTextClipped(dpy, actual, gc, font, x, 20, text.data(), int(text.size()),
                    XRectangle{0, 0, kWidth, kHeight});
    EXPECT_GT(paintedPixels(), 0);
    EXPECT_EQ(differences(), 0);
    XFreeFont(dpy, font);
}

}  // namespace
