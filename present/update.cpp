// Bounding boxes, the two-pass refresh over damage rectangles, and the
// freezing of static objects into the background picture.
//
// The refresh erases the old boxes of changed objects, then redraws in
// level order: a changed object over its new box, an unchanged one only
// where a damage rectangle meets it whose key says the damage lies behind
// it (erasures, negative keys, always do). Only the union of the damage is
// copied to the window.
#include "present/update.h"

#include <algorithm>
#include <climits>
#include <vector>

#include "app/context.h"
#include "core/alloc.h"
#include "core/messages.h"
#include "present/display_state.h"
#include "present/draw.h"
#include "present/picture.h"
#include "present/textlayout.h"

namespace {

int attrInt(const Attrib* a, int fallback) { return a ? a->value.i : fallback; }

Rect normalised(Rect r) {
    if (r.width < 0) {
        r.x += r.width;
        r.width = -r.width;
    }
    if (r.height < 0) {
        r.y += r.height;
        r.height = -r.height;
    }
    return r;
}

Rect boxOf(const ObjHeader* obj) { return {obj->bbox[0], obj->bbox[1], obj->bbox[2], obj->bbox[3]}; }

void setBox(ObjHeader* obj, long long left, long long top, long long right, long long bottom) {
    auto clampInt = [](long long v) { return int(std::clamp<long long>(v, INT_MIN / 4, INT_MAX / 4)); };
    obj->bbox[0] = clampInt(left);
    obj->bbox[1] = clampInt(top);
    obj->bbox[2] = clampInt(right - left);
    obj->bbox[3] = clampInt(bottom - top);
}

struct Extent {
    long long minX = LLONG_MAX, minY = LLONG_MAX, maxX = LLONG_MIN, maxY = LLONG_MIN;
    void add(long long x, long long y) {
        minX = std::min(minX, x);
        minY = std::min(minY, y);
        maxX = std::max(maxX, x);
        maxY = std::max(maxY, y);
    }
};

// Box routines per kind; coords holds the object's current points.
using BoxRoutine = void (*)(UnitContext*, GraphObj*, std::int32_t*, int m);

void boxOfCorners(UnitContext*, GraphObj* obj, std::int32_t* c, int m) {
    int n = obj->npoints;
    Extent e;
    e.add(c[0], c[1]);
    if (n > 1) e.add(c[2], c[3]);
    setBox(obj, e.minX - m, e.minY - m, e.maxX + m, e.maxY + m);
}

void boxOfAllPoints(UnitContext*, GraphObj* obj, std::int32_t* c, int m) {
    Extent e;
    for (int i = 0; i < obj->npoints; ++i) e.add(c[2 * i], c[2 * i + 1]);
    setBox(obj, e.minX - m, e.minY - m, e.maxX + m, e.maxY + m);
}

void boxOfImage(UnitContext* ctx, GraphObj* obj, std::int32_t* c, int) {
    Picture* pic = obj->image && obj->image->shown.image ? obj->image->shown.image
                                                         : defaultPicture(ctx);
    int pw = pic ? pic->width : kDefPicWidth, ph = pic ? pic->height : kDefPicHeight;
    if (obj->npoints < 2) {
        setBox(obj, c[0], c[1], (long long)c[0] + pw, (long long)c[1] + ph);
        return;
    }
    if (c[2] == c[0]) c[2] = c[0] + pw;
    if (c[3] == c[1]) c[3] = c[1] + ph;
    Extent e;
    e.add(c[0], c[1]);
    e.add(c[2], c[3]);
    setBox(obj, e.minX, e.minY, e.maxX, e.maxY);
}

void boxOfText(UnitContext* ctx, GraphObj* obj, std::int32_t* c, int) {
    TextLayout* layout = textLayoutOf(obj);
    XFontStruct* font = layout && layout->font ? layout->font
                        : ctx->displayState ? ctx->displayState->defaultFont : nullptr;
    int ascent = font ? font->ascent : 0, descent = font ? font->descent : 0;
    int bearing = font ? font->min_bounds.lbearing : 0;
    long long left = (long long)c[0] + bearing;
    long long right = left + (layout ? layout->width : 0) + ascent + descent;
    long long bottom = (long long)c[1] + (long long)(ascent + descent) * (layout ? layout->nlines : 0);
    setBox(obj, left, (long long)c[1] - 3, right, bottom);
}

BoxRoutine boxRoutineFor(int kind) {
    switch (kind) {
    case K_BOX:
    case K_ARC: return boxOfCorners;
    case K_LINE:
    case K_POINT:
    case K_POLYGON: return boxOfAllPoints;
    case K_IMAGE: return boxOfImage;
    case K_TEXTOBJ: return boxOfText;
    default: return nullptr;
    }
}

// The damage list: rectangles live in the context's pool, addressed by
// index so that growing the pool never invalidates the list. Erasures
// (negative keys) go in front, later ones first.
struct Damage {
    int key;
    int index;
};

struct RefreshState {
    std::vector<Damage> erased;  // in insertion order; walked backwards
    std::vector<Damage> drawn;
    int nextErase = -1;
    int nextDraw = 0;
    Rect update;
};

int poolRect(UnitContext* ctx, Rect r) {
    if (ctx->updateUsed >= ctx->updateCapacity || !ctx->updateRects) {
        int capacity = ctx->updateCapacity > 0 ? ctx->updateCapacity * 2 : kUpdatePoolStart;
        void* grown = TamRealloc(ctx->updateRects, sizeof(UpdateRect) * size_t(capacity));
        if (!grown) outOfMemory(ctx);
        ctx->updateRects = static_cast<UpdateRect*>(grown);
        ctx->updateCapacity = capacity;
    }
    ctx->updateRects[ctx->updateUsed] = {r.x, r.y, r.width, r.height};
    return ctx->updateUsed++;
}

Rect pooled(UnitContext* ctx, int index) {
    const UpdateRect& u = ctx->updateRects[index];
    return {u.x, u.y, u.width, u.height};
}

void unionInto(Rect& area, Rect r) {
    int x2 = std::max(area.x + area.width, r.x + r.width);
    int y2 = std::max(area.y + area.height, r.y + r.height);
    area.x = std::min(area.x, r.x);
    area.y = std::min(area.y, r.y);
    area.width = x2 - area.x;
    area.height = y2 - area.y;
}

void addDamage(UnitContext* ctx, RefreshState& st, int key, Rect r) {
    r = isectRects(normalised(r), screenRect(ctx));
    if (r.width <= 0 || r.height <= 0) return;
    Damage d{key, poolRect(ctx, r)};
    (key < 0 ? st.erased : st.drawn).push_back(d);
    unionInto(st.update, r);
}

// Generic access to windows and top-level graphic objects for the passes.
struct Item {
    ObjHeader* obj;
    WinObj* win;
    GraphObj* graph;
};

bool activeItem(const Item& it) {
    return attrInt(it.win ? it.win->active : it.graph->active, 1) != 0;
}

void computeBox(UnitContext* ctx, const Item& it) {
    if (it.win) getWinBB(ctx, it.win);
    else getGraphBB(ctx, it.graph);
}

void drawItem(UnitContext* ctx, const Item& it, Rect clip) {
    if (clip.width <= 0 || clip.height <= 0) return;
    if (it.win) drawWin(ctx, it.win, nullptr, clip.x, clip.y, clip.width, clip.height);
    else drawGraph(ctx, it.graph, nullptr, clip.x, clip.y, clip.width, clip.height, 0, 0);
}

bool addsDamage(int status) { return status == 1 || status >= 3; }

void firstPass(UnitContext* ctx, RefreshState& st, const Item& it) {
    ObjHeader* obj = it.obj;
    int status = obj->updateStatus;
    if (obj->staticFlag == 2 || status == 0) return;
    if ((status == 2 || status == 4 || status == 6) && obj->flag2) {
        // The old box is copied back from the background once the pass
        // has found all of them (eraseOldBoxes); nothing draws before.
        addDamage(ctx, st, st.nextErase--, boxOf(obj));
    }
    if (status >= 3) {
        if (status >= 5 && it.graph) recalcText(ctx, it.graph);
        computeBox(ctx, it);
        obj->flag2 = activeItem(it) && rectsMeet(normalised(boxOf(obj)), screenRect(ctx));
    } else if (status == 1 && !obj->flag2) {
        // A look change of an object never drawn yet: it still needs a box.
        computeBox(ctx, it);
        obj->flag2 = activeItem(it) && rectsMeet(normalised(boxOf(obj)), screenRect(ctx));
    }
    if (obj->flag2 && addsDamage(status)) addDamage(ctx, st, st.nextDraw++, boxOf(obj));
}

void eraseOldBoxes(UnitContext* ctx, const RefreshState& st) {
    if (st.erased.empty()) return;
    std::vector<XRectangle> areas;
    areas.reserve(st.erased.size());
    for (const Damage& d : st.erased) {
        Rect r = pooled(ctx, d.index);
        areas.push_back({short(r.x), short(r.y), (unsigned short)r.width, (unsigned short)r.height});
    }
    copyStatRects(ctx, ctx->learnUnit->background, areas);
}

void redrawUnchanged(UnitContext* ctx, const RefreshState& st, const Item& it, int counter) {
    Rect box = normalised(boxOf(it.obj));
    auto visit = [&](const Damage& d) {
        if (d.key > counter) return;
        Rect r = pooled(ctx, d.index);
        if (rectsMeet(r, box)) drawItem(ctx, it, isectRects(r, box));
    };
    for (auto d = st.erased.rbegin(); d != st.erased.rend(); ++d) visit(*d);
    for (const Damage& d : st.drawn) visit(d);
}

void secondPass(UnitContext* ctx, const RefreshState& st, const Item& it, int& counter) {
    ObjHeader* obj = it.obj;
    if (obj->staticFlag == 2) return;
    int status = obj->updateStatus;
    if (status == 0) {
        if (obj->flag2) redrawUnchanged(ctx, st, it, counter);
        return;
    }
    if (obj->flag2) {
        drawItem(ctx, it, isectRects(normalised(boxOf(obj)), screenRect(ctx)));
        if (addsDamage(status)) ++counter;
    }
    obj->updateStatus = 0;
}

bool checkStatus(UnitContext* ctx, ObjHeader* obj, int limit) {
    if (obj->updateStatus >= 0 && obj->updateStatus <= limit) return true;
    errorMsg(ctx, MSG_FATAL,
             formatMsg("Internal error: Unknown object status (%d)\n", obj->updateStatus).c_str());
    return false;
}

template <class Visit>
void forEachItem(UnitContext* ctx, Visit visit) {
    for (LevNode* node = ctx->learnUnit->levels; node; node = nextOf(node)) {
        for (WinObj* win = lastOnNode(node->windows); win; win = prevOf(win))
            if (checkStatus(ctx, win, 4)) visit(Item{win, win, nullptr});
        for (GraphObj* g = lastOnNode(node->graphs); g; g = prevOf(g))
            if (checkStatus(ctx, g, 6)) visit(Item{g, nullptr, g});
    }
}

bool ready(UnitContext* ctx) {
    LearnUnit* unit = ctx->learnUnit;
    return ctx->displayState && unit && unit->screen && unit->screen->pixmap && unit->background;
}

// A function frame's freeze count; generator frames have none.
int freezeCountOf(Frame* frame) {
    if (!frame || !frame->owner || frame->owner->blockKind != BLOCK_FUNCTION) return 0;
    return static_cast<funcinst*>(frame)->freezeCount;
}

// Frozen when the owning frame, or a function frame on the way from the
// given frame up to it, has been frozen.
bool frozenFor(Frame* owner, Frame* from) {
    if (freezeCountOf(owner) > 0) return true;
    bool any = false;
    Frame* f = from;
    for (; f && f != owner; f = f->caller) any = any || freezeCountOf(f) > 0;
    return f == owner && any;
}

void freezeItem(UnitContext* ctx, LevNode* node, const Item& it) {
    ObjHeader* obj = it.obj;
    obj->staticFlag = 2;
    computeBox(ctx, it);
    Rect r = isectRects(normalised(boxOf(obj)), screenRect(ctx));
    if (it.win) drawWin(ctx, it.win, node, r.x, r.y, r.width, r.height);
    else drawGraph(ctx, it.graph, node, r.x, r.y, r.width, r.height, 0, 0);
}

void freezeNode(UnitContext* ctx, Frame* frame, LevNode* node) {
    auto visit = [&](const Item& it) {
        if (it.obj->staticFlag == 1 && frozenFor(it.obj->frame, frame)) freezeItem(ctx, node, it);
        else if (it.obj->staticFlag != 2) it.obj->updateStatus = std::max(it.obj->updateStatus, 2);
    };
    for (WinObj* win = lastOnNode(node->windows); win; win = prevOf(win)) visit(Item{win, win, nullptr});
    for (GraphObj* g = lastOnNode(node->graphs); g; g = prevOf(g)) visit(Item{g, nullptr, g});
    if (!node->background && nextOf(node)) node->background = nextOf(node)->background;
}

}  // namespace

