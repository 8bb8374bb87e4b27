// The operator routines that operator nodes carry: arithmetic, comparison
// and logic by result family (l_ int, r_ float, t_ text), and the
// assignments, increments and compound assignments, which store into the
// variable or element named by the node's left operand and queue the
// attributes that depend on it.
#include "interp/operators.h"

#include <cmath>
#include <cstring>

#include "app/context.h"
#include "core/alloc.h"
#include "core/messages.h"
#include "interp/access.h"
#include "interp/eval.h"
#include "interp/numeric.h"

namespace {

void report(UnitContext* ctx, const std::string& text) { errorMsg(ctx, MSG_ERROR, text.c_str()); }

void divisionByZero(UnitContext* ctx, op* node) {
    report(ctx, formatMsg("Error: Division by zero in line %d\n", node->line));
}

void illegalLvalue(UnitContext* ctx, op* node, const char* routine) {
    report(ctx, formatMsg("Error line %d: Illegal lvalue in %s", node->line, routine));
}

// Stores a number into the variable or element the node's left operand
// names (int and float targets), reporting an illegal target with
// `complain`. Nothing is stored or queued after an index error.
template <class Complain>
void storeNumber(UnitContext* ctx, op* node, double value, Complain complain) {
    op* target = node->left.op;
    switch (target->flag) {
    case 9:
    case 10: {
        vinst* inst = varInstance(target);
        if (!inst) {
            noInstance(ctx, target);
            complain();
            return;
        }
        if (target->flag == 9)
            inst->value.i = truncTowardZero(value);
        else
            inst->value.f = value;
        break;
    }
    case 17:
    case 18: {
        intarray* access = target->left.arr;
        long offset = elementOffset(ctx, access, TooFewReport::ErrorMsg);
        if (offset < 0) return;
        Value& storage = arrayInstance(access)->value;
        if (!storage.p) return;
        if (target->flag == 17)
            storage.ia[offset] = truncTowardZero(value);
        else
            storage.fa[offset] = value;
        break;
    }
    default:
        complain();
        return;
    }
    update_changed_attr(ctx, lvalueInstance(target));
}

bool isIntLvalue(op* target) { return target->flag == 9 || target->flag == 17; }
bool isNumberLvalue(op* target) {
    return target->flag == 9 || target->flag == 10 || target->flag == 17 || target->flag == 18;
}

// x op= e for the int forms that read x, combine and store.
template <class Combine>
std::int32_t combineInt(UnitContext* ctx, op* node, const char* routine, Combine combine) {
    op* target = node->left.op;
    if (!isIntLvalue(target)) {
        illegalLvalue(ctx, node, routine);
        return 0;
    }
    std::int32_t value = combine(calculate(ctx, target));
    return truncTowardZero(set_op(ctx, target, value));
}

template <class Combine>
double combineFloat(UnitContext* ctx, op* node, Combine combine) {
    op* target = node->left.op;
    if (!isNumberLvalue(target)) {
        illegalLvalue(ctx, node, "l_ass");
        return 0.0;
    }
    return set_op(ctx, target, combine(f_calculate(ctx, target)));
}

char* concat(UnitContext* ctx, const char* left, const char* right) {
    if (!left) left = "";
    if (!right) right = "";
    std::size_t l = std::strlen(left), r = std::strlen(right);
    char* text = static_cast<char*>(TamMalloc(l + r + 1));
    if (!text) outOfMemory(ctx);
    std::memcpy(text, left, l);
    std::memcpy(text + l, right, r + 1);
    return text;
}

int compareTexts(const char* left, const char* right) {
    return std::strcmp(left ? left : "", right ? right : "");
}

}  // namespace

// Integer routines.

std::int32_t l_unsub(UnitContext*, op*, std::int32_t left, std::int32_t) { return wrapSub(0, left); }
std::int32_t l_unadd(UnitContext*, op*, std::int32_t left, std::int32_t) { return left; }
std::int32_t l_not(UnitContext*, op*, std::int32_t left, std::int32_t) { return left == 0; }
std::int32_t l_exprval(UnitContext*, op*, std::int32_t left, std::int32_t) { return left; }

