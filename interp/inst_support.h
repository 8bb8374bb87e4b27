// Node builders shared by instantiation and the simplifier.
#pragma once
#include <cstddef>

#include "core/messages.h"
#include "interp/records.h"
#include "present/objects.h"

// A zero-filled node with the flag and line, not yet typed.
op* newOp(UnitContext* ctx, int flag, int line);
// Gives the node its instance-bound state and value type.
op* finishOp(UnitContext* ctx, op* node);

// Evaluates an instance-bound tree now and returns the literal holding the
// value (int, float or text by `base`); the tree is freed.
op* literalNow(UnitContext* ctx, op* tree, int base, int line);
op* intLiteral(UnitContext* ctx, int value, int line);

// The element access a reference parameter bound to an array element
// stands for: the aliased array with each index fixed to its value now.
intarray* aliasAccess(UnitContext* ctx, intarray* alias, int line);

// The value of a reference to a point-list attribute: a T_ATTR node
// holding each point's coordinates, made by `each` from the declared ones.
template <class Each>
op* pointListNode(UnitContext* ctx, const attrdecl* attr, int line, Each each) {
    auto* list = mustNew<PointListValue>(ctx);
    auto* first = static_cast<pointdecl*>(attr->points);
    list->count = count_object(first);
    if (list->count > 0) {
        list->coords = static_cast<op**>(mustAlloc(ctx, 2 * std::size_t(list->count) * sizeof(op*)));
        std::size_t i = 0;
        for (pointdecl* point = first; point; point = nextOf(point)) {
            list->coords[i++] = each(point->x);
            list->coords[i++] = each(point->y);
        }
    }
    op* node = newOp(ctx, T_ATTR, line);
    node->left.points = list;
    return finishOp(ctx, node);
}

// The "#" routines: the operand is evaluated once, when its tree is
// instantiated.
bool isExprval(const op* node);
// The base type an "#" node yields (its flag's, or for an untyped node the
// operand's).
int exprvalBase(const op* node, const op* operand);