Rect screenRect(UnitContext* ctx) {
    LearnUnit* unit = ctx->learnUnit;
    if (!unit || !unit->screen) return {};
    return {0, 0, unit->screen->width, unit->screen->height};
}

Rect isectRects(Rect a, Rect b) {
    a = normalised(a);
    b = normalised(b);
    Rect r;
    r.x = std::max(a.x, b.x);
    r.y = std::max(a.y, b.y);
    r.width = std::max(0, std::min(a.x + a.width, b.x + b.width) - r.x);
    r.height = std::max(0, std::min(a.y + a.height, b.y + b.height) - r.y);
    return r;
}

bool rectsMeet(Rect a, Rect b) {
    Rect r = isectRects(a, b);
    return r.width > 0 && r.height > 0;
}

void getWinBB(UnitContext*, WinObj* win) {
    const std::int32_t* c = win->points ? win->points->shown.coords : nullptr;
    if (!c || win->npoints < 2 || !attrInt(win->active, 1)) {
        setBox(win, c ? c[0] : 0, c ? c[1] : 0, c ? c[0] : 0, c ? c[1] : 0);
        win->bbox[2] = 0;
        return;
    }
    Extent e;
    e.add(c[0], c[1]);
    e.add(c[2], c[3]);
    setBox(win, e.minX, e.minY, e.maxX, e.maxY);
}

