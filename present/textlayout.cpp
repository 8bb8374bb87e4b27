// Text layout of textobj objects and the fonts it uses: wrapping to the
// object's box, height limits, numbers cut to their decimals, and font
// names widened field by field until the server knows one.
#include "present/textlayout.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "app/context.h"
#include "core/alloc.h"
#include "core/messages.h"
#include "core/strings.h"
#include "present/display_state.h"

namespace {

XFontStruct* defaultFontOf(UnitContext* ctx) {
    return ctx->displayState ? ctx->displayState->defaultFont : nullptr;
}

void freeLines(TextLayout* layout) {
    while (TextLine* line = layout->lines) {
        unlinkFrom(layout->lines, line);
        TamFree(line->text);
        TamFree(line);
    }
    layout->nlines = 0;
    layout->width = 0;
}

int lineHeightOf(XFontStruct* font) { return font ? font->ascent + font->descent : 0; }

// Stores a line without a trailing carriage return or newline.
void storeLine(UnitContext* ctx, TextLayout* layout, const char* text, int length) {
    while (length > 0 && (text[length - 1] == '\n' || text[length - 1] == '\r')) --length;
    newTextLine(ctx, layout, text, length);
}

TextLayout* layoutFor(UnitContext* ctx, Attrib* attr) {
    if (!attr->shown.text) attr->shown.text = newTxtNode(ctx);
    return attr->shown.text;
}

// The XLFD fields of a name, field 1 (foundry) first; empty when the name
// is not in that form.
std::vector<std::string> xlfdFields(const std::string& name) {
    std::vector<std::string> fields;
    if (name.empty() || name[0] != '-') return fields;
    size_t start = 1;
    for (;;) {
        size_t dash = name.find('-', start);
        fields.push_back(name.substr(start, dash == std::string::npos ? dash : dash - start));
        if (dash == std::string::npos) break;
        start = dash + 1;
    }
    return fields;
}

std::string joinFields(const std::vector<std::string>& fields) {
    std::string name;
    for (const auto& f : fields) name += "-" + f;
    return name;
}

char* firstMatch(Display* dpy, const std::string& pattern) {
    int count = 0;
    char** names = XListFonts(dpy, pattern.c_str(), 1, &count);
    if (!names) return nullptr;
    char* copy = count > 0 ? safestrdup(names[0]) : nullptr;
    XFreeFontNames(names);
    return copy;
}

XFontStruct* loadNamedFont(UnitContext* ctx, const char* name) {
    char* actual = actualFontname(ctx, name);
    if (!actual) return nullptr;
    XFontStruct* font = XLoadQueryFont(ctx->display, actual);
    TamFree(actual);
    return font;
}

}  // namespace

TextLayout* newTxtNode(UnitContext* ctx) {
    auto* layout = mustNew<TextLayout>(ctx);
    new (layout) TextLayout();
    layout->font = defaultFontOf(ctx);
    return layout;
}

void newTextLine(UnitContext* ctx, TextLayout* layout, const char* text, int length) {
    auto* line = mustNew<TextLine>(ctx);
    new (line) TextLine();
    line->text = static_cast<char*>(mustAlloc(ctx, size_t(length) + 1));
    std::memcpy(line->text, text, size_t(length));
    line->text[length] = 0;
    line->length = length;
    appendTo(layout->lines, line);
    layout->nlines++;
    layout->width = std::max(layout->width, textWidth(ctx, layout->font, text, length));
}

void killTextLayout(UnitContext* ctx, TextLayout* layout) {
    if (!layout) return;
    freeLines(layout);
    freeFont(ctx, layout);
    TamFree(layout);
}

TextLayout* textLayoutOf(GraphObj* obj) {
    if (obj->outtext && obj->outtext->shown.text) return obj->outtext->shown.text;
    if (obj->outint && obj->outint->shown.text) return obj->outint->shown.text;
    if (obj->outfloat && obj->outfloat->shown.text) return obj->outfloat->shown.text;
    return nullptr;
}

void tScanText(UnitContext* ctx, Attrib* attr, int width, int height) {
    TextLayout* layout = layoutFor(ctx, attr);
    freeLines(layout);
    const char* text = attr->value.t ? attr->value.t : "";
    int lineHeight = lineHeightOf(layout->font);
    int start = 0, lastSpace = -1, lineWidth = 0, total = 0;
    for (int i = 0;; ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        bool end = c == 0;
        if (!end && c != '\n') {
            int cw = tamCharWidth(ctx, layout->font, c);
            if (width > 0 && lineWidth + cw > width && i > start) {
                int cut = lastSpace >= start ? lastSpace : i;
                storeLine(ctx, layout, text + start, cut - start);
                total += lineHeight;
                if (height > 0 && total > height) return;
                start = lastSpace >= start ? lastSpace + 1 : i;
                lastSpace = -1;
                lineWidth = textWidth(ctx, layout->font, text + start, i - start);
            }
            if (c == ' ') lastSpace = i;
            lineWidth += cw;
            continue;
        }
        if (end && i == start && layout->nlines > 0) break;
        storeLine(ctx, layout, text + start, i - start);
        total += lineHeight;
        if (end || (height > 0 && total > height)) break;
        start = i + 1;
        lastSpace = -1;
        lineWidth = 0;
    }
}

