// Arguments of object-generator calls. They are copied when the calling
// body is instantiated; an argument that reads attributes of an enclosing
// generator is bound then to what those attributes stand for, since the
// enclosing generator's bindings change again when it calls itself.
#include "app/context.h"
#include "core/alloc.h"
#include "core/messages.h"
#include "interp/access.h"
#include "interp/inst_support.h"
#include "interp/instantiate.h"
#include "interp/pool.h"
#include "present/objects.h"

namespace {

// The generator attribute a T_ATTR node names, or null.
attrdecl* namedAttribute(op* node) {
    return node && (node->flag == T_ATTR || node->flag == T_ATTRIDX) ? node->left.attr : nullptr;
}

bool readsAttribute(const op* node) {
    if (!node) return false;
    switch (node->flag) {
    case T_ATTR:
    case T_ATTRIDX:
        return true;
    case 17:
    case 18:
    case 19:
        for (param* p = node->left.arr ? node->left.arr->indexes : nullptr; p; p = nextOf(p))
            if (readsAttribute(p->expr)) return true;
        return false;
    case 32:
    case 33:
    case 34:
    case 35:
    case 37:
    case 38:
    case 39:
        for (param* p = node->left.act ? node->left.act->args.params : nullptr; p; p = nextOf(p))
            if (readsAttribute(p->expr)) return true;
        return false;
    case 64:
    case 65:
    case 66:
    case 67:
        return readsAttribute(node->left.op) || readsAttribute(node->right);
    default:
        return false;
    }
}

op* boundCopy(UnitContext* ctx, const op* src, int depth);

param* boundParams(UnitContext* ctx, param* list, int depth) {
    param* head = nullptr;
    param* tail = nullptr;
    for (param* src = list; src; src = nextOf(src)) {
        param* copy = poolNew<param>(ctx);
        copy->line = src->line;
        copy->expr = boundCopy(ctx, src->expr, depth);
        appendTo(head, tail, copy);
    }
    return head;
}

// Bindings are at most this many attributes deep; a deeper (cyclic) one
// stands for 0.
constexpr int kMaxBindingDepth = 64;

// A declaration-bound copy of an argument expression in which every
// attribute of the enclosing generator is replaced by what it is bound to
// now. The binding is fixed while the enclosing generator runs, so a
// generator that passes `depth - 1` on to itself binds the inner `depth`
// to the outer value instead of to itself.
op* boundCopy(UnitContext* ctx, const op* src, int depth) {
    if (!src) return nullptr;
    if (src->flag == T_ATTR || src->flag == T_ATTRIDX) {
        attrdecl* attr = src->left.attr;
        op* bound = attr && attr->kind == AK_EXPR ? attr->expr : nullptr;
        if (!bound || depth >= kMaxBindingDepth) {
            op* zero = newOp(ctx, 1, src->line);
            zero->type = DO_VDECL;
            zero->valtype = VT_INT;
            return zero;
        }
        return boundCopy(ctx, bound, depth + 1);
    }
    op* node = poolNew<op>(ctx);
    *node = *src;
    node->evalClass = 0;
    switch (src->flag) {
    case 3:
        node->left.t = dupText(ctx, src->left.t);
        break;
    case 17:
    case 18:
    case 19: {
        intarray* access = poolNew<intarray>(ctx);
        *access = *src->left.arr;
        access->indexes = boundParams(ctx, src->left.arr->indexes, depth);
        node->left.arr = access;
        break;
    }
    case 32:
    case 33:
    case 34:
    case 35:
    case 37:
    case 38:
    case 39: {
        action* act = poolNew<action>(ctx);
        *act = *src->left.act;
        act->args.params = boundParams(ctx, src->left.act->args.params, depth);
        node->left.act = act;
        break;
    }
    case 64:
    case 65:
    case 66:
    case 67:
        node->left.op = boundCopy(ctx, src->left.op, depth);
        node->right = boundCopy(ctx, src->right, depth);
        break;
    default:
        node->right = nullptr;
        break;
    }
    return node;
}

// An argument that passes on attributes of the enclosing generator takes
// their bindings as they stand now, while the enclosing generator runs.
void resolvePassedAttributes(UnitContext* ctx, attrparam* copy) {
    if (copy->kind == AK_EXPR) {
        if (readsAttribute(copy->expr)) {
            copy->expr = boundCopy(ctx, copy->expr, 0);
            copy->isCopy = kOwnsExpression;
        }
        return;
    }
    attrdecl* outer = copy->isExpr ? namedAttribute(copy->expr) : nullptr;
    if (!outer) return;
    if (copy->kind == AK_TRANSLATION) {
        copy->value = outer->value;
        copy->expr = outer->expr;
        copy->isExpr = outer->expr != nullptr;
    } else if (copy->kind == AK_POINTS) {
        copy->value.p = outer->points;
        copy->count = outer->count;
        copy->expr = nullptr;
        copy->isExpr = 0;
    }
}

}  // namespace

attrparam* i_attrparam(UnitContext* ctx, attrparam* list) {
    attrparam* head = nullptr;
    attrparam* tail = nullptr;
    for (attrparam* src = list; src; src = nextOf(src)) {
        attrparam* copy = mustNew<attrparam>(ctx);
        copy->kind = src->kind;
        copy->isExpr = src->isExpr;
        copy->name = src->name ? dupText(ctx, src->name) : nullptr;
        copy->expr = src->expr;
        copy->value = src->value;
        copy->count = src->count;
        copy->isCopy = 1;
        resolvePassedAttributes(ctx, copy);
        appendTo(head, tail, copy);
    }
    return head;
}