// Repeated multiplication by squaring: the same wrapped product as
// multiplying `right` times, without a loop as long as the exponent.
std::int32_t l_pow(UnitContext*, op*, std::int32_t left, std::int32_t right) {
    if (right < 1) return 1;
    std::uint32_t base = static_cast<std::uint32_t>(left), result = 1;
    for (std::uint32_t e = static_cast<std::uint32_t>(right); e; e >>= 1) {
        if (e & 1) result *= base;
        base *= base;
    }
    return static_cast<std::int32_t>(result);
}

std::int32_t l_mul(UnitContext*, op*, std::int32_t left, std::int32_t right) { return wrapMul(left, right); }

std::int32_t l_rest(UnitContext* ctx, op* node, std::int32_t left, std::int32_t right) {
    if (right == 0) {
        divisionByZero(ctx, node);
        return 1;
    }
    return wrapRem(left, right);
}

std::int32_t l_add(UnitContext*, op*, std::int32_t left, std::int32_t right) { return wrapAdd(left, right); }
std::int32_t l_sub(UnitContext*, op*, std::int32_t left, std::int32_t right) { return wrapSub(left, right); }
std::int32_t l_lshift(UnitContext*, op*, std::int32_t left, std::int32_t right) { return shiftLeft(left, right); }
std::int32_t l_rshift(UnitContext*, op*, std::int32_t left, std::int32_t right) { return shiftRight(left, right); }
std::int32_t l_lt(UnitContext*, op*, std::int32_t left, std::int32_t right) { return left < right; }
std::int32_t l_le(UnitContext*, op*, std::int32_t left, std::int32_t right) { return left <= right; }
std::int32_t l_gt(UnitContext*, op*, std::int32_t left, std::int32_t right) { return left > right; }
std::int32_t l_ge(UnitContext*, op*, std::int32_t left, std::int32_t right) { return left >= right; }
std::int32_t l_eq(UnitContext*, op*, std::int32_t left, std::int32_t right) { return left == right; }
std::int32_t l_ne(UnitContext*, op*, std::int32_t left, std::int32_t right) { return left != right; }
std::int32_t l_bitand(UnitContext*, op*, std::int32_t left, std::int32_t right) { return left & right; }
std::int32_t l_bitor(UnitContext*, op*, std::int32_t left, std::int32_t right) { return left | right; }
std::int32_t l_and(UnitContext*, op*, std::int32_t left, std::int32_t right) { return left != 0 && right != 0; }
std::int32_t l_or(UnitContext*, op*, std::int32_t left, std::int32_t right) { return left != 0 || right != 0; }

std::int32_t l_ass(UnitContext* ctx, op* node, std::int32_t, std::int32_t right) {
    storeNumber(ctx, node, right, [&] { illegalLvalue(ctx, node, "l_ass"); });
    return right;
}

std::int32_t l_assplus(UnitContext* ctx, op* node, std::int32_t, std::int32_t right) {
    if (!isIntLvalue(node->left.op)) {
        illegalLvalue(ctx, node, "l_ass");
        return 0;
    }
    return truncTowardZero(mod_op(ctx, node->left.op, right));
}

std::int32_t l_assminus(UnitContext* ctx, op* node, std::int32_t, std::int32_t right) {
    if (!isIntLvalue(node->left.op)) {
        illegalLvalue(ctx, node, "l_ass");
        return 0;
    }
    return truncTowardZero(mod_op(ctx, node->left.op, -static_cast<double>(right)));
}

// A zero divisor is reported like the % operator's and leaves x unchanged.
std::int32_t l_assdiv(UnitContext* ctx, op* node, std::int32_t, std::int32_t right) {
    return combineInt(ctx, node, "l_ass", [&](std::int32_t x) {
        if (right != 0) return wrapDiv(x, right);
        divisionByZero(ctx, node);
        return x;
    });
}

