// The learn-unit stack (one unit per loaded program, the top one current)
// and level lists: nodes kept in ascending level order, each holding the
// windows, graphic objects and input areas that stand on its level.
#include "present/learnunit.h"

#include "app/context.h"
#include "core/alloc.h"
#include "core/arena.h"
#include "core/messages.h"
#include "net/url.h"
#include "present/display_state.h"
#include "present/draw.h"
#include "present/hooks.h"
#include "present/objmodel.h"
#include "present/picture.h"
#include "present/update.h"

namespace {

constexpr int kDefaultColor = 0x888888;

// The window goes on showing the picture of the last program that ended
// with none beneath it, so its screen image stays for the repaints. A
// program that never showed its picture (one that did not parse, say)
// leaves the window as it was.
void keepLastScreen(UnitContext* ctx, LearnUnit* unit) {
    DisplayState* ds = ctx->displayState;
    if (!ds || !unit->pictureShown) return killImage(ctx, unit->screen);
    killImage(ctx, ds->lastScreen);
    ds->lastScreen = unit->screen;
}

}  // namespace

LearnUnit* newLearnUnit(UnitContext* ctx, int width, int height, int background) {
    auto* unit = mustNew<LearnUnit>(ctx);
    unit->blockKind = BLOCK_ROOT;
    unit->defaultColor = kDefaultColor;
    getLevNode(ctx, &unit->levels, 0);
    pushFront(ctx->learnUnit, unit);
    if (!ctx->parseOnly) {
        unit->background = blankImage(ctx, width, height, background);
        unit->screen = blankImage(ctx, width, height, background);
    }
    resetUpdatePool(ctx);
    return unit;
}

// Objects go first (through freesim): they take themselves off the level
// nodes, which must still exist then.
void killLearnUnit(UnitContext* ctx) {
    LearnUnit* unit = ctx->learnUnit;
    if (!unit) return;
    endUnitTransfers(unit);
    freesim(ctx, unit);
    killLevelList(ctx, unit->levels);
    freeUnitImages(ctx, unit);
    f_events(ctx, unit->eventHead);
    killImage(ctx, unit->background);
    if (nextOf(unit))
        killImage(ctx, unit->screen);
    else
        keepLastScreen(ctx, unit);
    unlinkFrom(ctx->learnUnit, unit);
    TamFree(unit->url);
    delete unit->records;
    TamFree(unit);

    LearnUnit* beneath = ctx->learnUnit;
    if (beneath && beneath->screen) resizeMainWin(ctx, beneath->screen->width, beneath->screen->height);
}

LevNode* newLevNode(UnitContext* ctx, int level) {
    auto* node = mustNew<LevNode>(ctx);
    node->level = level;
    return node;
}

// A node inserted in front of an existing one shares that node's frozen
// background without owning it, so that it is drawn over the same picture.
LevNode* getLevNode(UnitContext* ctx, LevNode** list, int level) {
    if (!*list) {
        LevNode* node = newLevNode(ctx, level);
        init_list(node);
        *list = node;
        return node;
    }
    for (LevNode* node = *list;; node = nextOf(node)) {
        if (node->level == level) return node;
        if (node->level > level) {
            LevNode* fresh = newLevNode(ctx, level);
            fresh->background = node->background;
            place_prev(node, fresh);
            if (node == *list) *list = fresh;
            return fresh;
        }
        if (!nextOf(node)) {
            LevNode* fresh = newLevNode(ctx, level);
            place_next(node, fresh);
            return fresh;
        }
    }
}

LevNode* findLevNode(LevNode* list, int level) {
    for (LevNode* node = list; node; node = nextOf(node))
        if (node->level == level) return node;
    return nullptr;
}

void killLevNode(UnitContext* ctx, LevNode* node) {
    if (node->ownsBackground) killImage(ctx, node->background);
    for (WinObj* win = node->windows; win; win = nextOf(win)) killLevelList(ctx, win->levels);
    TamFree(node);
}

void killLevelList(UnitContext* ctx, LevNode*& list) {
    while (LevNode* node = list) {
        list = nextOf(node);
        remove_at(node);
        killLevNode(ctx, node);
    }
}
