// Building object declarations: which attribute each object kind takes,
// the defaults an attribute starts with, and the completion of a
// declaration with the attributes it lacks. Two small tables drive it: the
// kinds (point counts, table bit) and the attributes (slots, which kinds
// take them, what the others do, defaults).
#include "present/objmodel.h"

#include "app/context.h"
#include "core/messages.h"
#include "core/strings.h"
#include "present/hooks.h"
#include "present/learnunit.h"
#include "present/picture.h"

namespace {

DeclReporter declReporter = nullptr;

void reportDecl(UnitContext* ctx, int level, const char* text) {
    if (declReporter)
        declReporter(ctx, level, text);
    else
        errorMsg(ctx, level, text);
}

// ---- Kinds -------------------------------------------------------------

// Bits of the graphic kinds in the acceptance masks.
enum KindBit : unsigned {
    B_ARC = 1u << 0,
    B_BOX = 1u << 1,
    B_IMAGE = 1u << 2,
    B_LINE = 1u << 3,
    B_POINT = 1u << 4,
    B_POLYGON = 1u << 5,
    B_TEXTOBJ = 1u << 6,
    B_ALL = (1u << 7) - 1,
};

struct KindInfo {
    std::uint8_t kind;
    int minPoints;
    int maxPoints;
    unsigned bit;  // graphic kinds only
};

constexpr KindInfo kKinds[] = {
    {K_ARC, 2, 2, B_ARC},         {K_BOX, 2, 2, B_BOX},
    {K_IMAGE, 1, 2, B_IMAGE},     {K_INPUTAREA, 2, 2, 0},
    {K_LINE, 2, 2, B_LINE},       {K_POINT, 1, 2, B_POINT},
    {K_POLYGON, 2, 32767, B_POLYGON}, {K_TEXTOBJ, 1, 2, B_TEXTOBJ},
    {K_WINDOW, 2, 2, 0},
};

const KindInfo* kindInfo(int kind) {
    for (const KindInfo& info : kKinds)
        if (info.kind == kind) return &info;
    return nullptr;
}

// ---- Attributes --------------------------------------------------------

enum DefaultKind : std::uint8_t { D_NONE, D_INT, D_FLOAT, D_TEXT, D_IMAGE };

struct AttrRule {
    std::uint8_t id;
    Attrib* GraphObj::*graphSlot;
    Attrib* WinObj::*winSlot;  // null: windows ignore the attribute
    Attrib* InpObj::*inpSlot;  // null: input areas warn about it
    unsigned graphKinds;       // graphic kinds that take it
    const char* refusal;       // warning for the other graphic kinds, or none
    DefaultKind defaultKind;
    int intDefault;            // value and shown value for D_INT
    const char* textDefault;   // value for D_TEXT and D_IMAGE
};

constexpr const char* kNoDecimals = "Warning: The DECIMALS-attribute is not valid for that object\n";
constexpr const char* kNoOutfloat = "Warning: The OUTFLOAT-attribute is not valid for that object\n";
constexpr const char* kNoOutint = "Warning: The OUTINT-attribute is not valid for that object\n";
constexpr const char* kIllegalForInput = "Warning: Illegal attribute for inputobject";

const AttrRule kAttrRules[] = {
    {S_ACTIVE, &GraphObj::active, &WinObj::active, &InpObj::active, B_ALL, nullptr, D_INT, 1, nullptr},
    {S_COLOR, &GraphObj::color, nullptr, nullptr, B_ALL & ~B_IMAGE, nullptr, D_INT, 0, nullptr},
    {S_DASHES, &GraphObj::dashes, nullptr, nullptr, B_ALL & ~(B_IMAGE | B_TEXTOBJ), nullptr, D_INT, 0,
     nullptr},
    {S_DECIMALS, &GraphObj::decimals, nullptr, nullptr, B_TEXTOBJ, kNoDecimals, D_INT, 0, nullptr},
    {S_ENDANGLE, &GraphObj::endangle, nullptr, nullptr, B_ARC, nullptr, D_INT, 360, nullptr},
    {S_FILL, &GraphObj::fill, nullptr, nullptr, B_BOX | B_POLYGON | B_ARC, nullptr, D_INT, 0, nullptr},
    {S_FONT, &GraphObj::font, nullptr, nullptr, B_TEXTOBJ, nullptr, D_TEXT, 0, ""},
    {S_IMAGE, &GraphObj::image, nullptr, nullptr, B_ALL & ~B_LINE, nullptr, D_IMAGE, 0, ""},
    {S_LEVEL, &GraphObj::level, &WinObj::level, &InpObj::level, B_ALL, nullptr, D_NONE, 0, nullptr},
    {S_LINEWIDTH, &GraphObj::linewidth, nullptr, nullptr, B_ALL & ~(B_IMAGE | B_TEXTOBJ), nullptr, D_INT,
     1, nullptr},
    {S_OUTFLOAT, &GraphObj::outfloat, nullptr, nullptr, B_TEXTOBJ, kNoOutfloat, D_FLOAT, 0, nullptr},
    {S_OUTINT, &GraphObj::outint, nullptr, nullptr, B_TEXTOBJ, kNoOutint, D_INT, 0, nullptr},
    {S_OUTTEXT, &GraphObj::outtext, nullptr, nullptr, B_TEXTOBJ, nullptr, D_TEXT, 0, "0"},
    {S_POINTS, &GraphObj::points, &WinObj::points, &InpObj::points, B_ALL, nullptr, D_NONE, 0, nullptr},
    {S_SAVEBACKGROUND, &GraphObj::savebackground, &WinObj::savebackground, nullptr, B_ALL, nullptr, D_INT,
     1, nullptr},
    {S_STARTANGLE, &GraphObj::startangle, nullptr, nullptr, B_ARC, nullptr, D_INT, 0, nullptr},
    {S_TEXTURE, &GraphObj::texture, nullptr, nullptr, B_ALL, nullptr, D_INT, 0, nullptr},
    {S_TRANSLATION, nullptr, nullptr, &InpObj::translation, 0, nullptr, D_NONE, 0, nullptr},
};

const AttrRule* attrRule(int id) {
    for (const AttrRule& rule : kAttrRules)
        if (rule.id == id) return &rule;
    return nullptr;
}

void setDefaults(UnitContext* ctx, Attrib* attr, const AttrRule& rule) {
    switch (rule.defaultKind) {
    case D_INT:
        attr->value.i = rule.intDefault;
        attr->shown.i = rule.intDefault;
        break;
    case D_FLOAT:
        attr->value.f = 0.0;
        attr->shown.i = 0;
        break;
    case D_TEXT:
        attr->value.t = safestrdup(rule.textDefault);
        if (!attr->value.t) outOfMemory(ctx);
        break;
    case D_IMAGE:
        attr->value.t = safestrdup(rule.textDefault);
        if (!attr->value.t) outOfMemory(ctx);
        attr->shown.image = defaultPicture(ctx);
        break;
    case D_NONE:
        break;
    }
}

// Frees what an attribute description carries when the attribute is
// dropped.
void dropDesc(UnitContext* ctx, const AttrDesc& desc) {
    if (desc.varFlag)
        f_oper(ctx, desc.value.expr);
    else if (desc.id == S_POINTS)
        killPoints(ctx, desc.value.points);
    else if (desc.id == S_TRANSLATION)
        f_translations(ctx, desc.value.trans, 1);
    else
        f_oper(ctx, desc.value.expr);
}

void unknownAttr(UnitContext* ctx, const AttrDesc& desc) {
    errorMsg(ctx, MSG_ERROR, formatMsg("Internal error: Unknown attribute (%d)", desc.id).c_str());
    dropDesc(ctx, desc);
}

void placeAttrib(UnitContext* ctx, Attrib** slot, const AttrDesc& desc, ObjHeader* obj,
                    std::uint8_t parentKind, const AttrRule& rule) {
    Attrib* attr = assignAttrib(ctx, slot, desc, obj);
    attr->parentKind = parentKind;
    attr->parent = obj;
    setDefaults(ctx, attr, rule);
}

// The three text outputs of a textobj exclude each other; returns the
// refusal for the id, or none when it may be set.
const char* textOutputConflict(const GraphObj* graph, int id) {
    switch (id) {
    case S_OUTTEXT:
        if (graph->outint || graph->outfloat)
            return "Warning: Attempt to set OUTTEXT-attribute when OUTINT- or OUTFLOAT-attribute\n"
                   "is already set. Ignoring\n";
        break;
    case S_OUTINT:
        if (graph->outtext || graph->outfloat)
            return "Warning: Attempt to set OUTINT-attribute when OUTTEXT- or OUTFLOAT-attribute\n"
                   "is already set. Ignoring\n";
        break;
    case S_OUTFLOAT:
        if (graph->outtext || graph->outint)
            return "Warning: Attempt to set OUTFLOAT-attribute when OUTTEXT- or OUTINT-attribute\n"
                   "is already set. Ignoring\n";
        break;
    }
    return nullptr;
}

// ---- Completing declarations -------------------------------------------

// A supplied attribute: no expression, its value final (see objmodel.h).
Attrib* supplyAttrib(UnitContext* ctx, Attrib** slot, ObjHeader* obj, std::uint8_t parentKind, int id) {
    Attrib* attr = mustNew<Attrib>(ctx);
    attr->id = static_cast<std::uint8_t>(id);
    attr->parentKind = parentKind;
    attr->parent = obj;
    *slot = attr;
    return attr;
}

void supplyInt(UnitContext* ctx, Attrib** slot, ObjHeader* obj, std::uint8_t parentKind, int id,
               int value) {
    Attrib* attr = supplyAttrib(ctx, slot, obj, parentKind, id);
    attr->value.i = value;
    attr->shown.i = value;
}

// Level 0 of the list the object stands in; a declared window has no
// level list yet, so its objects get no node before they are instances.
void supplyLevel(UnitContext* ctx, Attrib** slot, ObjHeader* obj, std::uint8_t parentKind,
                 LevNode* list) {
    Attrib* attr = supplyAttrib(ctx, slot, obj, parentKind, S_LEVEL);
    attr->shown.level = findLevNode(list, 0);
}

template <class T>
void appendTo2(T*& head, T* node) {
    if (!head)
        pushFront2(head, node);
    else
        place_next2(last2(head), node);
}

LevNode* unitLevels(UnitContext* ctx) { return ctx->learnUnit ? ctx->learnUnit->levels : nullptr; }

void checkPoints(UnitContext* ctx, ObjHeader* obj, std::uint8_t parentKind) {
    if (!obj->points) supplyAttrib(ctx, &obj->points, obj, parentKind, S_POINTS);
    if (obj->points->varFlag) return;
    int count = count_object(obj->points->expr.points);
    if (count > maxPoints(obj->kind))
        reportDecl(ctx, MSG_WARNING, "Warning: Object contains redundant points. Ignoring");
    else if (count < minPoints(obj->kind))
        reportDecl(ctx, MSG_WARNING,
                   "Warning: Essential attribute(s) missing - too few points.\nUsing default values");
    obj->npoints = count;
}

void checkImage(UnitContext* ctx, GraphObj* graph) {
    if (graph->image) return;
    reportDecl(ctx, MSG_WARNING,
               "Warning: Essential attribute IMAGE missing for the object.\nUsing default image");
    Attrib* attr = supplyAttrib(ctx, &graph->image, graph, PK_GRAPHIC, S_IMAGE);
    attr->value.t = safestrdup("");
    if (!attr->value.t) outOfMemory(ctx);
    attr->shown.image = defaultPicture(ctx);
}

void checkColor(UnitContext* ctx, GraphObj* graph) {
    if (graph->color) return;
    if (!(graph->fill && graph->image))
        reportDecl(ctx, MSG_WARNING,
                   "Warning: Essential attribute COLOR missing for the object.\nUsing default color");
    int colour = ctx->learnUnit ? ctx->learnUnit->defaultColor : 0x888888;
    Attrib* attr = supplyAttrib(ctx, &graph->color, graph, PK_GRAPHIC, S_COLOR);
    attr->value.i = colour;
}

void checkText(UnitContext* ctx, GraphObj* graph) {
    if (graph->outtext || graph->outint || graph->outfloat) return;
    reportDecl(ctx, MSG_WARNING,
               "Warning: Essential attribute OUTTEXT or OUTINT or OUTFLOAT missing.\n Using default text");
    Attrib* attr = supplyAttrib(ctx, &graph->outtext, graph, PK_GRAPHIC, S_OUTTEXT);
    attr->value.t = safestrdup("0");
    if (!attr->value.t) outOfMemory(ctx);
}

}  // namespace

