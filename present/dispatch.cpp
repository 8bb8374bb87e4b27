// Offering queued input events to input areas and running the statements
// of the translation that fits. Areas are searched from the front level
// back; an area inside a window sees the event relative to the window.
//
// The statements a translation runs are a program's own code: they may
// create and kill objects, change levels or call input again. So the
// search never runs statements while it walks the level lists: it finds
// the first area that fits, runs that area's translation, and after a
// transparent one searches again from the front, passing over the areas
// already offered the event. The event being dispatched is off the queue
// meanwhile, so a nested input or flushInput cannot free it.
#include <unordered_set>

#include "app/context.h"
#include "core/alloc.h"
#include "core/lists.h"
#include "interp/simulate.h"
#include "present/draw.h"
#include "present/events.h"

namespace {

struct Fit {
    translation* trans = nullptr;
    const event* pattern = nullptr;
};

bool patternFits(const event* pattern, const event* ev) {
    if (pattern->kind != ev->kind) return false;
    if (pattern->keycode != 0) {
        if (pattern->keycode != ev->keycode) return false;
    } else if (pattern->detail != 0 && pattern->detail != ev->detail) {
        return false;
    }
    return (ev->mask & pattern->mask) == pattern->mask;
}

bool areaIsActive(const InpObj* area) { return !area->active || area->active->shown.i != 0; }

bool areaIsHit(const event* ev, const InpObj* area) {
    return ev->kind == EV_RESIZE || PointInRegion(area->region, ev->x, ev->y);
}

// The first translation of the area with a pattern that fits, and that
// pattern.
Fit findFit(const event* ev, const InpObj* area) {
    if (!areaIsActive(area) || !areaIsHit(ev, area) || !area->translation) return {};
    for (translation* trans = area->translation->expr.trans; trans; trans = nextOf(trans))
        for (event* pattern = trans->events; pattern; pattern = nextOf(pattern))
            if (patternFits(pattern, ev)) return {trans, pattern};
    return {};
}

void runActions(UnitContext* ctx, LearnUnit* unit, simaction* actions, event* ev) {
    event* outer = unit->currentEvent;
    unit->currentEvent = ev;
    simulate(ctx, actions);
    unit->currentEvent = outer;
}

bool insideWindow(const WinObj* win, int x, int y) {
    return x >= win->bbox[0] && x < win->bbox[0] + win->bbox[2] && y >= win->bbox[1] &&
           y < win->bbox[1] + win->bbox[3];
}

LevNode* frontLevel(LevNode* levels) { return levels ? static_cast<LevNode*>(last(levels)) : nullptr; }

struct Hit {
    InpObj* area = nullptr;
    int x = 0, y = 0;  // event position relative to the area's window
};

// Walks the levels from the front back: on each level its areas, then the
// windows under the point with their own levels. A window-resize event
// has no position and reaches the areas of every window.
template <class Accept>
bool findArea(LevNode* levels, const event* ev, int x, int y, Accept& accept, Hit& hit) {
    for (LevNode* node = frontLevel(levels); node; node = prevOf(node)) {
        for (InpObj* area = node->inputs; area; area = nextOf(area)) {
            if (accept(area, x, y)) {
                hit = {area, x, y};
                return true;
            }
        }
        for (WinObj* win = node->windows; win; win = nextOf(win)) {
            if (ev->kind != EV_RESIZE && !insideWindow(win, x, y)) continue;
            if (findArea(win->levels, ev, x - win->bbox[0], y - win->bbox[1], accept, hit)) return true;
        }
    }
    return false;
}

void offerEvent(UnitContext* ctx, LearnUnit* unit, event* ev) {
    const int x = ev->x, y = ev->y;
    std::unordered_set<const InpObj*> offered;
    auto fitsUnoffered = [&](InpObj* area, int areaX, int areaY) {
        if (!offered.insert(area).second) return false;
        ev->x = areaX;
        ev->y = areaY;
        bool fits = findFit(ev, area).trans != nullptr;
        ev->x = x;
        ev->y = y;
        return fits;
    };
    Hit hit;
    while (!halted(ctx) && findArea(unit->levels, ev, x, y, fitsUnoffered, hit)) {
        ev->x = hit.x;
        ev->y = hit.y;
        int consumed = match_event(ctx, ev, hit.area);
        ev->x = x;
        ev->y = y;
        if (consumed) return;
    }
}

}  // namespace

translation* matchingTranslation(const event* ev, const InpObj* area) { return findFit(ev, area).trans; }

int match_event(UnitContext* ctx, event* ev, InpObj* area) {
    LearnUnit* unit = ctx->learnUnit;
    Fit fit = findFit(ev, area);
    if (!unit || !fit.trans) return 0;
    bool transparent = fit.pattern->transparent != 0;
    runActions(ctx, unit, fit.trans->actions, ev);
    return transparent ? 0 : 1;
}

void dispatchEvents(UnitContext* ctx) {
    LearnUnit* unit = ctx->learnUnit;
    if (!unit) return;
    while (event* ev = takeEvent(unit)) {
        offerEvent(ctx, unit, ev);
        TamFree(ev);
    }
    markEventsSeen(unit);
}
