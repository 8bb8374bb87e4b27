// Start and end of a function or generator activation: the frame's
// instances, the binding of parameters by value and by reference, the
// saved and restored current instances, and the release of what the
// activation created.
#include <cstring>
#include <new>
#include <vector>

#include "app/context.h"
#include "core/alloc.h"
#include "core/messages.h"
#include "interp/access.h"
#include "interp/builtin_frame.h"
#include "interp/direct.h"
#include "interp/eval.h"
#include "interp/inst_support.h"
#include "interp/instantiate.h"
#include "interp/pool.h"
#include "interp/release.h"
#include "present/objects.h"
#include "present/objmodel.h"
#include "present/update.h"

namespace {

void report(UnitContext* ctx, const std::string& text) { errorMsg(ctx, MSG_ERROR, text.c_str()); }

funcinst* functionFrame(Frame* frame) {
    return frame && frame->owner && frame->owner->blockKind == BLOCK_FUNCTION ? static_cast<funcinst*>(frame)
                                                                              : nullptr;
}

void setAliases(funcinst* frame, bool bound) {
    if (!frame) return;
    for (elemref* ref = frame->elemRefs; ref; ref = nextOf(ref))
        ref->formal->alias = bound ? ref->access : nullptr;
}

// The frame's instance list is headed by a sentinel, so instances can be
// added after it without moving the head.
void addInstance(Frame* frame, vinst* inst) { place_next(frame->instances, inst); }

void newSentinel(UnitContext* ctx, Frame* frame) {
    frame->instances = poolNew<vinst>(ctx);
    init_list(frame->instances);
}

// The current instances a call switches are saved on one stack that grows
// and shrinks with the calls: activations nest strictly, so each call's
// saved instances sit on top when it ends.
// Never destroyed: an exit from inside a call runs the static destructors
// while calls are still active.
std::vector<vinst*>& savedCurrents() {
    static auto* stack = new std::vector<vinst*>;
    return *stack;
}

void saveCurrents(function* fn, funcinst* frame) {
    std::vector<vinst*>& stack = savedCurrents();
    frame->savedAt = stack.size();
    for (vdecl* decl = fn->decls; decl; decl = nextOf(decl)) stack.push_back(decl->current);
    frame->savesCurrents = 1;
}

// Statements that create objects let attributes read the call's
// instances; such bodies keep their instances on the frame's list.
bool createsObjects(simaction* list) {
    for (simaction* s = list; s; s = nextOf(s))
        if (s->winobj || s->graphobj || s->inpobj || createsObjects(s->nested)) return true;
    return false;
}

// A body that runs as parsed and creates no objects leaves no reference to
// its call's instances once the call has returned, so the call can keep
// them, with the current instances it switches, in one block of the frame
// stack. Decided at the first call, with how the body runs.
bool usesBlock(UnitContext* ctx, function* fn) {
    if (fn->frameMode == 0) fn->frameMode = runsUncopied(ctx, fn) && !createsObjects(fn->body) ? 2 : 1;
    return fn->frameMode == 2;
}

void takeBlock(UnitContext* ctx, function* fn, funcinst* frame) {
    std::uint32_t count = 0;
    for (vdecl* decl = fn->decls; decl; decl = nextOf(decl)) ++count;
    std::size_t slotBytes = count * sizeof(vinst);
    auto* block = static_cast<char*>(takeFrameBlock(ctx, slotBytes + count * sizeof(vinst*), frame->blockMark));
    frame->blockSlots = reinterpret_cast<vinst*>(block);
    frame->blockSaved = reinterpret_cast<vinst**>(block + slotBytes);
    vinst** saved = frame->blockSaved;
    for (vdecl* decl = fn->decls; decl; decl = nextOf(decl)) *saved++ = decl->current;
    frame->blockDecls = count;
    frame->blockUsed = 0;
    frame->inBlock = 1;
}

// Instances the block has no room for (none, while every declaration gets
// at most one instance per call) go on the list.
vinst* makeInstance(UnitContext* ctx, funcinst* frame, vdecl* decl) {
    if (frame->inBlock && frame->blockUsed < frame->blockDecls) {
        vinst* inst = new (frame->blockSlots + frame->blockUsed) vinst();
        bool plainNumber = !decl->init && (decl->type == VT_INT || decl->type == VT_FLOAT);
        if (plainNumber)
            inst->decl = decl;
        else if (!fill_vinst(ctx, decl, inst))
            return nullptr;
        ++frame->blockUsed;
        return inst;
    }
    vinst* inst = c_vinst(ctx, decl);
    if (!inst) return nullptr;
    if (!frame->instances) newSentinel(ctx, frame);
    addInstance(frame, inst);
    return inst;
}

void releaseInstances(UnitContext* ctx, funcinst* frame) {
    f_vinsts(ctx, frame->instances);
    frame->instances = nullptr;
    if (!frame->inBlock) return;
    for (std::uint32_t i = frame->blockUsed; i-- > 0;) {
        vinst* inst = frame->blockSlots + i;
        bool ownsNothing = !inst->dependents && !inst->dims && inst->decl &&
                           (inst->decl->type == VT_INT || inst->decl->type == VT_FLOAT);
        if (!ownsNothing) empty_vinst(ctx, inst);
    }
    frame->blockUsed = 0;
}

void restoreCurrents(function* fn, funcinst* frame) {
    if (frame->inBlock) {
        std::uint32_t at = 0;
        for (vdecl* decl = fn->decls; decl && at < frame->blockDecls; decl = nextOf(decl))
            decl->current = frame->blockSaved[at++];
        giveBackFrameBlock(frame->blockMark);
        frame->inBlock = 0;
        return;
    }
    if (!frame->savesCurrents) return;
    std::vector<vinst*>& stack = savedCurrents();
    std::size_t at = frame->savedAt;
    for (vdecl* decl = fn->decls; decl && at < stack.size(); decl = nextOf(decl)) decl->current = stack[at++];
    stack.resize(frame->savedAt);
    frame->savesCurrents = 0;
}

const char* kindWord(int base) {
    switch (base) {
    case VT_INT:
        return "integer";
    case VT_FLOAT:
        return "float";
    default:
        return "text";
    }
}

// The element a reference formal stands for is fixed now: its indexes are
// evaluated once, in the actual's turn among the arguments.
void bindElement(UnitContext* ctx, funcinst* frame, vdecl* formal, op* actual) {
    elemref* ref = mustNew<elemref>(ctx);
    ref->formal = formal;
    ref->access = aliasAccess(ctx, actual->left.arr, actual->line);
    appendTo(frame->elemRefs, ref);
}

bool bindReference(UnitContext* ctx, function* fn, funcinst* frame, vdecl* formal, param* actual) {
    op* expr = actual->expr;
    int flag = expr ? expr->flag : 0;
    if (flag >= 9 && flag <= 11) {
        if (formal->type == (flag & 3)) {
            formal->current = expr->left.inst;
            return true;
        }
        report(ctx, formatMsg("Error: Formal parameter '%s' in function %s cannot refer to a %s variable",
                              formal->name, fn->name, kindWord(flag & 3)));
        return false;
    }
    if (flag >= 17 && flag <= 19) {
        vinst* array = expr->left.arr->array.inst;
        if (formal->type == flag) {
            int actualDims = array && array->decl ? array->decl->ndims : 0;
            if (actualDims != formal->ndims) {
                paramErrorDS(ctx, actual->line,
                             "Actual array parameter '%s' does not match dimension of formal parameter '%s' in function '%s'.",
                             array && array->decl ? array->decl->name : "", formal->name, fn->name);
                return false;
            }
            formal->current = array;
            return true;
        }
        if (formal->type == (flag & 3)) {
            bindElement(ctx, frame, formal, expr);
            return true;
        }
        report(ctx, formatMsg("Error: Formal parameter '%s' in function %s cannot refer to a %s array",
                              formal->name, fn->name, kindWord(flag & 3)));
        return false;
    }
    report(ctx, formatMsg("Error: Illegal parameter to function %s", fn->name));
    return false;
}

// The actual's value for a formal of the type; a text is owned and never
// null.
Value evaluateAs(UnitContext* ctx, int type, op* expr) {
    Value value{};
    switch (type) {
    case VT_INT:
        value.i = calculate(ctx, expr);
        break;
    case VT_FLOAT:
        value.f = f_calculate(ctx, expr);
        break;
    default: {
        char* text = t_calc_dup(ctx, expr);
        value.t = text ? text : dupText(ctx, "");
        break;
    }
    }
    return value;
}

void storeValue(vinst* inst, Value value) {
    if (inst->decl->type == VT_TEXT) TamFree(inst->value.t);
    inst->value = value;
}

bool bindValue(UnitContext* ctx, funcinst* frame, vdecl* formal, param* actual) {
    if (formal->type < VT_INT || formal->type > VT_TEXT) {
        report(ctx, formatMsg("Internal error: Illegal vdecl->type '%c' in i_function", formal->type));
        return false;
    }
    vinst* inst = makeInstance(ctx, frame, formal);
    if (!inst) return false;
    formal->current = inst;
    storeValue(inst, evaluateAs(ctx, formal->type, actual->expr));
    return true;
}

bool bindParameters(UnitContext* ctx, function* fn, param* actuals, funcinst* frame) {
    param* actual = actuals;
    for (fparam* formal = fn->fparams; formal; formal = nextOf(formal), actual = nextOf(actual)) {
        if (!actual) {
            report(ctx, formatMsg("Error: Too few actual parameters in call on function '%s'", fn->name));
            return false;
        }
        bool bound = formal->isRef ? bindReference(ctx, fn, frame, formal->decl, actual)
                                   : bindValue(ctx, frame, formal->decl, actual);
        if (!bound) return false;
    }
    return true;
}

bool bindCopies(UnitContext* ctx, function* fn, param* actuals, funcinst* frame) {
    param* copies = i_param(ctx, actuals);
    bool bound = bindParameters(ctx, fn, copies, frame);
    f_param(ctx, copies);
    return bound;
}

// Actuals that read formals of the callee are evaluated before any formal
// is switched; binding cannot fail after that, except for missing actuals.
bool bindAhead(UnitContext* ctx, function* fn, param* actuals, funcinst* frame) {
    constexpr int kMaxAhead = 16;
    if (count_object(fn->fparams) > kMaxAhead) return bindCopies(ctx, fn, actuals, frame);
    Value values[kMaxAhead];
    int count = 0;
    param* actual = actuals;
    for (fparam* formal = fn->fparams; formal && actual; formal = nextOf(formal), actual = nextOf(actual))
        values[count++] = evaluateAs(ctx, formal->decl->type, actual->expr);
    int used = 0;
    for (fparam* formal = fn->fparams; formal; formal = nextOf(formal), ++used) {
        if (used == count) {
            report(ctx, formatMsg("Error: Too few actual parameters in call on function '%s'", fn->name));
            return false;
        }
        vinst* inst = makeInstance(ctx, frame, formal->decl);
        if (!inst) return false;
        formal->decl->current = inst;
        storeValue(inst, values[used]);
    }
    return true;
}

// Actuals written in a body that runs uncopied read the current instances
// of their declarations; they must read what a copy made at the call would.
bool bindActuals(UnitContext* ctx, function* fn, param* actuals, funcinst* frame) {
    if (!declarationBound(actuals)) return bindParameters(ctx, fn, actuals, frame);
    switch (bindPlanOf(fn, actuals)) {
    case BindPlan::InTurn:
        return bindParameters(ctx, fn, actuals, frame);
    case BindPlan::Ahead:
        return bindAhead(ctx, fn, actuals, frame);
    default:
        return bindCopies(ctx, fn, actuals, frame);
    }
}

void instantiateLocals(UnitContext* ctx, Block* block, Frame* frame, vdecl* stop) {
    for (vdecl* decl = block->decls; decl && decl != stop; decl = nextOf(decl)) {
        vinst* inst = c_vinst(ctx, decl);
        if (!inst) continue;
        addInstance(frame, inst);
        decl->current = inst;
    }
}

// Objects created in the call that were frozen into the background leave
// it before they are killed, so the background can be rebuilt without them.
void instantiateFunctionLocals(UnitContext* ctx, function* fn, funcinst* frame) {
    for (vdecl* decl = fn->decls; decl && decl != fn->firstParam; decl = nextOf(decl))
        if (vinst* inst = makeInstance(ctx, frame, decl)) decl->current = inst;
}

void unfreezeObjects(funcinst* frame) {
    for (WinObj* win = frame->windows; win; win = next2Of(win)) {
        if (win->staticFlag != 2) continue;
        win->staticFlag = 1;
        if (win->updateStatus < 4) win->updateStatus = 4;
    }
    for (GraphObj* graph = frame->graphs; graph; graph = next2Of(graph)) {
        if (graph->staticFlag != 2) continue;
        graph->staticFlag = 1;
        if (graph->updateStatus < 4) graph->updateStatus = 4;
    }
}

// Set while a returning call brings the screen up to date. The refresh
// recomputes attributes, and an attribute that calls a function would
// otherwise start another refresh when that function returns, and so on
// without end.
bool refreshing = false;

// A refresh with no attribute waiting, no attribute that calls functions
// and no frozen background (whose rebuilding leaves objects to redraw)
// would draw nothing; skipping it keeps calls cheap however many objects
// are on the screen.
bool screenMayChange(const LearnUnit* unit) {
    return unit && (unit->changedHead || unit->callAttrs || unit->freezeCount > 0);
}

void refreshAfterCall(UnitContext* ctx) {
    if (refreshing || !screenMayChange(ctx->learnUnit)) return;
    refreshing = true;
    refresh(ctx, 0);
    refreshing = false;
}

funcinst* enclosingFunctionFrame(Frame* frame) {
    for (Frame* f = frame ? frame->caller : nullptr; f; f = f->caller)
        if (funcinst* fn = functionFrame(f)) return fn;
    return nullptr;
}

}  // namespace

