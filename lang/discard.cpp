// Release of the records a failed or trial parse leaves behind: partly
// built expressions, argument lists, initializers and statements. A
// discarded call of a not yet declared function also leaves the queue of
// forward calls, so that back-patching never touches freed memory.
#include "app/context.h"
#include "core/alloc.h"
#include "lang/orvx_parser.h"
#include "present/objmodel.h"

namespace {

// The call was queued last or nearly so: search from the queue's end.
void dropForwardCall(UnitContext* ctx, op* node) {
    LearnUnit* unit = ctx->learnUnit;
    if (!unit || !unit->forwardCalls) return;
    ParserState* parser = ctx->parserState;
    notdecl* end = parser && parser->forwardTail && !parser->forwardTail->next
                       ? parser->forwardTail
                       : static_cast<notdecl*>(last(unit->forwardCalls));
    for (notdecl* nd = end; nd; nd = prevOf(nd)) {
        if (nd->node != node) continue;
        if (parser && parser->forwardTail == nd) parser->forwardTail = prevOf(nd);
        unlinkFrom(unit->forwardCalls, nd);
        TamFree(nd->name);
        TamFree(nd);
        return;
    }
}

void discardAttrArgs(UnitContext* ctx, attrparam* list) {
    while (attrparam* arg = list) {
        list = nextOf(arg);
        if (arg->expr)
            discardOp(ctx, arg->expr);
        else if (arg->kind == AK_POINTS)
            discardPoints(ctx, static_cast<pointdecl*>(arg->value.p));
        else if (arg->kind == AK_TRANSLATION)
            discardTranslations(ctx, static_cast<translation*>(arg->value.p));
        TamFree(arg->name);
        TamFree(arg);
    }
}

void discardCall(UnitContext* ctx, action* call) {
    if (!call) return;
    if (call->type == ACT_OBJECT)
        discardAttrArgs(ctx, call->args.attrs);
    else
        discardParams(ctx, call->args.params);
    TamFree(call);
}

}  // namespace

void discardPoints(UnitContext* ctx, pointdecl* list) {
    while (pointdecl* point = list) {
        list = nextOf(point);
        discardOp(ctx, point->x);
        discardOp(ctx, point->y);
        TamFree(point);
    }
}

void discardOp(UnitContext* ctx, op* node) {
    if (!node) return;
    switch (accessMethod(node->flag)) {
    case T_CONST:
        if (node->flag == int(T_CONST) + VT_TEXT) TamFree(node->left.t);
        break;
    case T_ARRAY:
        if (node->left.arr) discardParams(ctx, node->left.arr->indexes);
        TamFree(node->left.arr);
        break;
    case T_FUNC:
        if (node->left.act && !node->left.act->target.fn) dropForwardCall(ctx, node);
        discardCall(ctx, node->left.act);
        break;
    case T_BUILTIN: discardCall(ctx, node->left.act); break;
    case T_OPER:
        discardOp(ctx, node->left.op);
        discardOp(ctx, node->right);
        break;
    default: break;
    }
    TamFree(node);
}

void discardParams(UnitContext* ctx, param* list) {
    while (param* p = list) {
        list = nextOf(p);
        discardOp(ctx, p->expr);
        TamFree(p);
    }
}

void discardInits(UnitContext* ctx, vinit* list) {
    while (vinit* init = list) {
        list = nextOf(init);
        discardInits(ctx, init->nested);
        discardOp(ctx, init->expr);
        TamFree(init);
    }
}

// Their actions may call functions declared later, so they go the way of
// statements rather than through the release family.
void discardTranslations(UnitContext* ctx, translation* list) {
    while (translation* trans = list) {
        list = nextOf(trans);
        discardStatements(ctx, trans->actions);
        f_events(ctx, trans->events);
        TamFree(trans);
    }
}

void discardStatements(UnitContext* ctx, simaction* list) {
    while (simaction* s = list) {
        list = nextOf(s);
        discardStatements(ctx, s->nested);
        discardCall(ctx, s->call);
        discardOp(ctx, s->expr);
        discardOp(ctx, s->cond);
        discardOp(ctx, s->retexpr);
        if (s->winobj) killWinObj(ctx, s->winobj);
        if (s->graphobj) killGraphObj(ctx, s->graphobj);
        if (s->inpobj) killInpObj(ctx, s->inpobj);
        TamFree(s);
    }
}