void tScanInt(UnitContext* ctx, Attrib* attr, int length) {
    TextLayout* layout = layoutFor(ctx, attr);
    freeLines(layout);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%ld", long(attr->value.i));
    int n = std::min<int>(int(std::strlen(buf)), length > 0 ? length : 16);
    newTextLine(ctx, layout, buf, n);
}

void tScanFlt(UnitContext* ctx, Attrib* attr, int length) {
    TextLayout* layout = layoutFor(ctx, attr);
    freeLines(layout);
    std::string buf = formatMsg("%f", attr->value.f);
    int n = length > 0 ? length : 16;
    const char* point = std::strchr(buf.c_str(), '.');
    if (point && point - buf.c_str() < n) ++n;
    n = std::min<int>(n, int(buf.size()));
    newTextLine(ctx, layout, buf.c_str(), n);
}

void recalcText(UnitContext* ctx, GraphObj* obj) {
    int decimals = obj->decimals ? obj->decimals->value.i : 0;
    if (obj->outtext) {
        int width = 0, height = 0;
        const std::int32_t* c = obj->points ? obj->points->shown.coords : nullptr;
        if (c && obj->npoints >= 2) {
            width = std::abs(c[2] - c[0]);
            height = std::abs(c[3] - c[1]);
        }
        tScanText(ctx, obj->outtext, width, height);
    } else if (obj->outint) {
        tScanInt(ctx, obj->outint, decimals);
    } else if (obj->outfloat) {
        tScanFlt(ctx, obj->outfloat, decimals);
    }
}

void getFont(UnitContext* ctx, Attrib* fontAttr) {
    auto* obj = static_cast<GraphObj*>(fontAttr->parent);
    Attrib* textAttr = obj->outtext ? obj->outtext : obj->outint ? obj->outint : obj->outfloat;
    if (!textAttr) return;
    TextLayout* layout = layoutFor(ctx, textAttr);
    fontAttr->shown.text = layout;
    freeFont(ctx, layout);
    const char* name = fontAttr->value.t;
    if (!name || !name[0]) return;
    if (!getFInfo(ctx, layout, name)) {
        errorMsg(ctx, MSG_WARNING,
                 formatMsg("Warning: Could not load font: %s. Using default font\n", name).c_str());
    }
}

char* actualFontname(UnitContext* ctx, const char* requested) {
    if (!ctx->display || !requested) return nullptr;
    std::string name(requested, std::min<size_t>(std::strlen(requested), 200));
    if (char* found = firstMatch(ctx->display, name)) return found;
    std::vector<std::string> fields = xlfdFields(name);
    if (fields.empty()) return nullptr;
    static const int kOrder[][2] = {{1, 0},  {3, 0},  {2, 0},  {4, 0},  {13, 14}, {12, 0},
                                    {11, 0}, {5, 0},  {10, 0}, {9, 0},  {8, 0}};
    for (const auto& step : kOrder) {
        for (int field : step)
            if (field > 0 && size_t(field) <= fields.size()) fields[field - 1].assign(1, '*');
        if (char* found = firstMatch(ctx->display, joinFields(fields))) return found;
    }
    return nullptr;
}

int getFInfo(UnitContext* ctx, TextLayout* layout, const char* name) {
    XFontStruct* font = loadNamedFont(ctx, name);
    if (!font) return 0;
    freeFont(ctx, layout);
    layout->font = font;
    layout->sharedFont = 0;
    return 1;
}

void getDefFInfo(UnitContext* ctx, TextLayout* layout) {
    layout->font = defaultFontOf(ctx);
    layout->sharedFont = 1;
}

void freeFont(UnitContext* ctx, TextLayout* layout) {
    if (!layout) return;
    if (!layout->sharedFont && layout->font && ctx->display) XFreeFont(ctx->display, layout->font);
    getDefFInfo(ctx, layout);
}

int tamCharWidth(UnitContext*, XFontStruct* font, unsigned char c) {
    if (!font) return 0;
    if (font->per_char && c >= font->min_char_or_byte2 && c <= font->max_char_or_byte2)
        return font->per_char[c - font->min_char_or_byte2].width;
    return font->max_bounds.width;
}

int textWidth(UnitContext*, XFontStruct* font, const char* text, int length) {
    return font && length > 0 ? XTextWidth(font, text, length) : 0;
}

bool fextents(UnitContext* ctx, const char* text, const char* fontName, int* ascent,
              int* descent, int* width) {
    *ascent = *descent = *width = 0;
    XFontStruct* font = fontName && fontName[0] ? loadNamedFont(ctx, fontName) : nullptr;
    bool loaded = font != nullptr;
    if (!font) font = defaultFontOf(ctx);
    if (!font) return false;
    std::string s = text && text[0] ? text : "x";
    int newlines = 0, fontAscent = font->ascent, fontDescent = font->descent;
    size_t start = 0;
    for (;;) {
        size_t nl = s.find('\n', start);
        size_t len = (nl == std::string::npos ? s.size() : nl) - start;
        if (len) *width = std::max(*width, XTextWidth(font, s.c_str() + start, int(len)));
        if (nl == std::string::npos) break;
        ++newlines;
        start = nl + 1;
    }
    *ascent = fontAscent;
    *descent = fontDescent + newlines * (fontAscent + fontDescent);
    if (loaded) XFreeFont(ctx->display, font);
    return loaded;
}
