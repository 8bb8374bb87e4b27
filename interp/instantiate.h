// Instantiation: turning the declaration-bound records of a parsed program
// into the instance-bound records that run, at the start of the
// simulation, at every call of a function or object generator, and when a
// statement creates an object. Everything a call needs passes through this
// narrow interface, so the copying scheme can change behind it.
#pragma once
#include "interp/records.h"

// A new instance of the declaration with its storage built and initialised;
// null after a reported error.
vinst* c_vinst(UnitContext* ctx, vdecl* decl);
// The same in a zero-filled instance the caller provides; false after a
// reported error, with the instance left owning nothing.
bool fill_vinst(UnitContext* ctx, vdecl* decl, vinst* inst);

op* i_oper(UnitContext* ctx, op* node);
action* i_action(UnitContext* ctx, action* act);
param* i_param(UnitContext* ctx, param* list);
attrparam* i_attrparam(UnitContext* ctx, attrparam* list);
intarray* i_intarray(UnitContext* ctx, intarray* access);
simaction* i_simactions(UnitContext* ctx, simaction* list, Frame* frame);

// Start of a call: instances, parameter binding (actuals evaluated here, in
// formal order), locals, the body. A failed binding leaves the body empty.
void i_function(UnitContext* ctx, function* fn, param* actuals, funcinst* frame);
// End of a call: the call's objects are killed, its instances freed and the
// declarations' previous current instances restored.
void r_function(UnitContext* ctx, function* fn, funcinst* frame);

// The same for a call whose body runs compiled, in steps: the block is
// taken (the current instances saved) before the caller binds the formals
// one by one with blockInstance, then the locals get their instances.
// leaveBlockCall ends the call as r_function does.
void beginBlockCall(UnitContext* ctx, function* fn, funcinst* frame);
// An instance in the call's block, made current for the declaration; null
// after a reported error.
vinst* bindBlockInstance(UnitContext* ctx, funcinst* frame, vdecl* decl);
void instantiateBlockLocals(UnitContext* ctx, function* fn, funcinst* frame);
void leaveBlockCall(UnitContext* ctx, function* fn, funcinst* frame);
// Element references of the calling function stand for their elements
// only while it runs, not while it is calling.
void bindCallerAliases(Frame* caller, bool bound);
// Brings the screen up to date after a call when anything may have changed.
void refreshAfterReturn(UnitContext* ctx);
// Whether the function's calls take a block; decided at its first call.
bool callsTakeBlock(const function* fn);

void i_object(UnitContext* ctx, objectproto* proto, attrparam* args, objectinst* frame);
void r_object(UnitContext* ctx, objectproto* proto, objectinst* frame);

// Object instances created by a statement, linked into the frame's lists.
void create_winobj(UnitContext* ctx, Frame* frame, WinObj* decl);
void create_graphobj(UnitContext* ctx, Frame* frame, GraphObj* decl);
void create_inpobj(UnitContext* ctx, Frame* frame, InpObj* decl);
