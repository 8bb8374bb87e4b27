// Releasing objects and their attributes: taking instances off their level
// nodes, freeing attribute contents by id, untying attributes from the
// learn unit's queues and from the variable instances they depend on.
#include "app/context.h"
#include "core/alloc.h"
#include "core/messages.h"
#include "present/hooks.h"
#include "present/learnunit.h"
#include "present/objmodel.h"
#include "present/picture.h"
#include "present/textlayout.h"

namespace {

ObjHeader* parentOf(const Attrib* attr) {
    if (!attr->parent) return nullptr;
    switch (attr->parentKind) {
    case PK_WINDOW:
        return static_cast<WinObj*>(attr->parent);
    case PK_GRAPHIC:
        return static_cast<GraphObj*>(attr->parent);
    default:
        return static_cast<InpObj*>(attr->parent);
    }
}

void freePointInstance(UnitContext* ctx, Attrib* attr, int npoints) {
    if (attr->varFlag) {
        f_oper(ctx, attr->expr.expr);
    } else if (attr->expr.pointExprs) {
        for (int i = 0; i < 2 * npoints; ++i) f_oper(ctx, attr->expr.pointExprs[i]);
        TamFree(attr->expr.pointExprs);
    }
    TamFree(attr->value.coords);
    TamFree(attr->shown.coords);
}

void freePoints(UnitContext* ctx, Attrib* attr) {
    ObjHeader* obj = parentOf(attr);
    if (obj && obj->isInstance)
        freePointInstance(ctx, attr, obj->npoints);
    else if (attr->varFlag)
        f_oper(ctx, attr->expr.expr);
    else
        killPoints(ctx, attr->expr.points);
}

void freeTranslations(UnitContext* ctx, Attrib* attr) {
    ObjHeader* obj = parentOf(attr);
    bool instance = obj && obj->isInstance;
    if (attr->varFlag && !instance)
        f_oper(ctx, attr->expr.expr);
    else
        f_translations(ctx, attr->expr.trans, instance ? 0 : 1);
}

// Moves the head or tail of a learn-unit list off the attribute.
void moveEnds(Attrib*& head, Attrib** tail, Attrib* attr) {
    if (head == attr) head = nextOf(attr);
    if (tail && *tail == attr) *tail = prevOf(attr);
}

void unlinkFromUnit(UnitContext* ctx, Attrib* attr) {
    if (!isLinked(attr)) return;
    if (LearnUnit* unit = ctx->learnUnit) {
        moveEnds(unit->changedHead, &unit->changedTail, attr);
        moveEnds(unit->instAttrs, &unit->instAttrsTail, attr);
        moveEnds(unit->callAttrs, nullptr, attr);
    }
    remove_at(attr);
    bumpChangedEpoch(ctx);
}

void freeSources(Attrib* attr) {
    srclink* link = attr->sources;
    while (link) {
        srclink* next = nextOf(link);
        if (link->inst && link->dep) unlinkFrom(link->inst->dependents, link->dep);
        TamFree(link->dep);
        TamFree(link);
        link = next;
    }
    attr->sources = nullptr;
}

void killSlot(UnitContext* ctx, Attrib*& slot) {
    killAttrib(ctx, slot);
    slot = nullptr;
}

// Takes a linked instance off the level node it stands on; a node left
// empty is removed unless it is level 0 or holds its own background.
template <class T>
void unlinkFromLevel(UnitContext* ctx, T* obj, LevNode** list, T* LevNode::*members) {
    if (!isLinked(obj)) return;
    LevNode* node = list ? *list : nullptr;
    while (node && node->*members != obj) node = nextOf(node);
    if (!node) {
        remove_at(obj);
        return;
    }
    node->*members = nextOf(obj);
    remove_at(obj);
    bool empty = !node->windows && !node->graphs && !node->inputs && !node->ownsBackground;
    if (empty && node->level != 0) {
        // A node below level 0 stands in front of the list: its owner's
        // head must move with it.
        unlinkFrom(*list, node);
        killLevNode(ctx, node);
    }
}

LevNode** levelsAround(UnitContext* ctx, WinObj* parent) {
    if (parent) return &parent->levels;
    return ctx->learnUnit ? &ctx->learnUnit->levels : nullptr;
}

// Releases the derived resources an instance's attributes hold outside the
// attribute records.
void releaseShownImage(UnitContext* ctx, GraphObj* graph) {
    if (!graph->image || !graph->image->shown.image) return;
    if (graph->image->shown.image != defaultPicture(ctx)) releaseObjectImage(ctx, graph->image->shown.image);
    graph->image->shown.image = nullptr;
}

void killGraphList(UnitContext* ctx, GraphObj*& list) {
    while (GraphObj* graph = list) {
        list = next2Of(graph);
        remove_at2(graph);
        killGraphObj(ctx, graph);
    }
}

void killInpList(UnitContext* ctx, InpObj*& list) {
    while (InpObj* inp = list) {
        list = next2Of(inp);
        remove_at2(inp);
        killInpObj(ctx, inp);
    }
}

}  // namespace