void setDeclReporter(DeclReporter reporter) { declReporter = reporter; }

int minPoints(int kind) {
    const KindInfo* info = kindInfo(kind);
    return info ? info->minPoints : 2;
}

int maxPoints(int kind) {
    const KindInfo* info = kindInfo(kind);
    return info ? info->maxPoints : 2;
}

WinObj* newWinObj(UnitContext* ctx) {
    auto* win = mustNew<WinObj>(ctx);
    win->kind = K_WINDOW;
    win->isDecl = 1;
    return win;
}

GraphObj* newGraphObj(UnitContext* ctx, int kind, WinObj* parent) {
    auto* graph = mustNew<GraphObj>(ctx);
    graph->kind = static_cast<std::uint8_t>(kind);
    graph->isDecl = 1;
    graph->parent = parent;
    if (parent) appendTo2(parent->graphs, graph);
    return graph;
}

InpObj* newInpObj(UnitContext* ctx, int kind, WinObj* parent) {
    auto* inp = mustNew<InpObj>(ctx);
    inp->kind = static_cast<std::uint8_t>(kind);
    inp->isDecl = 1;
    inp->parent = parent;
    if (parent) appendTo2(parent->inputs, inp);
    return inp;
}

Attrib* assignAttrib(UnitContext* ctx, Attrib** slot, const AttrDesc& desc, ObjHeader* obj) {
    Attrib* attr = *slot;
    if (attr) {
        errorMsg(ctx, MSG_ERROR, "Error: Attempt to set same attribute multiple times\n");
        clearAttrib(ctx, attr);
    } else {
        attr = mustNew<Attrib>(ctx);
        *slot = attr;
    }
    attr->id = desc.id;
    if (desc.varFlag) {
        attr->varFlag = 1;
        attr->expr.expr = desc.value.expr;
    } else if (desc.id == S_POINTS) {
        attr->expr.points = desc.value.points;
        obj->npoints = desc.npoints;
    } else if (desc.id == S_TRANSLATION) {
        attr->expr.trans = desc.value.trans;
    } else {
        attr->expr.expr = desc.value.expr;
    }
    return attr;
}

