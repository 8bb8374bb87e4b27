// Node builders shared by instantiation and the simplifier.
#pragma once
#include "interp/records.h"

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

// The "#" routines: the operand is evaluated once, when its tree is
// instantiated.
bool isExprval(const op* node);
// The base type an "#" node yields (its flag's, or for an untyped node the
// operand's).
int exprvalBase(const op* node, const op* operand);
