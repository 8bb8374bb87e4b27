// Functions whose bodies run as parsed, without a copy per call. Copying a
// body only resolves its variable references to the instances current at
// the call's start; while the body runs, those declarations keep the same
// current instances (every call that switches them restores them before it
// returns), so the evaluator can read them through the declarations
// instead. Bodies that copying changes in other ways ("#" operands
// evaluated at the start, attributes of a generic object, generator calls,
// reference parameters standing for array elements) keep being copied.
#pragma once
#include "interp/records.h"

// Decided once per function, at its first call.
bool runsUncopied(UnitContext* ctx, function* fn);

// How the actuals of a call written in an uncopied body are bound.
enum class BindPlan : std::uint8_t {
    // Evaluated in turn as each formal is bound: they read no formal of
    // the callee.
    InTurn = 1,
    // Evaluated before any formal is switched: they read formals of the
    // callee but have no effect besides their values and messages, and
    // every formal is bound by value.
    Ahead = 2,
    // Copied with their references resolved now, then bound as copies.
    Copied = 3,
};

// Decided once per call site (kept on the first actual).
BindPlan bindPlanOf(function* fn, param* actuals);

// True when the actuals were written in an uncopied body.
inline bool declarationBound(const param* actuals) {
    return actuals && actuals->expr && actuals->expr->type == DO_VDECL;
}