void newWinAttr(UnitContext* ctx, WinObj* win, const AttrDesc& desc) {
    const AttrRule* rule = attrRule(desc.id);
    if (!rule) return unknownAttr(ctx, desc);
    if (!rule->winSlot) return dropDesc(ctx, desc);
    Attrib* attr = assignAttrib(ctx, &(win->*rule->winSlot), desc, win);
    attr->parentKind = PK_WINDOW;
    attr->parent = win;
    if (desc.id == S_ACTIVE || desc.id == S_SAVEBACKGROUND) setDefaults(ctx, attr, *rule);
}

void newGraphAttr(UnitContext* ctx, GraphObj* graph, const AttrDesc& desc) {
    const AttrRule* rule = attrRule(desc.id);
    if (!rule) return unknownAttr(ctx, desc);
    const KindInfo* info = kindInfo(graph->kind);
    if (!info || !(rule->graphKinds & info->bit)) {
        if (info && rule->refusal) errorMsg(ctx, MSG_WARNING, rule->refusal);
        return dropDesc(ctx, desc);
    }
    if (const char* conflict = textOutputConflict(graph, desc.id)) {
        errorMsg(ctx, MSG_WARNING, conflict);
        return dropDesc(ctx, desc);
    }
    placeAttrib(ctx, &(graph->*rule->graphSlot), desc, graph, PK_GRAPHIC, *rule);
}