void i_function(UnitContext* ctx, function* fn, param* actuals, funcinst* frame) {
    setAliases(functionFrame(frame->caller), false);
    if (usesBlock(ctx, fn)) {
        takeBlock(ctx, fn, frame);
    } else {
        newSentinel(ctx, frame);
        saveCurrents(fn, frame);
    }
    if (!bindActuals(ctx, fn, actuals, frame)) return;
    setAliases(frame, true);
    instantiateFunctionLocals(ctx, fn, frame);
    if (runsUncopied(ctx, fn)) {
        frame->body = fn->body;
        frame->sharedBody = 1;
    } else {
        frame->body = i_simactions(ctx, fn->body, frame);
    }
}

void beginBlockCall(UnitContext* ctx, function* fn, funcinst* frame) {
    setAliases(functionFrame(frame->caller), false);
    takeBlock(ctx, fn, frame);
}

vinst* bindBlockInstance(UnitContext* ctx, funcinst* frame, vdecl* decl) {
    vinst* inst = makeInstance(ctx, frame, decl);
    if (inst) decl->current = inst;
    return inst;
}

void instantiateBlockLocals(UnitContext* ctx, function* fn, funcinst* frame) {
    instantiateFunctionLocals(ctx, fn, frame);
}

bool callsTakeBlock(const function* fn) { return fn->frameMode == 2; }

