// Recomputation of changed attributes: each waiting attribute is evaluated
// again; an unchanged value costs nothing more, a changed one updates the
// shown value and raises its object's update status so that the next
// refresh redraws exactly what changed.
#include <cstring>

#include "app/context.h"
#include "core/alloc.h"
#include "core/messages.h"
#include "interp/eval.h"
#include "present/draw.h"
#include "present/hooks.h"
#include "present/learnunit.h"
#include "present/palette.h"
#include "present/image.h"
#include "present/picture.h"
#include "present/textlayout.h"
#include "present/update.h"

namespace {

// Status pairs: the first value without savebackground, the second with.
enum StatusPair { LOOK = 1, GEOMETRY = 3, TEXT = 5 };

int savesBackground(Attrib* sb) { return sb ? sb->value.i : 1; }

void raiseTo(int& status, int pairBase, int saveBackground) {
    int wanted = pairBase + (saveBackground ? 1 : 0);
    if (wanted > status) status = wanted;
}

// An object inside a window is redrawn with its window.
void raiseForGraph(GraphObj* obj, StatusPair pair) {
    if (obj->parent) {
        raiseTo(obj->parent->updateStatus, LOOK, savesBackground(obj->parent->savebackground));
        return;
    }
    raiseTo(obj->updateStatus, pair, savesBackground(obj->savebackground));
}

void unlinkQueued(UnitContext* ctx, LearnUnit* unit, Attrib* attr) {
    if (unit->changedHead == attr) unit->changedHead = nextOf(attr);
    if (unit->changedTail == attr) unit->changedTail = prevOf(attr);
    remove_at(attr);
    bumpChangedEpoch(ctx);
}

bool isInstance(Attrib* attr) {
    return attr->parent && static_cast<ObjHeader*>(attr->parent)->isInstance;
}

// Drains the attributes of one parent kind: the call attributes stay on
// their list, queued ones are taken off the changed queue.
void drainKind(UnitContext* ctx, int kind, void (*update)(UnitContext*, Attrib*)) {
    LearnUnit* unit = ctx->learnUnit;
    if (!unit) return;
    for (Attrib* a = unit->callAttrs; a; a = nextOf(a))
        if (a->parentKind == kind && isInstance(a)) update(ctx, a);
    Attrib* a = unit->changedHead;
    while (a) {
        Attrib* next = nextOf(a);
        if (a->parentKind == kind && isInstance(a)) {
            unlinkQueued(ctx, unit, a);
            update(ctx, a);
        }
        a = next;
    }
}

// Evaluates an int attribute; attributes without an expression keep their
// stored value. True when the value is new.
bool computeInt(UnitContext* ctx, Attrib* a) {
    std::int32_t v = a->expr.expr ? calculate(ctx, a->expr.expr) : a->value.i;
    bool changed = !a->computed || v != a->value.i;
    a->value.i = v;
    a->computed = 1;
    return changed;
}

// An int attribute shown as it is computed. True when the value is new.
bool computeShownInt(UnitContext* ctx, Attrib* a) {
    bool changed = computeInt(ctx, a);
    a->shown.i = a->value.i;
    return changed;
}

bool computeFloat(UnitContext* ctx, Attrib* a) {
    double v = a->expr.expr ? f_calculate(ctx, a->expr.expr) : a->value.f;
    bool changed = !a->computed || v != a->value.f;
    a->value.f = v;
    a->computed = 1;
    return changed;
}

bool computeText(UnitContext* ctx, Attrib* a) {
    if (!a->expr.expr) {
        bool first = !a->computed;
        a->computed = 1;
        return first;
    }
    char* v = t_calc_dup(ctx, a->expr.expr);
    if (!v) v = static_cast<char*>(mustAlloc(ctx, 1));
    bool changed = !a->computed || !a->value.t || std::strcmp(v, a->value.t) != 0;
    if (changed) {
        TamFree(a->value.t);
        a->value.t = v;
    } else {
        TamFree(v);
    }
    a->computed = 1;
    return changed;
}

// The x and y expressions of a point list given through a variable.
PointPair* variablePoints(Attrib* a, int* count) {
    op* e = a->expr.expr;
    *count = 0;
    if (!e || (e->flag & 0xF0) != T_ATTR || !e->left.attr) return nullptr;
    *count = e->left.attr->count;
    return static_cast<PointPair*>(e->left.attr->points);
}

void ensureCoords(UnitContext* ctx, Attrib* a, ObjHeader* obj, int count) {
    if (a->value.coords && a->shown.coords && obj->npoints == count) return;
    TamFree(a->value.coords);
    TamFree(a->shown.coords);
    size_t bytes = sizeof(std::int32_t) * 2 * size_t(count > 0 ? count : 1);
    a->value.coords = static_cast<std::int32_t*>(mustAlloc(ctx, bytes));
    a->shown.coords = static_cast<std::int32_t*>(mustAlloc(ctx, bytes));
    std::memset(a->value.coords, 0, bytes);
    obj->npoints = count;
    a->computed = 0;
}

// Evaluates every coordinate; true when any changed.
bool computePoints(UnitContext* ctx, Attrib* a) {
    auto* obj = static_cast<ObjHeader*>(a->parent);
    int count = obj->npoints;
    PointPair* pairs = a->varFlag ? variablePoints(a, &count) : nullptr;
    ensureCoords(ctx, a, obj, count);
    bool changed = !a->computed;
    for (int i = 0; i < 2 * count; ++i) {
        op* e = pairs ? (i % 2 ? pairs[i / 2].y : pairs[i / 2].x)
                      : (a->expr.pointExprs ? a->expr.pointExprs[i] : nullptr);
        std::int32_t v = e ? calculate(ctx, e) : a->value.coords[i];
        if (v != a->value.coords[i]) changed = true;
        a->value.coords[i] = v;
    }
    if (changed) std::memcpy(a->shown.coords, a->value.coords, sizeof(std::int32_t) * 2 * size_t(count));
    a->computed = 1;
    return changed;
}

// Moves an object from its old level node to the front of the node for
// its new level; an old node left empty (not level 0) is freed.
template <class T>
void moveToLevel(UnitContext* ctx, LevNode** list, T* LevNode::*head, T* obj, Attrib* level) {
    LevNode* old = level->shown.level;
    LevNode* node = getLevNode(ctx, list, level->value.i);
    if (old == node && isLinked(obj)) return;
    if (old && isLinked(obj)) unlinkFrom(old->*head, obj);
    pushFront(node->*head, obj);
    level->shown.level = node;
    if (!node->background && nextOf(node)) node->background = nextOf(node)->background;
    if (old && old != node && old->level != 0 && !old->windows && !old->graphs && !old->inputs &&
        !old->ownsBackground) {
        if (*list == old) *list = nextOf(old);
        remove_at(old);
        killLevNode(ctx, old);
    }
}

LevNode** levelListOf(UnitContext* ctx, WinObj* parent) {
    return parent ? &parent->levels : &ctx->learnUnit->levels;
}

void updateImage(UnitContext* ctx, GraphObj* obj, Attrib* a) {
    Picture* old = a->shown.image;
    a->shown.image = holdImage(ctx, a->value.t);
    releaseObjectImage(ctx, old);
    raiseForGraph(obj, LOOK);
}

void textChanged(UnitContext* ctx, GraphObj* obj) {
    raiseForGraph(obj, TEXT);
    if (obj->parent) recalcText(ctx, obj);
}

void reportUnknown(UnitContext* ctx, int id) {
    errorMsg(ctx, MSG_WARNING, formatMsg("Internal error: Unknown attribute (%d).\n", id).c_str());
}

}  // namespace