void newInpAttr(UnitContext* ctx, InpObj* inp, const AttrDesc& desc) {
    const AttrRule* rule = attrRule(desc.id);
    if (!rule) return unknownAttr(ctx, desc);
    if (!rule->inpSlot) {
        reportDecl(ctx, MSG_WARNING, kIllegalForInput);
        return dropDesc(ctx, desc);
    }
    placeAttrib(ctx, &(inp->*rule->inpSlot), desc, inp, PK_INPUT, *rule);
}

void checkWinAttrs(UnitContext* ctx, WinObj* win) {
    checkPoints(ctx, win, PK_WINDOW);
    if (!win->level) supplyLevel(ctx, &win->level, win, PK_WINDOW, unitLevels(ctx));
    if (!win->active) supplyInt(ctx, &win->active, win, PK_WINDOW, S_ACTIVE, 1);
}

void checkGraphAttrs(UnitContext* ctx, GraphObj* graph) {
    checkPoints(ctx, graph, PK_GRAPHIC);
    if (graph->kind == K_IMAGE)
        checkImage(ctx, graph);
    else
        checkColor(ctx, graph);
    if (graph->kind == K_TEXTOBJ) checkText(ctx, graph);
    LevNode* levels = graph->parent ? graph->parent->levels : unitLevels(ctx);
    if (!graph->level) supplyLevel(ctx, &graph->level, graph, PK_GRAPHIC, levels);
    if (!graph->active) supplyInt(ctx, &graph->active, graph, PK_GRAPHIC, S_ACTIVE, 1);
}

void checkInpAttrs(UnitContext* ctx, InpObj* inp) {
    checkPoints(ctx, inp, PK_INPUT);
    if (!inp->translation)
        reportDecl(ctx, MSG_ERROR, "Error: Missing translation attribute for inputarea object");
    LevNode* levels = inp->parent ? inp->parent->levels : unitLevels(ctx);
    if (!inp->level) supplyLevel(ctx, &inp->level, inp, PK_INPUT, levels);
    if (!inp->active) supplyInt(ctx, &inp->active, inp, PK_INPUT, S_ACTIVE, 1);
}