std::int32_t l_assmod(UnitContext* ctx, op* node, std::int32_t, std::int32_t right) {
    return combineInt(ctx, node, "l_ass", [&](std::int32_t x) {
        if (right != 0) return wrapRem(x, right);
        divisionByZero(ctx, node);
        return x;
    });
}

std::int32_t l_assmult(UnitContext* ctx, op* node, std::int32_t, std::int32_t right) {
    return combineInt(ctx, node, "l_ass", [&](std::int32_t x) { return wrapMul(x, right); });
}

std::int32_t l_assband(UnitContext* ctx, op* node, std::int32_t, std::int32_t right) {
    return combineInt(ctx, node, "l_assband", [&](std::int32_t x) { return x & right; });
}

std::int32_t l_assbor(UnitContext* ctx, op* node, std::int32_t, std::int32_t right) {
    return combineInt(ctx, node, "l_assbor", [&](std::int32_t x) { return x | right; });
}

std::int32_t l_asslshift(UnitContext* ctx, op* node, std::int32_t, std::int32_t right) {
    return combineInt(ctx, node, "l_ass", [&](std::int32_t x) { return shiftLeft(x, right); });
}

std::int32_t l_assrshift(UnitContext* ctx, op* node, std::int32_t, std::int32_t right) {
    return combineInt(ctx, node, "l_ass", [&](std::int32_t x) { return shiftRight(x, right); });
}

std::int32_t l_preplus(UnitContext* ctx, op* node, std::int32_t left, std::int32_t) {
    mod_op(ctx, node->left.op, 1);
    return wrapAdd(left, 1);
}

std::int32_t l_postplus(UnitContext* ctx, op* node, std::int32_t left, std::int32_t) {
    mod_op(ctx, node->left.op, 1);
    return left;
}

std::int32_t l_preminus(UnitContext* ctx, op* node, std::int32_t left, std::int32_t) {
    mod_op(ctx, node->left.op, -1);
    return wrapSub(left, 1);
}

std::int32_t l_postminus(UnitContext* ctx, op* node, std::int32_t left, std::int32_t) {
    mod_op(ctx, node->left.op, -1);
    return left;
}

// Float routines.

double r_unsub(UnitContext*, op*, double left, double) { return -left; }
double r_unadd(UnitContext*, op*, double left, double) { return left; }
double r_not(UnitContext*, op*, double left, double) { return left == 0.0 ? 1.0 : 0.0; }
double r_exprval(UnitContext*, op*, double left, double) { return left; }
double r_pow(UnitContext*, op*, double left, double right) { return std::pow(left, right); }
double r_mul(UnitContext*, op*, double left, double right) { return left * right; }

double r_div(UnitContext* ctx, op* node, double left, double right) {
    if (right == 0.0) {
        divisionByZero(ctx, node);
        return 2.0;
    }
    return left / right;
}

// The remainder of a float division, with the sign of the dividend; a zero
// divisor is reported like the int remainder's.
double r_rest(UnitContext* ctx, op* node, double left, double right) {
    if (right == 0.0) {
        divisionByZero(ctx, node);
        return 1.0;
    }
    return std::fmod(left, right);
}

double r_add(UnitContext*, op*, double left, double right) { return left + right; }
double r_sub(UnitContext*, op*, double left, double right) { return left - right; }
double r_lt(UnitContext*, op*, double left, double right) { return left < right ? 1.0 : 0.0; }
double r_le(UnitContext*, op*, double left, double right) { return left <= right ? 1.0 : 0.0; }
double r_gt(UnitContext*, op*, double left, double right) { return left > right ? 1.0 : 0.0; }
double r_ge(UnitContext*, op*, double left, double right) { return left >= right ? 1.0 : 0.0; }
double r_eq(UnitContext*, op*, double left, double right) { return left == right ? 1.0 : 0.0; }
double r_ne(UnitContext*, op*, double left, double right) { return left != right ? 1.0 : 0.0; }

double r_bitand(UnitContext*, op*, double left, double right) {
    return truncTowardZero(left) & truncTowardZero(right);
}

