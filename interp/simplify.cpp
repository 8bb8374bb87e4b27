// The simplifier of attribute expressions. It copies a declaration-bound
// tree as instantiation does, but registers the attribute on every
// variable instance the tree reads and folds what reads none into a
// literal, so that redrawing evaluates as little as possible.
#include "interp/simplify.h"

#include "app/context.h"
#include "app/shutdown.h"
#include "core/alloc.h"
#include "core/messages.h"
#include "interp/inst_support.h"
#include "interp/instantiate.h"
#include "interp/pool.h"
#include "interp/operators.h"
#include "interp/release.h"
#include "present/objects.h"

namespace {

// The parser never builds what these report; they end the player.
[[noreturn]] void fatal(UnitContext* ctx, const std::string& text) {
    errorMsg(ctx, MSG_FATAL, text.c_str());
    c_exit(ctx, 1);
}

template <class F>
bool is(OperRoutine routine, F* fn) {
    return routine.any == reinterpret_cast<void*>(fn);
}

bool truthy(const op* literal) {
    if (literal->flag == VT_INT) return literal->left.i != 0;
    if (literal->flag == VT_FLOAT) return literal->left.f != 0.0;
    return true;
}

op* fold(UnitContext* ctx, op* src, int* constant) {
    *constant = 1;
    return literalNow(ctx, i_oper(ctx, src), src->flag & 3, src->line);
}

op* variable(UnitContext* ctx, op* src, Attrib* attr, int* constant) {
    *constant = 0;
    vdecl* decl = src->left.decl;
    if (decl->alias) {
        op* node = newOp(ctx, T_ARRAY + (src->flag & 3), src->line);
        node->left.arr = aliasAccess(ctx, decl->alias, src->line);
        addattr(ctx, node->left.arr->array.inst, attr);
        return finishOp(ctx, node);
    }
    if (!decl->current) {
        errorMsg(ctx, MSG_ERROR, formatMsg("Internal error: Variable %s has no instance", decl->name).c_str());
        *constant = 1;
        return intLiteral(ctx, 0, src->line);
    }
    op* node = newOp(ctx, src->flag, src->line);
    node->left.inst = decl->current;
    addattr(ctx, decl->current, attr);
    return finishOp(ctx, node);
}

// An element or whole-array access on the array's current instance, with
// the given index list simplified.
op* arrayAccess(UnitContext* ctx, int flag, int line, intarray* src, param* indexes, Attrib* attr, int* call) {
    op* node = newOp(ctx, flag, line);
    intarray* access = poolNew<intarray>(ctx);
    access->type = DO_VINST;
    access->array.inst = src->type == DO_VINST ? src->array.inst : src->array.decl ? src->array.decl->current : nullptr;
    access->indexes = SimplifyParam(ctx, indexes, attr, call);
    node->left.arr = access;
    addattr(ctx, access->array.inst, attr);
    return finishOp(ctx, node);
}

op* call(UnitContext* ctx, op* src, Attrib* attr, int* constant, int* hasCall) {
    *constant = 0;
    *hasCall = 1;
    op* node = newOp(ctx, src->flag, src->line);
    node->left.act = SimplifyAction(ctx, src->left.act, attr, hasCall);
    return finishOp(ctx, node);
}

// A constant true left operand of || (or false one of &&) decides the
// node at once; any other constant left operand leaves the right operand
// to follow its variables, so the attribute keeps tracking them.
op* operatorNode(UnitContext* ctx, op* src, Attrib* attr, int* constant, int* hasCall) {
    if (isExprval(src)) return fold(ctx, src, constant);
    int leftConstant = 0, rightConstant = 1;
    op* left = SimplifyOper(ctx, src->left.op, attr, &leftConstant, hasCall);
    bool isOr = is(src->routine, l_or) || is(src->routine, r_or);
    bool isAnd = is(src->routine, l_and) || is(src->routine, r_and);
    if (leftConstant && ((isOr && truthy(left)) || (isAnd && !truthy(left)))) {
        f_oper(ctx, left);
        return fold(ctx, src, constant);
    }
    op* right = src->right ? SimplifyOper(ctx, src->right, attr, &rightConstant, hasCall) : nullptr;
    if (leftConstant && rightConstant) {
        f_oper(ctx, left);
        f_oper(ctx, right);
        return fold(ctx, src, constant);
    }
    op* node = newOp(ctx, src->flag, src->line);
    node->routine = src->routine;
    node->left.op = left;
    node->right = right;
    *constant = 0;
    return finishOp(ctx, node);
}

op* attributeReference(UnitContext* ctx, op* src, Attrib* attr, int* constant, int* hasCall) {
    attrdecl* decl = src->left.attr;
    if (decl && decl->kind == AK_POINTS) {
        *constant = 1;
        return pointListNode(ctx, decl, src->line, [&](op* coord) {
            if (!coord) return intLiteral(ctx, 0, 0);
            int coordConstant = 1;
            op* simplified = SimplifyOper(ctx, coord, attr, &coordConstant, hasCall);
            if (!coordConstant) *constant = 0;
            return simplified;
        });
    }
    op* bound = decl ? decl->expr : nullptr;
    if (!bound) {
        *constant = 1;
        return intLiteral(ctx, 0, src->line);
    }
    bool arrayRef = bound->flag >= 17 && bound->flag <= 19;
    if (src->flag == T_ATTRIDX && arrayRef && src->right && src->right->left.arr) {
        *constant = 0;
        return arrayAccess(ctx, bound->flag, src->line, bound->left.arr, src->right->left.arr->indexes, attr,
                           hasCall);
    }
    return SimplifyOper(ctx, bound, attr, constant, hasCall);
}

}  // namespace