void bindCallerAliases(Frame* caller, bool bound) { setAliases(functionFrame(caller), bound); }

void refreshAfterReturn(UnitContext* ctx) { refreshAfterCall(ctx); }

// A call that made no objects, froze nothing and bound no element needs
// only its instances released and the current instances restored.
void leaveBlockCall(UnitContext* ctx, function* fn, funcinst* frame) {
    if (frame->windows || frame->graphs || frame->inputs || frame->freezeCount || frame->elemRefs ||
        frame->instances || !frame->sharedBody) {
        r_function(ctx, fn, frame);
        return;
    }
    setAliases(functionFrame(frame->caller), true);
    refreshAfterCall(ctx);
    releaseInstances(ctx, frame);
    frame->body = nullptr;
    restoreCurrents(fn, frame);
}

void r_function(UnitContext* ctx, function* fn, funcinst* frame) {
    setAliases(functionFrame(frame->caller), true);
    unfreezeObjects(frame);
    if (frame->freezeCount == 0) refreshAfterCall(ctx);
    f_winobj(ctx, frame->windows);
    f_graphobj(ctx, frame->graphs);
    f_inpobj(ctx, frame->inputs);
    frame->windows = nullptr;
    frame->graphs = nullptr;
    frame->inputs = nullptr;
    releaseInstances(ctx, frame);
    if (frame->freezeCount > 0) {
        if (funcinst* outer = enclosingFunctionFrame(frame)) {
            optOCleanup(ctx);
            if (ctx->learnUnit) ctx->learnUnit->freezeCount -= frame->freezeCount;
            statobjSetup(ctx, outer);
        }
    }
    if (!frame->sharedBody) f_simulate(ctx, frame->body, 0);
    frame->body = nullptr;
    restoreCurrents(fn, frame);
    for (elemref* ref = frame->elemRefs; ref; ref = nextOf(ref)) {
        ref->formal->alias = nullptr;
        f_intarray(ctx, ref->access);
    }
    f_fastlist(ctx, frame->elemRefs);
    frame->elemRefs = nullptr;
}

