// Display objects of the view: for each table entry a graphic object and an
// input area whose attributes are elements of the view arrays, so that the
// editing program moves and recolours them by assigning array elements.
// Clicks on an entry's input area call the program's actSBut (with Shift)
// or actBut with the entry's index.
//
// The objects belong to the activation that was running when they were
// made and die with it; an entry only touches its objects while that
// activation is alive and they have not been killed already.
#include "authoring/display.h"

#include <algorithm>

#include "app/context.h"
#include "authoring/model.h"
#include "authoring/view.h"
#include "core/alloc.h"
#include "core/lists.h"
#include "core/messages.h"
#include "interp/inst_support.h"
#include "interp/pool.h"
#include "interp/release.h"
#include "interp/simplify.h"
#include "lang/symtab.h"
#include "present/events.h"
#include "present/image.h"
#include "present/objmodel.h"
#include "present/picture.h"
#include "present/textlayout.h"
#include "present/update.h"

namespace {

// Patterns shared by every generated input area; instance translations
// never free their patterns.
event shiftButton1 = [] {
    event e;
    e.kind = EV_BUTTON_PRESS;
    e.detail = 1;
    e.mask = MM_SHIFT;
    return e;
}();
event button1 = [] {
    event e;
    e.kind = EV_BUTTON_PRESS;
    e.detail = 1;
    return e;
}();

struct KindRule {
    int code;
    std::uint8_t graphKind;
};
constexpr KindRule kGraphKinds[] = {{2, K_IMAGE},   {15, K_POINT},   {16, K_LINE},   {17, K_ARC},
                                    {18, K_BOX},    {19, K_POLYGON}, {20, K_TEXTOBJ}};

std::uint8_t graphKindOf(int code) {
    for (const KindRule& rule : kGraphKinds)
        if (rule.code == code) return rule.graphKind;
    return K_BOX;
}

bool between(int code, int low, int high) { return code >= low && code <= high; }
bool oneOf(int code, std::initializer_list<int> codes) { return std::find(codes.begin(), codes.end(), code) != codes.end(); }

// The element array[row] (or array[row][column]) as an expression.
op* elementOp(UnitContext* ctx, vinst* array, int row, int column = -1) {
    intarray* access = poolNew<intarray>(ctx);
    access->type = DO_VINST;
    access->array.inst = array;
    param* tail = nullptr;
    for (int index : {row, column}) {
        if (index < 0) continue;
        param* p = poolNew<param>(ctx);
        p->expr = intLiteral(ctx, index, 0);
        appendTo(access->indexes, tail, p);
    }
    op* node = newOp(ctx, array->decl->type, 0);
    node->left.arr = access;
    return finishOp(ctx, node);
}

void enqueue(UnitContext* ctx, Attrib* attr) {
    LearnUnit* unit = ctx->learnUnit;
    appendTo(unit->changedHead, unit->changedTail, attr);
}

Attrib* newAttr(UnitContext* ctx, void* parent, int parentKind, int id) {
    Attrib* attr = mustNew<Attrib>(ctx);
    attr->parent = parent;
    attr->parentKind = static_cast<std::uint8_t>(parentKind);
    attr->id = static_cast<std::uint8_t>(id);
    return attr;
}

Attrib* boundAttr(UnitContext* ctx, void* parent, int parentKind, int id, vinst* array, int row) {
    Attrib* attr = newAttr(ctx, parent, parentKind, id);
    attr->expr.expr = elementOp(ctx, array, row);
    addattr(ctx, array, attr);
    enqueue(ctx, attr);
    return attr;
}

Attrib* pointsAttr(UnitContext* ctx, ObjHeader* obj, int parentKind, const ViewArrays& view, int row, int n) {
    Attrib* attr = newAttr(ctx, obj, parentKind, S_POINTS);
    obj->npoints = n;
    if (n > 0) {
        std::size_t cells = 2 * static_cast<std::size_t>(n);
        attr->expr.pointExprs = static_cast<op**>(mustAlloc(ctx, cells * sizeof(op*)));
        attr->value.coords = static_cast<std::int32_t*>(mustAlloc(ctx, cells * sizeof(std::int32_t)));
        attr->shown.coords = static_cast<std::int32_t*>(mustAlloc(ctx, cells * sizeof(std::int32_t)));
        for (int j = 0; j < n; ++j) {
            attr->expr.pointExprs[2 * j] = elementOp(ctx, view.array[VA_X], row, j);
            attr->expr.pointExprs[2 * j + 1] = elementOp(ctx, view.array[VA_Y], row, j);
        }
    }
    addattr(ctx, view.array[VA_X], attr);
    addattr(ctx, view.array[VA_Y], attr);
    addattr(ctx, view.array[VA_COUNT], attr);
    enqueue(ctx, attr);
    return attr;
}

// A call of the program's function with the index, or none when the
// program has no such function.
translation* callTranslation(UnitContext* ctx, const char* name, event* pattern, int index, Frame* frame) {
    function* fn = get_function(ctx->learnUnit, name);
    if (!fn) return nullptr;
    action* call = poolNew<action>(ctx);
    call->type = static_cast<std::uint8_t>(T_FUNC + fn->rettype);
    call->target.fn = fn;
    call->args.params = poolNew<param>(ctx);
    init_list(call->args.params);
    call->args.params->expr = intLiteral(ctx, index, 0);
    simaction* statement = poolNew<simaction>(ctx);
    init_list(statement);
    statement->call = call;
    statement->frame = frame;
    translation* trans = mustNew<translation>(ctx);
    trans->events = pattern;
    trans->actions = statement;
    return trans;
}

Attrib* translationAttr(UnitContext* ctx, InpObj* inp, int index, Frame* frame) {
    Attrib* attr = newAttr(ctx, inp, PK_INPUT, S_TRANSLATION);
    translation* tail = nullptr;
    for (auto [name, pattern] : {std::pair{"actSBut", &shiftButton1}, std::pair{"actBut", &button1}})
        if (translation* trans = callTranslation(ctx, name, pattern, index, frame))
            appendTo(attr->expr.trans, tail, trans);
    enqueue(ctx, attr);
    return attr;
}

// Text and image objects given by one point (or two equal ones) get the
// second point from the size of their text or picture.
void placeSecondPoint(UnitContext* ctx, const ViewArrays& view, int row, int code) {
    int count = viewInt(view, VA_COUNT, row);
    int x = viewInt(view, VA_X, row, 0), y = viewInt(view, VA_Y, row, 0);
    bool single = count == 1 || (count >= 2 && x == viewInt(view, VA_X, row, 1) && y == viewInt(view, VA_Y, row, 1));
    if (!single || !ctx->display) return;
    int width = kDefPicWidth, height = kDefPicHeight;
    if (code == 20) {
        const vinst* texts = view.array[VA_OUTTEXT];
        const vinst* fonts = view.array[VA_FONT];
        int ascent = 0, descent = 0;
        fextents(ctx, texts->value.ta[row], fonts->value.ta[row], &ascent, &descent, &width);
        height = ascent + descent;
    } else {
        Picture* pic = getImage(ctx, view.array[VA_IMAGE]->value.ta[row]);
        if (!isDefaultImage(ctx, pic)) width = pic->width, height = pic->height;
    }
    setViewInt(view, VA_X, row, x + width, 1);
    setViewInt(view, VA_Y, row, y + height, 1);
    setViewInt(view, VA_COUNT, row, 2);
}

GraphObj* makeGraph(UnitContext* ctx, const ViewArrays& view, int row, int code, int n, Frame* frame) {
    GraphObj* g = mustNew<GraphObj>(ctx);
    g->kind = graphKindOf(code);
    g->isInstance = 1;
    g->frame = frame;
    auto bind = [&](Attrib* GraphObj::*slot, int id, int array) {
        g->*slot = boundAttr(ctx, g, PK_GRAPHIC, id, view.array[array], row);
    };
    g->points = pointsAttr(ctx, g, PK_GRAPHIC, view, row, n);
    bind(&GraphObj::active, S_ACTIVE, VA_ACTIVE);
    bind(&GraphObj::level, S_LEVEL, VA_LEVEL);
    if (between(code, 15, 22)) bind(&GraphObj::color, S_COLOR, VA_COLOR);
    if (code != 21) bind(&GraphObj::savebackground, S_SAVEBACKGROUND, VA_SAVEBACKGROUND);
    if (oneOf(code, {17, 18, 19, 21})) bind(&GraphObj::fill, S_FILL, VA_FILL);
    if (code != 22) bind(&GraphObj::texture, S_TEXTURE, VA_TEXTURE);
    if (between(code, 16, 19)) {
        bind(&GraphObj::dashes, S_DASHES, VA_DASHES);
        bind(&GraphObj::linewidth, S_LINEWIDTH, VA_LINEWIDTH);
    }
    if (code == 17) {
        bind(&GraphObj::startangle, S_STARTANGLE, VA_STARTANGLE);
        bind(&GraphObj::endangle, S_ENDANGLE, VA_ENDANGLE);
    }
    if (code == 20) {
        bind(&GraphObj::font, S_FONT, VA_FONT);
        bind(&GraphObj::outtext, S_OUTTEXT, VA_OUTTEXT);
    }
    if (oneOf(code, {2, 17, 18, 19, 20})) bind(&GraphObj::image, S_IMAGE, VA_IMAGE);
    return g;
}

InpObj* makeInput(UnitContext* ctx, const ViewArrays& view, int row, int n, Frame* frame) {
    InpObj* inp = mustNew<InpObj>(ctx);
    inp->kind = K_INPUTAREA;
    inp->isInstance = 1;
    inp->frame = frame;
    inp->points = pointsAttr(ctx, inp, PK_INPUT, view, row, n);
    inp->active = boundAttr(ctx, inp, PK_INPUT, S_ACTIVE, view.array[VA_ACTIVE], row);
    inp->level = boundAttr(ctx, inp, PK_INPUT, S_LEVEL, view.array[VA_LEVEL], row);
    inp->translation = translationAttr(ctx, inp, row, frame);
    return inp;
}

funcinst* objectFrame(UnitContext* ctx) {
    LearnUnit* unit = ctx->learnUnit;
    Frame* frame = unit ? unit->objectContext : nullptr;
    if (!frame || !frame->owner || frame->owner->blockKind != BLOCK_FUNCTION) return nullptr;
    return static_cast<funcinst*>(frame);
}

bool frameAlive(const LearnUnit* unit, const Frame* frame, std::uint64_t serial) {
    for (const Frame* f : {unit->currentFrame, unit->objectContext})
        for (; f; f = f->caller)
            if (f == frame && f->serial == serial) return true;
    return false;
}

bool displayAlive(UnitContext* ctx, const DisplayPair& d) {
    return d.graph && d.unit && d.unit == ctx->learnUnit && frameAlive(d.unit, d.frame, d.serial);
}

void makeObject(UnitContext* ctx, const ViewArrays& view, int row, TableEntry& entry) {
    funcinst* frame = objectFrame(ctx);
    if (!frame || row >= viewLength(view)) return;
    int code = viewInt(view, VA_KIND, row);
    if (code == 20 || code == 2) placeSecondPoint(ctx, view, row, code);
    int n = std::clamp(viewInt(view, VA_COUNT, row), 0, kViewPoints);
    GraphObj* g = makeGraph(ctx, view, row, code, n, frame);
    InpObj* inp = makeInput(ctx, view, row, n, frame);
    pushFront2(frame->graphs, g);
    pushFront2(frame->inputs, inp);
    entry.display = DisplayPair{g, inp, ctx->learnUnit, frame, frame->serial};
}

void hide(DisplayPair& d) {
    for (Attrib* active : {d.graph->active, d.input->active}) {
        if (!active) continue;
        active->value.i = 0;
        active->shown.i = 0;
    }
    raiseGraphStatus(d.graph, 4);
}

// Statements of translations of killed input areas. A translation may kill
// its own area (an editor deleting the object clicked on), so its
// statements must outlive the area until no translation runs any more.
// The list is never destroyed, so that statements still waiting at exit
// stay reachable.
std::vector<simaction*>& retiredStatements = *new std::vector<simaction*>;

void retireStatements(InpObj* input) {
    if (!input->translation) return;
    for (translation* trans = input->translation->expr.trans; trans; trans = nextOf(trans)) {
        retiredStatements.push_back(trans->actions);
        trans->actions = nullptr;
    }
}

void destroy(UnitContext* ctx, DisplayPair& d) {
    auto* frame = static_cast<funcinst*>(d.frame);
    retireStatements(d.input);
    unlinkFrom2(frame->graphs, d.graph);
    unlinkFrom2(frame->inputs, d.input);
    killGraphObj(ctx, d.graph);
    killInpObj(ctx, d.input);
    d = DisplayPair{};
}

void killDisplays(UnitContext* ctx, std::vector<TableEntry*> entries) {
    std::vector<DisplayPair*> live;
    for (TableEntry* entry : entries) {
        if (displayAlive(ctx, entry->display))
            live.push_back(&entry->display);
        else
            entry->display = DisplayPair{};
    }
    if (live.empty()) return;
    for (DisplayPair* d : live) hide(*d);
    refresh(ctx, 0);
    for (DisplayPair* d : live) destroy(ctx, *d);
}

}  // namespace

