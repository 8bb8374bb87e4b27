// Drawing requests whose size comes from program data (texts, point
// lists) kept within the server's maximum request length, however long
// the data: texts are sent in pieces and only where they can be seen,
// polylines in runs, and polygons too large for one request are filled
// span by span.
#pragma once
#include <X11/Xlib.h>

#include <vector>

// Draws one line of text with its left end at x and its baseline at y,
// leaving out what lies outside the clip rectangle.
void drawTextClipped(Display* dpy, Drawable d, GC gc, XFontStruct* font, int x, int y, const char* text,
                     int length, const XRectangle& clip);

// XDrawLines over any number of points.
void drawLinesBounded(Display* dpy, Drawable d, GC gc, const XPoint* points, int count);

// XFillPolygon (even-odd rule) over any number of points; rows outside the
// clip rectangle are not filled.
void fillPolygonBounded(Display* dpy, Drawable d, GC gc, const XPoint* points, int count, int shape,
                        const XRectangle& clip);

// The spans of the even-odd fill of a polygon between rows top and bottom
// (exclusive), as rectangles one row high, the pixels the server's own
// polygon fill would paint.
std::vector<XRectangle> polygonSpans(const XPoint* points, int count, int top, int bottom);

// Most points one polyline or polygon request can carry on this display.
int maxPointsPerRequest(Display* dpy);