void getGraphBB(UnitContext* ctx, GraphObj* obj) {
    std::int32_t* c = obj->points ? obj->points->shown.coords : nullptr;
    BoxRoutine routine = boxRoutineFor(obj->kind);
    if (!routine) {
        errorMsg(ctx, MSG_WARNING, "Internal: Unknown graphic object\n");
        setBox(obj, 0, 0, 0, 0);
        return;
    }
    if (!c || obj->npoints <= 0 || !attrInt(obj->active, 1)) {
        setBox(obj, 0, 0, 0, 0);
        return;
    }
    bool filled = attrInt(obj->fill, 0) != 0;
    int m = obj->linewidth && !filled ? (std::clamp(obj->linewidth->value.i, 0, 4096) + 1) / 2 : 0;
    routine(ctx, obj, c, std::max(m, 1));
    if (WinObj* win = obj->parent) {
        int right = std::min(obj->bbox[0] + obj->bbox[2], win->bbox[2]);
        int bottom = std::min(obj->bbox[1] + obj->bbox[3], win->bbox[3]);
        obj->bbox[0] += win->bbox[0];
        obj->bbox[1] += win->bbox[1];
        obj->bbox[2] = std::max(0, right + win->bbox[0] - obj->bbox[0]);
        obj->bbox[3] = std::max(0, bottom + win->bbox[1] - obj->bbox[1]);
    }
}