void freeRetiredStatements(UnitContext* ctx) {
    if (ctx->learnUnit && ctx->learnUnit->currentEvent) return;
    for (simaction* statements : retiredStatements) f_simulate(ctx, statements, 0);
    retiredStatements.clear();
}

int generateObjects(UnitContext* ctx, int index, const ViewArrays& view) {
    freeRetiredStatements(ctx);
    AuthoringState& state = authoringState(ctx);
    int count = static_cast<int>(state.table.size());
    if (!objectFrame(ctx)) return 0;
    if (index == count) {
        const char* keyword = authoringKeyword(viewInt(view, VA_KIND, index));
        if (!keyword || index >= viewLength(view)) return 0;
        add_kiv_object(ctx, keyword);
    } else if (index < -1 || index > count || (index >= 0 && !state.table[index].object)) {
        return 0;
    }
    int first = index == -1 ? 0 : index, last = index == -1 ? count - 1 : index;
    for (int row = first; row <= last; ++row) {
        TableEntry& entry = state.table[row];
        if (!entry.object) continue;
        killDisplays(ctx, {&entry});
        makeObject(ctx, view, row, entry);
    }
    resizeView(ctx, view, viewLength(view) + 1, true);
    markViewChanged(ctx, view);
    return 1;
}

int killObjects(UnitContext* ctx, int index) {
    freeRetiredStatements(ctx);
    AuthoringState& state = authoringState(ctx);
    if (index == -1) {
        std::vector<TableEntry*> entries;
        for (TableEntry& entry : state.table) entries.push_back(&entry);
        killDisplays(ctx, entries);
        return 1;
    }
    if (index >= 0 && static_cast<std::size_t>(index) < state.table.size()) {
        if (!state.table[index].object) return 1;
        killDisplays(ctx, {&state.table[index]});
    }
    delete_kiv_object(ctx, index);
    return 1;
}