namespace {

void bindAttribute(UnitContext* ctx, objectproto* proto, attrparam* arg) {
    attrdecl* attr = nullptr;
    for (attrdecl* a = proto->attrs; a; a = nextOf(a))
        if (a->name && arg->name && std::strcmp(a->name, arg->name) == 0) {
            attr = a;
            break;
        }
    if (!attr) {
        report(ctx, formatMsg("Error: Illegal attribute %s", arg->name ? arg->name : ""));
        return;
    }
    switch (attr->kind) {
    case AK_EXPR:
        attr->expr = arg->expr;
        break;
    case AK_TRANSLATION:
        attr->expr = arg->isExpr ? arg->expr : nullptr;
        if (!arg->isExpr) attr->value = arg->value;
        break;
    case AK_POINTS:
        attr->points = arg->value.p;
        attr->count = arg->count;
        break;
    default:
        break;
    }
}

}  // namespace

void i_object(UnitContext* ctx, objectproto* proto, attrparam* args, objectinst* frame) {
    newSentinel(ctx, frame);
    for (attrparam* arg = args; arg; arg = nextOf(arg)) bindAttribute(ctx, proto, arg);
    instantiateLocals(ctx, proto, frame, nullptr);
    frame->body = i_simactions(ctx, proto->body, ctx->learnUnit ? ctx->learnUnit->objectContext : nullptr);
}

// The generator's instances outlive it: the objects it built read them,
// and those objects belong to the caller.
void r_object(UnitContext* ctx, objectproto*, objectinst* frame) {
    vinst* sentinel = frame->instances;
    Frame* caller = frame->caller;
    funcinst* callerFunction = functionFrame(caller);
    if (callerFunction && callerFunction->inBlock && !callerFunction->instances && sentinel && nextOf(sentinel))
        newSentinel(ctx, callerFunction);
    while (vinst* inst = sentinel ? nextOf(sentinel) : nullptr) {
        remove_at(inst);
        if (caller && caller->instances)
            place_next(caller->instances, inst);
        else
            f_vinst(ctx, inst);
    }
    poolFree(sentinel);
    frame->instances = nullptr;
    f_simulate(ctx, frame->body, 0);
    frame->body = nullptr;
}