void raiseGraphStatus(GraphObj* obj, int status) {
    if (status > obj->updateStatus) obj->updateStatus = status;
}

void raiseWinStatus(WinObj* win, int status) {
    if (status > win->updateStatus) win->updateStatus = status;
}

void updateGraphAttr(UnitContext* ctx, Attrib* a) {
    auto* obj = static_cast<GraphObj*>(a->parent);
    switch (a->id) {
    case S_COLOR:
        if (computeInt(ctx, a)) {
            a->shown.i = std::int32_t(colorOfRGB(ctx, a->value.i));
            raiseForGraph(obj, LOOK);
        }
        break;
    case S_DASHES:
    case S_TEXTURE:
        if (computeShownInt(ctx, a)) raiseForGraph(obj, LOOK);
        break;
    case S_DECIMALS:
        // The decimals decide the text shown, so the text is laid out again.
        if (computeShownInt(ctx, a)) textChanged(ctx, obj);
        break;
    case S_IMAGE:
        if (computeText(ctx, a)) updateImage(ctx, obj, a);
        break;
    case S_LEVEL:
        if (computeInt(ctx, a) || !isLinked(obj)) {
            moveToLevel(ctx, levelListOf(ctx, obj->parent), &LevNode::graphs, obj, a);
            raiseForGraph(obj, LOOK);
        }
        break;
    case S_ACTIVE:
    case S_FILL:
    case S_LINEWIDTH:
    case S_STARTANGLE:
    case S_ENDANGLE:
        if (computeShownInt(ctx, a)) raiseForGraph(obj, GEOMETRY);
        break;
    case S_POINTS:
        if (computePoints(ctx, a)) raiseForGraph(obj, GEOMETRY);
        break;
    case S_FONT:
        if (computeText(ctx, a)) {
            getFont(ctx, a);
            textChanged(ctx, obj);
        }
        break;
    case S_OUTTEXT:
        if (computeText(ctx, a)) textChanged(ctx, obj);
        break;
    case S_OUTINT:
        if (computeInt(ctx, a)) textChanged(ctx, obj);
        break;
    case S_OUTFLOAT:
        if (computeFloat(ctx, a)) textChanged(ctx, obj);
        break;
    case S_SAVEBACKGROUND:
        computeShownInt(ctx, a);
        break;
    default:
        reportUnknown(ctx, a->id);
    }
}

