// The statement interpreter: starting a program at main, running statement
// lists, calls of user functions and object generators, return, and the
// per-statement event service that keeps the player responsive while a
// program computes. An error anywhere sets RS_STOP, which ends every
// statement list and unwinds every active call.
#include "interp/simulate.h"

#include <sys/time.h>
#include <unistd.h>

#include <cstring>

#include "app/context.h"
#include "app/events.h"
#include "core/alloc.h"
#include "core/messages.h"
#include "interp/access.h"
#include "interp/callstack.h"
#include "interp/compiled.h"
#include "interp/eval.h"
#include "interp/instantiate.h"
#include "interp/pool.h"
#include "present/objects.h"

std::uint64_t lastFrameSerial = 0;

namespace {

void serveEvents(UnitContext* ctx) { TamServeEvents(ctx); }

long long nowMillis() {
    timeval tv{};
    gettimeofday(&tv, nullptr);
    return static_cast<long long>(tv.tv_sec) * 1000 + tv.tv_usec / 1000;
}

void tooDeep(UnitContext* ctx, const char* what, const char* name) {
    errorMsg(ctx, MSG_ERROR, formatMsg("Error: Recursion too deep in call on %s '%s'", what, name ? name : "").c_str());
}

}  // namespace

namespace statement_service {
int countdown = kStatementsPerService;
void serve(UnitContext* ctx) { serveEvents(ctx); }
}  // namespace statement_service

Returning returningOf(LearnUnit* unit) { return {unit->returningFrame, unit->returningSerial}; }

void endReturn(UnitContext* ctx, LearnUnit* unit, Frame* frame, Returning saved) {
    if (unit->returningFrame != frame || unit->returningSerial != frame->serial) return;
    ctx->runState &= ~RS_STOP;
    unit->returningFrame = saved.frame;
    unit->returningSerial = saved.serial;
}

void tooDeepInFunction(UnitContext* ctx, function* fn) { tooDeep(ctx, "function", fn->name); }

// The value is taken out of the function's slot before the frame is
// released, so calls made while the screen is brought up to date cannot
// overwrite it.
Value callFunction(UnitContext* ctx, function* fn, param* args) {
    LearnUnit* unit = ctx->learnUnit;
    if (!unit || !fn) return {};
    if (stackNearlyFull()) {
        tooDeep(ctx, "function", fn->name);
        return {};
    }
    funcinst* frame = poolNew<funcinst>(ctx);
    frame->owner = fn;
    frame->caller = unit->currentFrame;
    frame->serial = ++lastFrameSerial;
    Returning saved = returningOf(unit);
    i_function(ctx, fn, args, frame);
    Frame* savedContext = unit->objectContext;
    unit->currentFrame = frame;
    unit->objectContext = frame;
    if (!runCompiledBody(ctx, fn, frame)) simulate(ctx, frame->body);
    endReturn(ctx, unit, frame, saved);
    Value result = fn->retval;
    fn->retval = {};
    r_function(ctx, fn, frame);
    unit->currentFrame = frame->caller;
    unit->objectContext = savedContext;
    poolFree(frame);
    return result;
}