void resetUpdatePool(UnitContext* ctx) {
    TamFree(ctx->updateRects);
    ctx->updateRects = static_cast<UpdateRect*>(mustAlloc(ctx, kUpdatePoolStart * sizeof(UpdateRect)));
    ctx->updateCapacity = kUpdatePoolStart;
    ctx->updateUsed = 0;
}

void exposeArea(UnitContext* ctx, Rect area) {
    DisplayState* ds = ctx->displayState;
    LearnUnit* unit = ctx->learnUnit;
    if (!ds || !unit || !unit->screen || !ctx->drawArea || !XtIsRealized(ctx->drawArea)) return;
    area = isectRects(area, screenRect(ctx));
    if (area.width <= 0 || area.height <= 0) return;
    XSetFunction(ds->display, ds->clearGC, GXcopy);
    XCopyArea(ds->display, unit->screen->pixmap, XtWindow(ctx->drawArea), ds->clearGC, area.x,
              area.y, area.width, area.height, area.x, area.y);
    ds->shownProgram = true;
    unit->pictureShown = 1;
}

void refresh(UnitContext* ctx, int wholeScreen) {
    // An attribute that calls a function can end up here again when that
    // function returns; the refresh already running covers it.
    if (!ready(ctx) || ctx->displayState->refreshing) return;
    ctx->displayState->refreshing = true;
    // Waiting attributes are recomputed first, so that a refresh after a
    // function returns shows what the function changed.
    updateWins(ctx);
    updateGraphs(ctx);
    ctx->updateUsed = 0;
    RefreshState st;
    Rect screen = screenRect(ctx);
    st.update = wholeScreen ? screen : Rect{screen.width, screen.height, -screen.width, -screen.height};
    forEachItem(ctx, [&](const Item& it) { firstPass(ctx, st, it); });
    eraseOldBoxes(ctx, st);
    int counter = 0;
    forEachItem(ctx, [&](const Item& it) { secondPass(ctx, st, it, counter); });
    if (st.update.width >= 1) exposeArea(ctx, st.update);
    ctx->displayState->refreshing = false;
}