void updateWinAttr(UnitContext* ctx, Attrib* a) {
    auto* win = static_cast<WinObj*>(a->parent);
    int sb = savesBackground(win->savebackground);
    switch (a->id) {
    case S_POINTS:
        if (computePoints(ctx, a)) raiseTo(win->updateStatus, GEOMETRY, sb);
        break;
    case S_ACTIVE:
        if (computeShownInt(ctx, a)) raiseTo(win->updateStatus, GEOMETRY, sb);
        break;
    case S_LEVEL:
        if (computeInt(ctx, a) || !isLinked(win)) {
            moveToLevel(ctx, &ctx->learnUnit->levels, &LevNode::windows, win, a);
            raiseTo(win->updateStatus, LOOK, sb);
        }
        break;
    case S_SAVEBACKGROUND:
        computeShownInt(ctx, a);
        break;
    default:
        reportUnknown(ctx, a->id);
    }
}

void UpdateInpAttr(UnitContext* ctx, Attrib* a) {
    auto* inp = static_cast<InpObj*>(a->parent);
    switch (a->id) {
    case S_POINTS:
        if (computePoints(ctx, a)) {
            DestroyRegion(inp->region);
            const std::int32_t* c = a->shown.coords;
            inp->region = inp->npoints == 2 ? BoxRegion(c[0], c[1], c[2], c[3])
                                            : PolygonRegion(c, inp->npoints);
        }
        break;
    case S_LEVEL:
        if (computeInt(ctx, a) || !isLinked(inp))
            moveToLevel(ctx, levelListOf(ctx, inp->parent), &LevNode::inputs, inp, a);
        break;
    case S_ACTIVE:
        computeShownInt(ctx, a);
        break;
    case S_TRANSLATION:
        a->computed = 1;
        break;
    default:
        reportUnknown(ctx, a->id);
    }
}

void updateWins(UnitContext* ctx) { drainKind(ctx, PK_WINDOW, updateWinAttr); }
void updateGraphs(UnitContext* ctx) { drainKind(ctx, PK_GRAPHIC, updateGraphAttr); }
void UpdateInps(UnitContext* ctx) { drainKind(ctx, PK_INPUT, UpdateInpAttr); }
