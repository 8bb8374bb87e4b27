// Simplification of attribute expressions when an object is created: each
// variable reference is bound to its current instance and registered as a
// source of the attribute, and every subtree that reads no variable and
// calls nothing is folded into a constant.
#pragma once
#include "interp/records.h"

// `constant` is set to 1 for a constant result and 0 otherwise; `call` is
// set to 1 when the expression calls a function (never cleared).
op* SimplifyOper(UnitContext* ctx, op* node, Attrib* attr, int* constant, int* call);
param* SimplifyParam(UnitContext* ctx, param* list, Attrib* attr, int* call);
attrparam* SimplifyAttrparam(UnitContext* ctx, attrparam* list, Attrib* attr, int* call);
action* SimplifyAction(UnitContext* ctx, action* act, Attrib* attr, int* call);

// Registers the attribute as a dependent of the instance.
void addattr(UnitContext* ctx, vinst* inst, Attrib* attr);