op* SimplifyOper(UnitContext* ctx, op* src, Attrib* attr, int* constant, int* hasCall) {
    if (!src) {
        *constant = 1;
        return nullptr;
    }
    if (src->type == DO_VINST) fatal(ctx, "Internal error: op->type == DO_VINST on entry(optimize).\n");
    switch (src->flag) {
    case 1:
    case 2:
    case 3:
    case 5:
    case 6:
    case 7:
        *constant = 1;
        return i_oper(ctx, src);
    case 9:
    case 10:
    case 11:
        return variable(ctx, src, attr, constant);
    case 17:
    case 18:
    case 19:
        *constant = 0;
        return arrayAccess(ctx, src->flag, src->line, src->left.arr, src->left.arr->indexes, attr, hasCall);
    case 32:
    case 33:
    case 34:
    case 35:
    case 37:
    case 38:
    case 39:
        return call(ctx, src, attr, constant, hasCall);
    case 64:
        if (isExprval(src)) {
            *constant = 1;
            return i_oper(ctx, src);
        }
        fatal(ctx, "Internal error: Illegal T_OPER in optimize");
    case 65:
    case 66:
    case 67:
        return operatorNode(ctx, src, attr, constant, hasCall);
    case T_ATTR:
    case T_ATTRIDX:
        return attributeReference(ctx, src, attr, constant, hasCall);
    default:
        fatal(ctx, formatMsg("Internal error: Unknown op->flag: '%d' (optimize).\n", src->flag));
    }
}

param* SimplifyParam(UnitContext* ctx, param* list, Attrib* attr, int* hasCall) {
    param* head = nullptr;
    param* tail = nullptr;
    for (param* src = list; src; src = nextOf(src)) {
        param* copy = poolNew<param>(ctx);
        copy->line = src->line;
        int constant = 0;
        copy->expr = SimplifyOper(ctx, src->expr, attr, &constant, hasCall);
        appendTo(head, tail, copy);
    }
    return head;
}

attrparam* SimplifyAttrparam(UnitContext* ctx, attrparam* list, Attrib*, int*) { return i_attrparam(ctx, list); }

action* SimplifyAction(UnitContext* ctx, action* src, Attrib* attr, int* hasCall) {
    action* act = poolNew<action>(ctx);
    act->type = src->type;
    act->line = src->line;
    act->target = src->target;
    switch (src->type) {
    case ACT_OBJECT:
        act->args.attrs = SimplifyAttrparam(ctx, src->args.attrs, attr, hasCall);
        break;
    case 32:
    case ACT_FUNC_INT:
    case ACT_FUNC_FLOAT:
    case ACT_FUNC_TEXT:
    case ACT_BUILTIN_INT:
    case ACT_BUILTIN_FLOAT:
    case ACT_BUILTIN_TEXT:
        act->args.params = SimplifyParam(ctx, src->args.params, attr, hasCall);
        break;
    default:
        fatal(ctx, formatMsg("Internal error: Unknown function type '%c' in SimplifyAction().\n", src->type));
    }
    return act;
}

// The instance's mark that all its dependents are queued stays: every
// caller queues the new attribute as soon as it is built. Clearing it
// here made each store into a variable that a loop's objects read walk
// all the objects made so far.
void addattr(UnitContext* ctx, vinst* inst, Attrib* attr) {
    if (!inst || !attr) return;
    depnode* dep = mustNew<depnode>(ctx);
    dep->attr = attr;
    pushFront(inst->dependents, dep);
    srclink* link = mustNew<srclink>(ctx);
    link->dep = dep;
    link->inst = inst;
    pushFront(attr->sources, link);
}