namespace {

void runCall(UnitContext* ctx, action* act) {
    switch (act->type) {
    case 32:
        FUNC(ctx, act->target.fn, act->args.params);
        break;
    case ACT_FUNC_INT:
        IntFunc(ctx, act->target.fn, act->args.params);
        break;
    case ACT_FUNC_FLOAT:
        FloatFunc(ctx, act->target.fn, act->args.params);
        break;
    case ACT_FUNC_TEXT:
        TamFree(TextFunc(ctx, act->target.fn, act->args.params));
        break;
    case ACT_BUILTIN_INT:
        callIntBuiltin(ctx, act);
        break;
    case ACT_BUILTIN_FLOAT:
        callFltBuiltin(ctx, act);
        break;
    case ACT_BUILTIN_TEXT:
        TamFree(callTxtBuiltin(ctx, act));
        break;
    case ACT_OBJECT:
        GenObject(ctx, act->target.proto, act->args.attrs);
        break;
    default:
        errorMsg(ctx, MSG_ERROR, formatMsg("Internal error: Unknown function type '%c' in simulate()", act->type).c_str());
        break;
    }
}

void evaluate(UnitContext* ctx, op* expr) {
    switch (expr->valtype) {
    case VT_INT:
        calculate(ctx, expr);
        break;
    case VT_FLOAT:
        f_calculate(ctx, expr);
        break;
    case VT_TEXT:
        TamFree(t_calc_dup(ctx, expr));
        break;
    default:
        // A call of a function that returns nothing.
        if (expr->flag == T_FUNC) FUNC(ctx, expr->left.act->target.fn, expr->left.act->args.params);
        break;
    }
}

// The value goes into the slot of the function the statement's frame
// belongs to; a statement of a body that runs uncopied belongs to the
// running call. A return whose expression failed does not count as a
// return: the error must go on unwinding instead of being cleared by the
// call this return would leave.
void doReturn(UnitContext* ctx, simaction* s) {
    LearnUnit* unit = ctx->learnUnit;
    Frame* frame = s->frame ? s->frame : unit ? unit->currentFrame : nullptr;
    bool isFunction = frame && frame->owner && frame->owner->blockKind == BLOCK_FUNCTION;
    function* fn = isFunction ? static_cast<function*>(frame->owner) : nullptr;
    int rettype = fn ? fn->rettype : 0;
    Value value{};
    switch (rettype) {
    case VT_INT:
        value.i = calculate(ctx, s->retexpr);
        break;
    case VT_FLOAT:
        value.f = f_calculate(ctx, s->retexpr);
        break;
    case VT_TEXT:
        value.t = t_calc_dup(ctx, s->retexpr);
        break;
    default:
        errorMsg(ctx, MSG_ERROR, formatMsg("Internal error: Unknown rettype '%d' in simulate", rettype).c_str());
        return;
    }
    if (halted(ctx) || !unit) {
        if (rettype == VT_TEXT) TamFree(value.t);
        return;
    }
    if (rettype == VT_TEXT) TamFree(fn->retval.t);
    fn->retval = value;
    unit->returningFrame = frame;
    unit->returningSerial = frame->serial;
    ctx->runState |= RS_STOP;
}

void createObject(UnitContext* ctx, simaction* s) {
    Frame* context = ctx->learnUnit ? ctx->learnUnit->objectContext : nullptr;
    if (s->winobj)
        create_winobj(ctx, context, s->winobj);
    else if (s->graphobj)
        create_graphobj(ctx, context, s->graphobj);
    else if (s->inpobj)
        create_inpobj(ctx, context, s->inpobj);
}

struct Start {
    UnitContext* ctx;
    LearnUnit* unit;
};

function* findMain(LearnUnit* unit) {
    for (function* fn = unit->functions; fn; fn = nextOf(fn))
        if (fn->name && std::strcmp(fn->name, "main") == 0) return fn;
    return nullptr;
}

void runProgram(void* data) {
    auto* start = static_cast<Start*>(data);
    UnitContext* ctx = start->ctx;
    LearnUnit* unit = start->unit;
    vinst* tail = static_cast<vinst*>(last(unit->globals));
    for (vdecl* decl = unit->decls; decl; decl = nextOf(decl)) {
        vinst* inst = c_vinst(ctx, decl);
        if (!inst) continue;
        appendTo(unit->globals, tail, inst);
        decl->current = inst;
    }
    unit->startTime = nowMillis();
    function* mainFn = findMain(unit);
    if (!mainFn)
        errorMsg(ctx, MSG_ERROR, "No main function in kiv file");
    else
        IntFunc(ctx, mainFn, nullptr);
}

}  // namespace

void start_sim(UnitContext* ctx, LearnUnit* unit) {
    if (halted(ctx) || !unit) return;
    Start start{ctx, unit};
    runOnInterpreterStack(runProgram, &start);
}

void waitWhileTyping(UnitContext* ctx) {
    while (ctx->urlFieldHasFocus && !halted(ctx)) {
        serveEvents(ctx);
        usleep(10000);
    }
}

bool runStatement(UnitContext* ctx, simaction* s) {
    if (s->nested) {
        simaction* control = s->nested;
        if (control->control)
            control->control(ctx, control);
        else
            simulate(ctx, control);
    } else if (s->call) {
        runCall(ctx, s->call);
    } else if (s->expr) {
        evaluate(ctx, s->expr);
    } else if (s->retexpr) {
        doReturn(ctx, s);
        return false;
    } else {
        createObject(ctx, s);
    }
    return true;
}

void simulate(UnitContext* ctx, simaction* list) {
    if (ctx->urlFieldHasFocus) waitWhileTyping(ctx);
    if (halted(ctx)) return;
    for (simaction* s = list; s; s = nextOf(s)) {
        std::uint32_t builtinsBefore = builtinCalls;
        if (!runStatement(ctx, s)) return;
        if (halted(ctx)) return;
        serveEventsAfter(ctx, builtinsBefore);
    }
}

void FUNC(UnitContext* ctx, function* fn, param* args) {
    Value value = callFunction(ctx, fn, args);
    if (fn && fn->rettype == VT_TEXT) TamFree(value.t);
}

std::int32_t IntFunc(UnitContext* ctx, function* fn, param* args) { return callFunction(ctx, fn, args).i; }

double FloatFunc(UnitContext* ctx, function* fn, param* args) { return callFunction(ctx, fn, args).f; }

char* TextFunc(UnitContext* ctx, function* fn, param* args) {
    char* text = callFunction(ctx, fn, args).t;
    return text ? text : dupText(ctx, "");
}

void GenObject(UnitContext* ctx, objectproto* proto, attrparam* args) {
    LearnUnit* unit = ctx->learnUnit;
    if (!unit || !proto) return;
    if (stackNearlyFull()) {
        tooDeep(ctx, "object generator", proto->name);
        return;
    }
    objectinst* frame = poolNew<objectinst>(ctx);
    frame->owner = proto;
    frame->caller = unit->currentFrame;
    frame->serial = ++lastFrameSerial;
    Returning saved = returningOf(unit);
    i_object(ctx, proto, args, frame);
    unit->currentFrame = frame;
    simulate(ctx, frame->body);
    endReturn(ctx, unit, frame, saved);
    r_object(ctx, proto, frame);
    unit->currentFrame = frame->caller;
    poolFree(frame);
}

void set_time(UnitContext* ctx) {
    if (ctx->learnUnit) ctx->learnUnit->startTime = nowMillis();
}
