// Evaluation of expression trees: instance-bound ones, and the
// declaration-bound bodies of functions that run without copying.
#pragma once
#include <cstdint>

#include "interp/records.h"

std::int32_t calculate(UnitContext* ctx, op* node);
double f_calculate(UnitContext* ctx, op* node);
// A new text the caller owns, or null after an error.
char* t_calc_dup(UnitContext* ctx, op* node);

std::int32_t el_in_array(UnitContext* ctx, intarray* access);
double el_fl_array(UnitContext* ctx, intarray* access);
char* el_txt_array(UnitContext* ctx, intarray* access);  // stored pointer
std::int32_t* elp_in_array(UnitContext* ctx, intarray* access);
double* elp_fl_array(UnitContext* ctx, intarray* access);

// Builtin calls; arguments written in a body that runs uncopied are bound
// for the call. builtinCalls counts them, so the statement interpreter can
// tell a statement that called one.
extern std::uint32_t builtinCalls;
std::int32_t callIntBuiltin(UnitContext* ctx, action* act);
double callFltBuiltin(UnitContext* ctx, action* act);
char* callTxtBuiltin(UnitContext* ctx, action* act);
double mod_op(UnitContext* ctx, op* target, double delta);
double set_op(UnitContext* ctx, op* target, double value);

// Queues every dependent attribute of the instance that is not queued yet
// on the current learn unit's changed queue. Most stores go to instances
// nothing depends on, so that test is made before any call.
void queueDependents(UnitContext* ctx, vinst* inst);
inline void update_changed_attr(UnitContext* ctx, vinst* inst) {
    if (inst && inst->dependents) queueDependents(ctx, inst);
}
