// Release of program records, one routine per kind, following ownership:
// declaration-bound records belong to the learn unit, instance-bound ones
// to the frame or object that made them.
#pragma once
#include "interp/records.h"

void f_oper(UnitContext* ctx, op* node);
void f_action(UnitContext* ctx, action* act);
void f_param(UnitContext* ctx, param* list);
void f_attrparam(UnitContext* ctx, attrparam* list);
void f_fparam(UnitContext* ctx, fparam* list);
void f_intarray(UnitContext* ctx, intarray* access);
// Statement lists with everything they hold; object declarations are
// killed only with `kill` (the learn unit's declaration-bound lists).
void f_simulate(UnitContext* ctx, simaction* list, int kill);
void f_vinst(UnitContext* ctx, vinst* inst);
// Frees what the instance owns (and its dependents' links), not the
// instance itself.
void empty_vinst(UnitContext* ctx, vinst* inst);
void f_vinsts(UnitContext* ctx, vinst* list);
void f_vinit(UnitContext* ctx, vinit* list);
void f_vdecl(UnitContext* ctx, vdecl* decl);
void f_variables(UnitContext* ctx, vdecl* list);
void f_constants(UnitContext* ctx, constant* list);
void f_functions(UnitContext* ctx, function* list);
void f_funcinst(UnitContext* ctx, funcinst* frame);
void f_objectinst(UnitContext* ctx, objectinst* frame);
void f_objectprotos(UnitContext* ctx, objectproto* list);
void f_blockinsts(UnitContext* ctx, LearnUnit* unit);
void f_notdecl(UnitContext* ctx, notdecl* list);
// Objects of a frame's lists (through their second links).
void f_winobj(UnitContext* ctx, WinObj* list);
void f_graphobj(UnitContext* ctx, GraphObj* list);
void f_inpobj(UnitContext* ctx, InpObj* list);
// Plain lists of nodes that own nothing.
void f_fastlist(UnitContext* ctx, ListNode* list);
void f_outlist(UnitContext* ctx, ListNode* list);
// Every program record of the learn unit.
void freesim(UnitContext* ctx, LearnUnit* unit);
