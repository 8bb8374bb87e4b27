// Object instances: when a statement that declares a window, graphic
// object or input area runs, its declaration is copied into an instance
// whose attribute expressions are simplified and tied to the variable
// instances they read. New attributes wait in the learn unit's changed
// queue (or, when they call functions, on its call-attribute list) until
// the display computes and draws them.
#include "app/context.h"
#include "core/alloc.h"
#include "core/messages.h"
#include "interp/access.h"
#include "interp/inst_support.h"
#include "interp/instantiate.h"
#include "interp/pool.h"
#include "interp/simplify.h"
#include "present/learnunit.h"
#include "present/objects.h"
#include "present/objmodel.h"

namespace {

void report(UnitContext* ctx, const std::string& text) { errorMsg(ctx, MSG_ERROR, text.c_str()); }

funcinst* owningFrame(UnitContext* ctx, Frame* frame) {
    if (frame && frame->owner && frame->owner->blockKind == BLOCK_FUNCTION) return static_cast<funcinst*>(frame);
    report(ctx, "Internal error: Object created outside a function activation");
    return nullptr;
}

// Attributes that call functions are recomputed at every update in no
// particular order; putting them in front keeps creating many of them
// linear.
void enqueue(UnitContext* ctx, Attrib* attr, bool hasCall) {
    LearnUnit* unit = ctx->learnUnit;
    if (!unit) return;
    if (hasCall)
        pushFront(unit->callAttrs, attr);
    else
        appendTo(unit->changedHead, unit->changedTail, attr);
}

// The record behind a point-list or translation attribute given through a
// generator attribute: the attribute the T_ATTR node names.
attrdecl* passedAttribute(const Attrib* decl) {
    op* ref = decl->varFlag ? decl->expr.expr : nullptr;
    return ref && (ref->flag == T_ATTR || ref->flag == T_ATTRIDX) ? ref->left.attr : nullptr;
}

op* simplifiedOrZero(UnitContext* ctx, op* expr, Attrib* attr, int* constant, int* call) {
    if (expr) return SimplifyOper(ctx, expr, attr, constant, call);
    *constant = 1;
    return intLiteral(ctx, 0, 0);
}

// Points: 2 * n simplified coordinate expressions and the two coordinate
// arrays that the display fills; the object's point count follows.
void instantiatePoints(UnitContext* ctx, const Attrib* decl, Attrib* attr, ObjHeader* obj, int* constant,
                       int* call) {
    pointdecl* list = decl->expr.points;
    if (decl->varFlag) {
        attrdecl* passed = passedAttribute(decl);
        list = passed ? static_cast<pointdecl*>(passed->points) : nullptr;
    }
    int n = count_object(list);
    obj->npoints = n;
    if (n == 0) return;
    std::size_t cells = 2 * static_cast<std::size_t>(n);
    attr->expr.pointExprs = static_cast<op**>(mustAlloc(ctx, cells * sizeof(op*)));
    attr->value.coords = static_cast<std::int32_t*>(mustAlloc(ctx, cells * sizeof(std::int32_t)));
    attr->shown.coords = static_cast<std::int32_t*>(mustAlloc(ctx, cells * sizeof(std::int32_t)));
    std::size_t i = 0;
    for (pointdecl* point = list; point; point = nextOf(point)) {
        int cx = 1, cy = 1;
        attr->expr.pointExprs[i++] = simplifiedOrZero(ctx, point->x, attr, &cx, call);
        attr->expr.pointExprs[i++] = simplifiedOrZero(ctx, point->y, attr, &cy, call);
        if (!cx || !cy) *constant = 0;
    }
}

// Translations: each keeps its declaration's event patterns and gets its
// own statements, bound to the frame that owns the object.
void instantiateTranslations(UnitContext* ctx, const Attrib* decl, Attrib* attr, Frame* frame) {
    translation* list = decl->expr.trans;
    if (decl->varFlag) {
        attrdecl* passed = passedAttribute(decl);
        list = passed ? static_cast<translation*>(passed->value.p) : nullptr;
    }
    translation* tail = nullptr;
    for (translation* src = list; src; src = nextOf(src)) {
        translation* copy = mustNew<translation>(ctx);
        copy->events = src->events;
        copy->actions = i_simactions(ctx, src->actions, frame);
        appendTo(attr->expr.trans, tail, copy);
    }
}

bool ownsText(int id) { return id == S_FONT || id == S_IMAGE || id == S_OUTTEXT; }

// One attribute instance. `constant` is cleared when an expression of the
// attribute is not constant.
Attrib* i_attribute(UnitContext* ctx, const Attrib* decl, ObjHeader* obj, int parentKind, Frame* frame,
                    bool* constant) {
    if (!decl) return nullptr;
    Attrib* attr = mustNew<Attrib>(ctx);
    attr->parentKind = static_cast<std::uint8_t>(parentKind);
    attr->id = decl->id;
    attr->parent = obj;
    int isConstant = 1, call = 0;
    switch (decl->id) {
    case S_POINTS:
        instantiatePoints(ctx, decl, attr, obj, &isConstant, &call);
        break;
    case S_TRANSLATION:
        instantiateTranslations(ctx, decl, attr, frame);
        break;
    case S_ACTIVE:
    case S_COLOR:
    case S_DASHES:
    case S_DECIMALS:
    case S_ENDANGLE:
    case S_FILL:
    case S_FONT:
    case S_IMAGE:
    case S_LEVEL:
    case S_LINEWIDTH:
    case S_OUTFLOAT:
    case S_OUTINT:
    case S_OUTTEXT:
    case S_SAVEBACKGROUND:
    case S_STARTANGLE:
    case S_TEXTURE:
        attr->value = decl->value;
        if (ownsText(decl->id)) attr->value.t = dupText(ctx, decl->value.t);
        if (decl->expr.expr) attr->expr.expr = SimplifyOper(ctx, decl->expr.expr, attr, &isConstant, &call);
        break;
    default:
        report(ctx, formatMsg("Internal error: Unknown attribute (%d)", decl->id));
        TamFree(attr);
        return nullptr;
    }
    if (!isConstant) *constant = false;
    enqueue(ctx, attr, call != 0);
    return attr;
}

void initHeader(ObjHeader* obj, const ObjHeader* decl, Frame* frame) {
    obj->kind = decl->kind;
    obj->isInstance = 1;
    obj->npoints = decl->npoints;
    obj->frame = frame;
}

GraphObj* i_graphobj(UnitContext* ctx, GraphObj* decl, WinObj* parent, Frame* frame, bool* isStatic) {
    GraphObj* obj = mustNew<GraphObj>(ctx);
    initHeader(obj, decl, frame);
    obj->parent = parent;
    bool constant = true;
    static constexpr Attrib* GraphObj::*slots[] = {
        &GraphObj::points,    &GraphObj::active,   &GraphObj::savebackground, &GraphObj::level,
        &GraphObj::color,     &GraphObj::dashes,   &GraphObj::linewidth,      &GraphObj::fill,
        &GraphObj::image,     &GraphObj::texture,  &GraphObj::startangle,     &GraphObj::endangle,
        &GraphObj::font,      &GraphObj::decimals, &GraphObj::outint,         &GraphObj::outfloat,
        &GraphObj::outtext};
    for (Attrib* GraphObj::*slot : slots)
        obj->*slot = i_attribute(ctx, decl->*slot, obj, PK_GRAPHIC, frame, &constant);
    obj->staticFlag = constant ? 1 : 0;
    *isStatic = constant;
    return obj;
}

InpObj* i_inpobj(UnitContext* ctx, InpObj* decl, WinObj* parent, Frame* frame) {
    InpObj* obj = mustNew<InpObj>(ctx);
    initHeader(obj, decl, frame);
    obj->parent = parent;
    bool constant = true;
    obj->points = i_attribute(ctx, decl->points, obj, PK_INPUT, frame, &constant);
    obj->level = i_attribute(ctx, decl->level, obj, PK_INPUT, frame, &constant);
    obj->active = i_attribute(ctx, decl->active, obj, PK_INPUT, frame, &constant);
    obj->translation = i_attribute(ctx, decl->translation, obj, PK_INPUT, frame, &constant);
    return obj;
}

// A window is static when it and all its graphic objects are; its objects
// stand in its list in front of each other, the last declared first.
WinObj* i_winobj(UnitContext* ctx, WinObj* decl, Frame* frame) {
    WinObj* win = mustNew<WinObj>(ctx);
    initHeader(win, decl, frame);
    getLevNode(ctx, &win->levels, 0);
    bool constant = true;
    win->points = i_attribute(ctx, decl->points, win, PK_WINDOW, frame, &constant);
    win->active = i_attribute(ctx, decl->active, win, PK_WINDOW, frame, &constant);
    win->savebackground = i_attribute(ctx, decl->savebackground, win, PK_WINDOW, frame, &constant);
    win->level = i_attribute(ctx, decl->level, win, PK_WINDOW, frame, &constant);
    for (GraphObj* g = decl->graphs; g; g = next2Of(g)) {
        bool graphStatic = true;
        pushFront2(win->graphs, i_graphobj(ctx, g, win, frame, &graphStatic));
        constant = constant && graphStatic;
    }
    for (InpObj* i = decl->inputs; i; i = next2Of(i)) pushFront2(win->inputs, i_inpobj(ctx, i, win, frame));
    win->staticFlag = constant ? 1 : 0;
    return win;
}

}  // namespace

void create_winobj(UnitContext* ctx, Frame* frame, WinObj* decl) {
    funcinst* owner = owningFrame(ctx, frame);
    if (!owner) return;
    pushFront2(owner->windows, i_winobj(ctx, decl, frame));
}

void create_graphobj(UnitContext* ctx, Frame* frame, GraphObj* decl) {
    funcinst* owner = owningFrame(ctx, frame);
    if (!owner) return;
    bool isStatic = true;
    pushFront2(owner->graphs, i_graphobj(ctx, decl, nullptr, frame, &isStatic));
}

void create_inpobj(UnitContext* ctx, Frame* frame, InpObj* decl) {
    funcinst* owner = owningFrame(ctx, frame);
    if (!owner) return;
    pushFront2(owner->inputs, i_inpobj(ctx, decl, nullptr, frame));
}
