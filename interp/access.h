// Locating array elements and owning texts: the helpers that the
// evaluator, the assignment routines and the builtin frame share.
#pragma once
#include <cstdint>

#include "interp/records.h"

// How a missing index is reported: the integer read reports through
// paramError on the first index node, everything else through errorMsg.
enum class TooFewReport { ParamError, ErrorMsg };

// Offset of the element that the access record names, in elements of the
// array's storage; -1 after a reported error (too few indexes, an index
// out of bounds). Indexes beyond the array's dimensions are not evaluated.
long elementOffset(UnitContext* ctx, intarray* access, TooFewReport report);

// Reports an index outside its dimension.
[[gnu::cold]] void indexOutOfBounds(UnitContext* ctx, const param* index, const vinst* array, long i);

// Number of elements of an array instance.
long elementCount(const vinst* array);

// A new copy of the text; null stands for the empty text.
char* dupText(UnitContext* ctx, const char* text);

// Queues the dependents of the instance an lvalue node stores into.
vinst* lvalueInstance(op* target);

// The instance a variable node reads and writes: fixed in an instance-bound
// tree, the declaration's current one in a body that runs uncopied. Null
// when the declaration has no instance.
inline vinst* varInstance(const op* node) {
    return node->type == DO_VDECL ? node->left.decl->current : node->left.inst;
}

inline vinst* arrayInstance(const intarray* access) {
    if (access->type != DO_VDECL) return access->array.inst;
    return access->array.decl ? access->array.decl->current : nullptr;
}

// Reports a variable node whose declaration has no instance.
void noInstance(UnitContext* ctx, const op* node);
