// Argument access for builtin handlers. The call's argument list is the
// frame: typed accessors read the node under the cursor, check its type,
// evaluate it and advance; setters write results back into the variable
// or one-dimensional array element the argument names.
#include "interp/builtin_frame.h"

#include "app/context.h"
#include "core/alloc.h"
#include "core/messages.h"
#include "interp/access.h"
#include "interp/eval.h"
#include "interp/numeric.h"

namespace {

// The array instance of a whole-array argument with the expected number of
// dimensions; null after a reported error (the cursor then stays).
vinst* wholeArray(UnitContext* ctx, param* node, int argno, const char* fname, int flag, int ndims) {
    if (!node) {
        paramErrorDS(ctx, kNoLine, "arg %d (integer array) missing in function %s", argno, fname);
        return nullptr;
    }
    op* expr = node->expr;
    if (expr && expr->flag == flag && !expr->left.arr->indexes) {
        vinst* array = arrayInstance(expr->left.arr);
        if (array && array->decl && array->decl->ndims == ndims) return array;
        paramError(ctx, node->line, "Array is not one dimensional");
    }
    paramErrorDS(ctx, node->line, "arg %d wrong type (expected integer array) in function %s", argno, fname);
    return nullptr;
}

// The storage slot of the element a one-dimensional element argument names:
// only the first index is evaluated, and an index outside the array (or an
// argument that is no element) gives null.
void* elementSlot(UnitContext* ctx, op* expr, std::size_t size) {
    intarray* access = expr->left.arr;
    vinst* array = arrayInstance(access);
    if (!access->indexes || !array || !array->dims || !array->value.p) return nullptr;
    std::int32_t index = calculate(ctx, access->indexes->expr);
    if (index < 0 || index >= array->dims[0]) return nullptr;
    long offset = static_cast<long>(index) * array->dims[array->decl->ndims];
    return static_cast<char*>(array->value.p) + offset * size;
}

}  // namespace

std::int32_t getIntPar(UnitContext* ctx, param*& cursor, int argno, const char* fname) {
    if (!cursor) {
        paramErrorDS(ctx, kNoLine, "arg %d (integer) missing in function %s", argno, fname);
        return -1;
    }
    std::int32_t value;
    switch (par_type(ctx, cursor)) {
    case VT_INT:
        value = par_value(ctx, cursor);
        break;
    case VT_FLOAT:
        value = truncTowardZero(f_par_value(ctx, cursor));
        break;
    default:
        paramErrorDS(ctx, cursor->line, "arg %d wrong type (expected integer) in function %s", argno, fname);
        return -1;
    }
    cursor = nextOf(cursor);
    return value;
}

double getFltPar(UnitContext* ctx, param*& cursor, int argno, const char* fname) {
    if (!cursor) {
        paramErrorDS(ctx, kNoLine, "arg %d (float) missing in function %s", argno, fname);
        return -1.0;
    }
    double value;
    switch (par_type(ctx, cursor)) {
    case VT_INT:
        value = par_value(ctx, cursor);
        break;
    case VT_FLOAT:
        value = f_par_value(ctx, cursor);
        break;
    default:
        paramErrorDS(ctx, cursor->line, "arg %d wrong type (expected float) in function %s", argno, fname);
        return -1.0;
    }
    cursor = nextOf(cursor);
    return value;
}

char* getTextPar(UnitContext* ctx, param*& cursor, int argno, const char* fname) {
    if (!cursor) {
        paramErrorDS(ctx, kNoLine, "arg %d (text) missing in function %s", argno, fname);
        return nullptr;
    }
    if (par_type(ctx, cursor) != VT_TEXT) {
        paramErrorDS(ctx, cursor->line, "arg %d wrong type (text) in function %s", argno, fname);
        return nullptr;
    }
    char* value = t_par_value(ctx, cursor);
    cursor = nextOf(cursor);
    return value;
}

int getIntArrPar(UnitContext* ctx, param*& cursor, int argno, const char* fname, int ndims,
                 std::int32_t** storage, int* size) {
    *storage = nullptr;
    *size = 0;
    vinst* array = wholeArray(ctx, cursor, argno, fname, VT_INT_ARRAY, ndims);
    if (!array) return -1;
    *storage = array->value.ia;
    *size = array->dims ? array->dims[0] : 0;
    cursor = nextOf(cursor);
    return 0;
}

int getTextArrPar(UnitContext* ctx, param*& cursor, int argno, const char* fname, int ndims,
                  char*** storage, int* size) {
    *storage = nullptr;
    *size = 0;
    vinst* array = wholeArray(ctx, cursor, argno, fname, VT_TEXT_ARRAY, ndims);
    if (!array) return -1;
    *storage = array->value.ta;
    *size = array->dims ? array->dims[0] : 0;
    cursor = nextOf(cursor);
    return 0;
}

void checkPars(UnitContext* ctx, param* cursor, int count, const char* fname) {
    if (cursor)
        paramErrorDS(ctx, cursor->line, "more than %d args in function %s. Ignoring redundant.", count, fname);
}

int par_type(UnitContext*, param* node) { return node && node->expr ? node->expr->valtype : 0; }
std::int32_t par_value(UnitContext* ctx, param* node) { return calculate(ctx, node->expr); }
double f_par_value(UnitContext* ctx, param* node) { return f_calculate(ctx, node->expr); }
char* t_par_value(UnitContext* ctx, param* node) { return t_calc_dup(ctx, node->expr); }

void set_par_value(UnitContext* ctx, param* node, std::int32_t value) {
    op* expr = node ? node->expr : nullptr;
    if (!expr) return;
    if (expr->flag == 9) {
        vinst* inst = varInstance(expr);
        if (!inst) return;
        inst->value.i = value;
    } else if (expr->flag == 17) {
        auto* slot = static_cast<std::int32_t*>(elementSlot(ctx, expr, sizeof(std::int32_t)));
        if (!slot) return;
        *slot = value;
    } else {
        return;
    }
    update_changed_attr(ctx, lvalueInstance(expr));
}

void f_set_par_value(UnitContext* ctx, param* node, double value) {
    op* expr = node ? node->expr : nullptr;
    if (!expr) return;
    if (expr->flag == 10) {
        vinst* inst = varInstance(expr);
        if (!inst) return;
        inst->value.f = value;
    } else if (expr->flag == 18) {
        auto* slot = static_cast<double*>(elementSlot(ctx, expr, sizeof(double)));
        if (!slot) return;
        *slot = value;
    } else {
        return;
    }
    update_changed_attr(ctx, lvalueInstance(expr));
}

// Always takes ownership of `value`: it is stored, or freed when the
// argument names no text variable or element.
void t_set_par_value(UnitContext* ctx, param* node, char* value) {
    op* expr = node ? node->expr : nullptr;
    char** slot = nullptr;
    vinst* inst = expr && expr->flag == 11 ? varInstance(expr) : nullptr;
    if (inst)
        slot = &inst->value.t;
    else if (expr && expr->flag == 19)
        slot = static_cast<char**>(elementSlot(ctx, expr, sizeof(char*)));
    if (!slot) {
        TamFree(value);
        return;
    }
    TamFree(*slot);
    *slot = value ? value : dupText(ctx, "");
    update_changed_attr(ctx, lvalueInstance(expr));
}

void changed_par(UnitContext* ctx, param* node) {
    if (node && node->expr) update_changed_attr(ctx, lvalueInstance(node->expr));
}