void clearAttrib(UnitContext* ctx, Attrib* attr) {
    switch (attr->id) {
    case S_FONT:
        // The font is the text layout's and is released with it.
        TamFree(attr->value.t);
        f_oper(ctx, attr->expr.expr);
        break;
    case S_IMAGE:
        // The picture belongs to the image cache; the object gave it back.
        TamFree(attr->value.t);
        f_oper(ctx, attr->expr.expr);
        break;
    case S_OUTTEXT:
        TamFree(attr->value.t);
        [[fallthrough]];
    case S_OUTINT:
    case S_OUTFLOAT:
        f_oper(ctx, attr->expr.expr);
        killTextLayout(ctx, attr->shown.text);
        break;
    case S_POINTS:
        freePoints(ctx, attr);
        break;
    case S_TRANSLATION:
        freeTranslations(ctx, attr);
        break;
    default:
        f_oper(ctx, attr->expr.expr);
        break;
    }
    attr->value = {};
    attr->shown = {};
    attr->expr = {};
    attr->varFlag = 0;
    attr->computed = 0;
}

void killAttrib(UnitContext* ctx, Attrib* attr) {
    if (!attr) return;
    unlinkFromUnit(ctx, attr);
    clearAttrib(ctx, attr);
    freeSources(attr);
    TamFree(attr);
}

void killGraphObj(UnitContext* ctx, GraphObj* graph) {
    if (!graph) return;
    if (graph->isInstance) {
        unlinkFromLevel(ctx, graph, levelsAround(ctx, graph->parent), &LevNode::graphs);
        releaseShownImage(ctx, graph);
    }
    static constexpr Attrib* GraphObj::*slots[] = {
        &GraphObj::points,    &GraphObj::active,   &GraphObj::savebackground, &GraphObj::level,
        &GraphObj::color,     &GraphObj::dashes,   &GraphObj::linewidth,      &GraphObj::fill,
        &GraphObj::image,     &GraphObj::texture,  &GraphObj::startangle,     &GraphObj::endangle,
        &GraphObj::font,      &GraphObj::decimals, &GraphObj::outint,         &GraphObj::outfloat,
        &GraphObj::outtext};
    for (Attrib* GraphObj::*slot : slots) killSlot(ctx, graph->*slot);
    TamFree(graph);
}

void killInpObj(UnitContext* ctx, InpObj* inp) {
    if (!inp) return;
    if (inp->isInstance) unlinkFromLevel(ctx, inp, levelsAround(ctx, inp->parent), &LevNode::inputs);
    static constexpr Attrib* InpObj::*slots[] = {&InpObj::points, &InpObj::level, &InpObj::active,
                                                 &InpObj::translation};
    for (Attrib* InpObj::*slot : slots) killSlot(ctx, inp->*slot);
    if (inp->region) XDestroyRegion(inp->region);
    TamFree(inp);
}

// The window's graphic objects and input areas go before its level list,
// since each takes itself off its node in that list.
void killWinObj(UnitContext* ctx, WinObj* win) {
    if (!win) return;
    if (win->isInstance) unlinkFromLevel(ctx, win, levelsAround(ctx, nullptr), &LevNode::windows);
    static constexpr Attrib* WinObj::*slots[] = {&WinObj::points, &WinObj::active,
                                                 &WinObj::savebackground, &WinObj::level};
    for (Attrib* WinObj::*slot : slots) killSlot(ctx, win->*slot);
    killGraphList(ctx, win->graphs);
    killInpList(ctx, win->inputs);
    killLevelList(ctx, win->levels);
    TamFree(win);
}

void killPoints(UnitContext* ctx, pointdecl* list) {
    while (pointdecl* point = list) {
        list = nextOf(point);
        f_oper(ctx, point->x);
        f_oper(ctx, point->y);
        TamFree(point);
    }
}

void f_events(UnitContext*, event* list) {
    while (event* ev = list) {
        list = nextOf(ev);
        TamFree(ev);
    }
}

void f_translations(UnitContext* ctx, translation* list, int kill) {
    while (translation* trans = list) {
        list = nextOf(trans);
        f_simulate(ctx, trans->actions, kill);
        if (kill) f_events(ctx, trans->events);
        TamFree(trans);
    }
}