double r_bitor(UnitContext*, op*, double left, double right) {
    return truncTowardZero(left) | truncTowardZero(right);
}

double r_and(UnitContext*, op*, double left, double right) {
    return left != 0.0 && right != 0.0 ? 1.0 : 0.0;
}

double r_or(UnitContext*, op*, double left, double right) {
    return left != 0.0 || right != 0.0 ? 1.0 : 0.0;
}

double r_ass(UnitContext* ctx, op* node, double, double right) {
    storeNumber(ctx, node, right, [&] { report(ctx, "Error: Illegal lvalue in r_ass"); });
    return right;
}

double r_assplus(UnitContext* ctx, op* node, double, double right) {
    if (!isNumberLvalue(node->left.op)) {
        illegalLvalue(ctx, node, "l_ass");
        return 0.0;
    }
    return mod_op(ctx, node->left.op, right);
}

double r_assminus(UnitContext* ctx, op* node, double, double right) {
    if (!isNumberLvalue(node->left.op)) {
        illegalLvalue(ctx, node, "l_ass");
        return 0.0;
    }
    return mod_op(ctx, node->left.op, -right);
}

double r_assdiv(UnitContext* ctx, op* node, double, double right) {
    return combineFloat(ctx, node, [&](double x) { return x / right; });
}

double r_assmod(UnitContext* ctx, op* node, double, double right) {
    return combineFloat(ctx, node, [&](double x) { return std::fmod(x, right); });
}

double r_assmult(UnitContext* ctx, op* node, double, double right) {
    return combineFloat(ctx, node, [&](double x) { return x * right; });
}

// Text routines: comparisons by byte value, concatenation, assignment.

std::int32_t t_lt(UnitContext*, op*, const char* left, const char* right) { return compareTexts(left, right) < 0; }
std::int32_t t_le(UnitContext*, op*, const char* left, const char* right) { return compareTexts(left, right) <= 0; }
std::int32_t t_gt(UnitContext*, op*, const char* left, const char* right) { return compareTexts(left, right) > 0; }
std::int32_t t_ge(UnitContext*, op*, const char* left, const char* right) { return compareTexts(left, right) >= 0; }
std::int32_t t_eq(UnitContext*, op*, const char* left, const char* right) { return compareTexts(left, right) == 0; }
std::int32_t t_ne(UnitContext*, op*, const char* left, const char* right) { return compareTexts(left, right) != 0; }

char* t_add(UnitContext* ctx, op*, char* left, char* right) { return concat(ctx, left, right); }

char* t_exprval(UnitContext* ctx, op*, char* left, char*) { return dupText(ctx, left); }

namespace {

void illegalTextLvalue(UnitContext* ctx, op* node) {
    report(ctx, formatMsg("Error at line %d: Illegal lvalue in text assignment", node->line));
}

void noTextTarget(UnitContext* ctx, op* node, op* target) {
    noInstance(ctx, target);
    illegalTextLvalue(ctx, node);
}

}  // namespace

// Takes ownership of `right` (a failed evaluation stores the empty text, so
// no text variable or element ever holds null) and returns a new copy.
char* t_ass(UnitContext* ctx, op* node, char*, char* right) {
    if (!right) right = dupText(ctx, "");
    op* target = node->left.op;
    char* result = dupText(ctx, right);
    char** slot = nullptr;
    switch (target->flag) {
    case 11:
        if (vinst* inst = varInstance(target))
            slot = &inst->value.t;
        else
            noTextTarget(ctx, node, target);
        break;
    case 19: {
        intarray* access = target->left.arr;
        long offset = elementOffset(ctx, access, TooFewReport::ErrorMsg);
        vinst* array = offset >= 0 ? arrayInstance(access) : nullptr;
        if (array && array->value.ta) slot = &array->value.ta[offset];
        break;
    }
    default:
        illegalTextLvalue(ctx, node);
        break;
    }
    if (!slot) {
        TamFree(right);
        return result;
    }
    TamFree(*slot);
    *slot = right;
    update_changed_attr(ctx, lvalueInstance(target));
    return result;
}
