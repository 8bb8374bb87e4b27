// Drawing requests built from program data, kept within the server's
// maximum request length. Xlib sends one request per call and does not
// split texts or point lists; a request longer than the server takes ends
// the connection, and with it the player. Nothing here knows about
// objects: draw.cpp hands over texts, points and the clip rectangle.
#include "present/boundedrequests.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace {

// The protocol guarantees servers accept requests of 4096 bytes; a piece
// of this many characters (four text items of 254) fits in one of them.
constexpr int kTextPiece = 1016;
// Request header words of the longest of our requests, with room for the
// length word a big request adds.
constexpr long kHeaderWords = 8;

long maxRequestWords(Display* dpy) {
    long extended = XExtendedMaxRequestSize(dpy);
    return extended > 0 ? extended : XMaxRequestSize(dpy);
}

bool overlaps(int from, int to, int clipFrom, int clipTo) { return from < clipTo && to > clipFrom; }

struct Edge {
    double top, bottom;  // rows the edge spans, top < bottom
    double x, slope;     // x at top, and its change per row
};

std::vector<Edge> edgesOf(const XPoint* points, int count) {
    std::vector<Edge> edges;
    for (int i = 0; i < count; ++i) {
        XPoint a = points[i], b = points[(i + 1) % count];
        if (a.y == b.y) continue;
        if (a.y > b.y) std::swap(a, b);
        double slope = double(b.x - a.x) / double(b.y - a.y);
        edges.push_back({double(a.y), double(b.y), double(a.x), slope});
    }
    std::sort(edges.begin(), edges.end(), [](const Edge& l, const Edge& r) { return l.top < r.top; });
    return edges;
}

// The pixels whose centres lie in [from, to) on the row; as for the
// server, a pixel's centre has the pixel's own integer coordinates.
void addSpan(std::vector<XRectangle>& spans, int row, double from, double to) {
    long first = long(std::ceil(from)), end = long(std::ceil(to));
    first = std::max<long>(first, SHRT_MIN);
    end = std::min<long>(end, SHRT_MAX);
    if (end > first) spans.push_back({short(first), short(row), (unsigned short)(end - first), 1});
}

}  // namespace

int maxPointsPerRequest(Display* dpy) {
    return int(std::clamp<long>(maxRequestWords(dpy) - kHeaderWords, 2, INT_MAX));
}

void drawTextClipped(Display* dpy, Drawable d, GC gc, XFontStruct* font, int x, int y, const char* text,
                     int length, const XRectangle& clip) {
    // Glyphs may reach beyond their advance by up to the widest glyph.
    int margin = std::max<int>(font->max_bounds.width, font->max_bounds.rbearing);
    int clipRight = clip.x + clip.width;
    for (int at = 0; at < length && x - margin < clipRight;) {
        int piece = std::min(kTextPiece, length - at);
        int width = XTextWidth(font, text + at, piece);
        if (overlaps(x - margin, x + width + margin, clip.x, clipRight))
            XDrawString(dpy, d, gc, x, y, text + at, piece);
        x += width;
        at += piece;
    }
}

void drawLinesBounded(Display* dpy, Drawable d, GC gc, const XPoint* points, int count) {
    int most = maxPointsPerRequest(dpy);
    // Each run starts at the point where the one before ended, so the line
    // stays unbroken.
    for (int at = 0; at < count - 1; at += most - 1) {
        int run = std::min(most, count - at);
        XDrawLines(dpy, d, gc, const_cast<XPoint*>(points + at), run, CoordModeOrigin);
    }
}

std::vector<XRectangle> polygonSpans(const XPoint* points, int count, int top, int bottom) {
    std::vector<XRectangle> spans;
    std::vector<Edge> edges = edgesOf(points, count);
    std::vector<const Edge*> active;
    std::vector<double> crossings;
    std::size_t next = 0;
    for (int row = top; row < bottom; ++row) {
        double centre = row;
        while (next < edges.size() && edges[next].top <= centre) active.push_back(&edges[next++]);
        active.erase(std::remove_if(active.begin(), active.end(), [&](const Edge* e) { return e->bottom <= centre; }),
                     active.end());
        if (active.empty()) {
            if (next == edges.size()) break;
            continue;
        }
        crossings.clear();
        for (const Edge* e : active)
            if (e->top <= centre) crossings.push_back(e->x + (centre - e->top) * e->slope);
        std::sort(crossings.begin(), crossings.end());
        for (std::size_t i = 0; i + 1 < crossings.size(); i += 2) addSpan(spans, row, crossings[i], crossings[i + 1]);
    }
    return spans;
}

void fillPolygonBounded(Display* dpy, Drawable d, GC gc, const XPoint* points, int count, int shape,
                        const XRectangle& clip) {
    if (count <= maxPointsPerRequest(dpy)) {
        XFillPolygon(dpy, d, gc, const_cast<XPoint*>(points), count, shape, CoordModeOrigin);
        return;
    }
    std::vector<XRectangle> spans = polygonSpans(points, count, clip.y, clip.y + clip.height);
    // A rectangle takes two words of a request.
    std::size_t most = std::size_t(maxPointsPerRequest(dpy)) / 2;
    for (std::size_t at = 0; at < spans.size(); at += most)
        XFillRectangles(dpy, d, gc, spans.data() + at, int(std::min(most, spans.size() - at)));
}