void statobjSetup(UnitContext* ctx, Frame* frame) {
    if (!ready(ctx)) return;
    LevNode* node = ctx->learnUnit->levels;
    while (node && nextOf(node)) node = nextOf(node);
    for (; node; node = prevOf(node)) freezeNode(ctx, frame, node);
    Rect screen = screenRect(ctx);
    copyStatPic(ctx, ctx->learnUnit->background, 0, 0, screen.width, screen.height);
    exposeArea(ctx, screen);
}

void optOCleanup(UnitContext* ctx) {
    if (!ready(ctx)) return;
    LearnUnit* unit = ctx->learnUnit;
    for (LevNode* node = unit->levels; node; node = nextOf(node)) {
        auto thaw = [](ObjHeader* obj) {
            if (obj->staticFlag != 2) return;
            obj->staticFlag = 1;
            obj->updateStatus = std::max(obj->updateStatus, 4);
            obj->flag2 = 0;
        };
        for (WinObj* win = node->windows; win; win = nextOf(win)) thaw(win);
        for (GraphObj* g = node->graphs; g; g = nextOf(g)) thaw(g);
        if (node->ownsBackground) killImage(ctx, node->background);
        node->background = nullptr;
        node->ownsBackground = 0;
    }
    clearImage(ctx, unit->background->pixmap, unit->background->width, unit->background->height);
}
