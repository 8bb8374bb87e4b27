// The three evaluators of instance-bound expression trees (int, float,
// text), array element access, and the stores behind increments and
// builtin output parameters. Errors are reported where found and the
// evaluation goes on with a fallback value; the statement interpreter
// stops at its next check of the run state.
#include "interp/eval.h"

#include <cstdlib>
#include <cstring>

#include "app/context.h"
#include "builtins/value_args.h"
#include "core/alloc.h"
#include "core/messages.h"
#include "interp/access.h"
#include "interp/instantiate.h"
#include "interp/numeric.h"
#include "interp/operators.h"
#include "interp/release.h"
#include "interp/simulate.h"
#include "present/objects.h"

namespace {

// What the evaluator must do before calling an operator node's routine;
// classified once per node and cached in op::evalClass.
enum EvalClass : std::uint8_t {
    EC_UNKNOWN = 0,
    EC_PLAIN,
    EC_ASSIGN,   // only the right operand is evaluated
    EC_TEXTCMP,  // int node comparing two texts
    EC_OR,       // short circuit on a true left operand
    EC_AND,      // short circuit on a false left operand
    // Int routines computed in place: the same results as their routines.
    EC_ADD,
    EC_SUB,
    EC_MUL,
    EC_LT,
    EC_LE,
    EC_GT,
    EC_GE,
    EC_EQ,
    EC_NE,
    EC_REM,    // in place unless the divisor is zero (the routine reports it)
    EC_FADD,
    EC_FSUB,
    EC_FMUL,
    EC_FSTORE,  // float assignment to a float variable, stored in place
    EC_STORE,  // int assignment to a variable or element, stored in place
};

template <class F>
bool is(OperRoutine routine, F* fn) {
    return routine.any == reinterpret_cast<void*>(fn);
}

EvalClass classifyInt(op* node) {
    OperRoutine r = node->routine;
    if (is(r, l_ass) && node->left.op && (node->left.op->flag == 9 || node->left.op->flag == 17)) return EC_STORE;
    static IntRoutine const assigns[] = {l_ass,     l_assplus, l_assminus,  l_assmod,   l_assdiv,
                                         l_assmult, l_asslshift, l_assrshift, l_assbor, l_assband};
    for (IntRoutine a : assigns)
        if (is(r, a)) return EC_ASSIGN;
    static TxtCmpRoutine const compares[] = {t_eq, t_ne, t_lt, t_le, t_gt, t_ge};
    for (TxtCmpRoutine c : compares)
        if (is(r, c)) return EC_TEXTCMP;
    if (is(r, l_or)) return EC_OR;
    if (is(r, l_and)) return EC_AND;
    static const struct {
        IntRoutine routine;
        EvalClass cls;
    } inPlace[] = {{l_add, EC_ADD}, {l_sub, EC_SUB}, {l_mul, EC_MUL}, {l_lt, EC_LT}, {l_le, EC_LE},
                   {l_gt, EC_GT},   {l_ge, EC_GE},   {l_eq, EC_EQ},  {l_ne, EC_NE},
                   {l_rest, EC_REM}};
    for (const auto& entry : inPlace)
        if (is(r, entry.routine)) return entry.cls;
    return EC_PLAIN;
}

EvalClass classifyFloat(op* node) {
    OperRoutine r = node->routine;
    if (is(r, r_ass) && node->left.op && node->left.op->flag == 10) return EC_FSTORE;
    if (is(r, r_add)) return EC_FADD;
    if (is(r, r_sub)) return EC_FSUB;
    if (is(r, r_mul)) return EC_FMUL;
    static FltRoutine const assigns[] = {r_ass, r_assplus, r_assminus, r_assdiv, r_assmod, r_assmult};
    for (FltRoutine a : assigns)
        if (is(r, a)) return EC_ASSIGN;
    if (is(r, r_or)) return EC_OR;
    if (is(r, r_and)) return EC_AND;
    return EC_PLAIN;
}

EvalClass classOf(op* node) {
    if (node->evalClass != EC_UNKNOWN) return static_cast<EvalClass>(node->evalClass);
    EvalClass cls = EC_PLAIN;
    if (node->flag == 65) cls = classifyInt(node);
    if (node->flag == 66) cls = classifyFloat(node);
    if (node->flag == 67 && is(node->routine, t_ass)) cls = EC_ASSIGN;
    node->evalClass = cls;
    return cls;
}

void report(UnitContext* ctx, const std::string& text) { errorMsg(ctx, MSG_ERROR, text.c_str()); }

const char* arrayName(const vinst* array) {
    return array && array->decl && array->decl->name ? array->decl->name : "";
}

// An int or float operand of an arithmetic node; false for another type.
// Int literals and int variables that have an instance are read here.
[[gnu::always_inline]] inline bool intOperand(UnitContext* ctx, op* node, std::int32_t* value) {
    if (node->flag == 1) {
        *value = node->left.i;
        return true;
    }
    if (node->flag == 9) {
        if (vinst* inst = varInstance(node)) {
            *value = inst->value.i;
            return true;
        }
    }
    if (node->flag == 17 && node->valtype == VT_INT) {
        *value = el_in_array(ctx, node->left.arr);
        return true;
    }
    switch (node->valtype) {
    case VT_INT:
        *value = calculate(ctx, node);
        return true;
    case VT_FLOAT:
        *value = truncTowardZero(f_calculate(ctx, node));
        return true;
    default:
        return false;
    }
}

[[gnu::always_inline]] inline bool floatOperand(UnitContext* ctx, op* node, double* value) {
    bool isFloatVariable = node->flag == 10 && node->valtype == VT_FLOAT;
    if (isFloatVariable || (node->flag == 9 && node->valtype == VT_INT)) {
        if (vinst* inst = varInstance(node)) {
            *value = isFloatVariable ? inst->value.f : inst->value.i;
            return true;
        }
    }
    if (node->flag == 2 && node->valtype == VT_FLOAT) {
        *value = node->left.f;
        return true;
    }
    switch (node->valtype) {
    case VT_INT:
        *value = calculate(ctx, node);
        return true;
    case VT_FLOAT:
        *value = f_calculate(ctx, node);
        return true;
    default:
        return false;
    }
}

// An int node whose routine compares two texts.
std::int32_t textComparison(UnitContext* ctx, op* node) {
    op* left = node->left.op;
    if (left->valtype != VT_TEXT) {
        report(ctx, "Error: Illegal type (valtype(op->left.op)) in calculate");
        return 0;
    }
    char* l = t_calc_dup(ctx, left);
    if (halted(ctx) || !l) {
        TamFree(l);
        return 1;
    }
    char* r = nullptr;
    if (op* right = node->right) {
        if (right->valtype != VT_TEXT) {
            TamFree(l);
            report(ctx, "Error: Illegal type in integer expression");
            return 1;
        }
        r = t_calc_dup(ctx, right);
        if (halted(ctx) || !r) {
            TamFree(l);
            TamFree(r);
            return 1;
        }
    }
    std::int32_t result = node->routine.tc(ctx, node, l, r ? r : "");
    TamFree(l);
    TamFree(r);
    return result;
}

std::int32_t applyInt(UnitContext* ctx, op* node, EvalClass cls, std::int32_t left, std::int32_t right) {
    switch (cls) {
    case EC_ADD:
        return wrapAdd(left, right);
    case EC_SUB:
        return wrapSub(left, right);
    case EC_MUL:
        return wrapMul(left, right);
    case EC_LT:
        return left < right;
    case EC_LE:
        return left <= right;
    case EC_GT:
        return left > right;
    case EC_GE:
        return left >= right;
    case EC_EQ:
        return left == right;
    case EC_NE:
        return left != right;
    case EC_REM:
        if (right != 0) return wrapRem(left, right);
        return node->routine.l(ctx, node, left, right);
    default:
        return node->routine.l(ctx, node, left, right);
    }
}

// The store l_ass makes for a variable target, without the conversion
// through a double that its shared store path takes.
std::int32_t storeInt(UnitContext* ctx, op* node) {
    std::int32_t value = calculate(ctx, node->right);
    op* target = node->left.op;
    if (target->flag == 17) {
        intarray* access = target->left.arr;
        long offset = elementOffset(ctx, access, TooFewReport::ErrorMsg);
        if (offset < 0) return value;
        vinst* array = arrayInstance(access);
        if (!array->value.ia) return value;
        array->value.ia[offset] = value;
        update_changed_attr(ctx, array);
        return value;
    }
    vinst* inst = varInstance(target);
    if (!inst) return l_ass(ctx, node, 0, value);
    inst->value.i = value;
    update_changed_attr(ctx, inst);
    return value;
}

std::int32_t intOperator(UnitContext* ctx, op* node) {
    EvalClass cls = classOf(node);
    if (cls == EC_STORE) return storeInt(ctx, node);
    if (cls == EC_ASSIGN) return node->routine.l(ctx, node, 0, calculate(ctx, node->right));
    if (cls == EC_TEXTCMP) return textComparison(ctx, node);

    std::int32_t left = 0;
    if (!intOperand(ctx, node->left.op, &left)) {
        report(ctx, "Error: Illegal type (valtype(op->left.op)) in calculate");
        return 0;
    }
    if (cls == EC_OR && left != 0) return 1;
    if (cls == EC_AND && left == 0) return 0;
    if (halted(ctx)) return 1;
    std::int32_t right = 0;
    if (node->right) {
        if (!intOperand(ctx, node->right, &right)) {
            report(ctx, "Error: Illegal type in integer expression");
            return 1;
        }
        if (halted(ctx)) return 1;
    }
    return applyInt(ctx, node, cls, left, right);
}

// The store r_ass makes for a float variable target.
double storeFloat(UnitContext* ctx, op* node) {
    double value = f_calculate(ctx, node->right);
    vinst* inst = varInstance(node->left.op);
    if (!inst) return r_ass(ctx, node, 0.0, value);
    inst->value.f = value;
    update_changed_attr(ctx, inst);
    return value;
}

double applyFloat(UnitContext* ctx, op* node, EvalClass cls, double left, double right) {
    switch (cls) {
    case EC_FADD:
        return left + right;
    case EC_FSUB:
        return left - right;
    case EC_FMUL:
        return left * right;
    default:
        return node->routine.r(ctx, node, left, right);
    }
}

double floatOperator(UnitContext* ctx, op* node) {
    EvalClass cls = classOf(node);
    if (cls == EC_FSTORE) return storeFloat(ctx, node);
    if (cls == EC_ASSIGN) return node->routine.r(ctx, node, 0.0, f_calculate(ctx, node->right));

    double left = 0.0;
    if (!floatOperand(ctx, node->left.op, &left)) {
        report(ctx, "Error: Illegal type (valtype(op->left.op)) in calculate");
        return 1.0;
    }
    if (cls == EC_OR && left != 0.0) return 1.0;
    if (cls == EC_AND && left == 0.0) return 0.0;
    if (halted(ctx)) return 1.0;
    double right = 0.0;
    if (node->right) {
        if (!floatOperand(ctx, node->right, &right)) {
            report(ctx, "Error: Illegal type (valtype(op->right.op)) in f_calculate");
            return 0.0;
        }
        if (halted(ctx)) return 1.0;
    }
    return applyFloat(ctx, node, cls, left, right);
}

char* textOperator(UnitContext* ctx, op* node) {
    if (classOf(node) == EC_ASSIGN)
        return node->routine.t(ctx, node, nullptr, t_calc_dup(ctx, node->right));
    if (node->left.op->valtype != VT_TEXT) {
        report(ctx, "Error: Illegal type (valtype(op->left.op)) in t_calc_dup");
        return nullptr;
    }
    char* l = t_calc_dup(ctx, node->left.op);
    char* r = node->right ? t_calc_dup(ctx, node->right) : nullptr;
    // An operand that failed has been reported; the routine never sees it.
    if (!l || (node->right && !r)) {
        TamFree(l);
        TamFree(r);
        return nullptr;
    }
    char* result = node->routine.t(ctx, node, l, r);
    TamFree(l);
    TamFree(r);
    return result;
}

char* textOfCall(UnitContext* ctx, action* act) {
    if (act->type == ACT_FUNC_TEXT) return TextFunc(ctx, act->target.fn, act->args.params);
    return callTxtBuiltin(ctx, act);
}

// Builtin handlers read their arguments through the builtin frame, which
// takes instance-bound trees: arguments written in a body that runs
// uncopied are bound for the call and released after it, unless the
// handler reads nothing but their values.
bool readsValuesOnly(action* act, const void* handler) {
    if (act->valueArgs == 0) act->valueArgs = readsArgumentValuesOnly(handler) ? 2 : 1;
    return act->valueArgs == 2;
}

template <class Handler>
auto callBuiltin(UnitContext* ctx, action* act, Handler handler) {
    ++builtinCalls;
    param* args = act->args.params;
    if (!args || !args->expr || args->expr->type != DO_VDECL ||
        readsValuesOnly(act, reinterpret_cast<const void*>(handler)))
        return handler(ctx, args);
    param* bound = i_param(ctx, args);
    auto result = handler(ctx, bound);
    f_param(ctx, bound);
    return result;
}

std::int32_t intVariable(UnitContext* ctx, op* node) {
    if (vinst* inst = varInstance(node)) return inst->value.i;
    noInstance(ctx, node);
    return 0;
}

double floatVariable(UnitContext* ctx, op* node) {
    if (vinst* inst = varInstance(node)) return inst->value.f;
    noInstance(ctx, node);
    return 0.0;
}

// A variable without instance reads as the int 0, which no text
// expression accepts.
char* textVariable(UnitContext* ctx, op* node) {
    if (vinst* inst = varInstance(node)) return dupText(ctx, inst->value.t);
    noInstance(ctx, node);
    report(ctx, "Error: Integer in text expression.");
    return nullptr;
}

}  // namespace

std::uint32_t builtinCalls = 0;

void noInstance(UnitContext* ctx, const op* node) {
    const char* name = node->left.decl && node->left.decl->name ? node->left.decl->name : "";
    report(ctx, formatMsg("Internal error: Variable %s has no instance", name));
}

std::int32_t callIntBuiltin(UnitContext* ctx, action* act) { return callBuiltin(ctx, act, act->target.ih); }

double callFltBuiltin(UnitContext* ctx, action* act) { return callBuiltin(ctx, act, act->target.fh); }

char* callTxtBuiltin(UnitContext* ctx, action* act) { return callBuiltin(ctx, act, act->target.th); }

char* dupText(UnitContext* ctx, const char* text) {
    if (!text) text = "";
    std::size_t size = std::strlen(text) + 1;
    char* copy = static_cast<char*>(TamMalloc(size));
    if (!copy) outOfMemory(ctx);
    std::memcpy(copy, text, size);
    return copy;
}

void indexOutOfBounds(UnitContext* ctx, const param* index, const vinst* array, long i) {
    paramErrorDS(ctx, index->line, "Array index out of bounds: %s[%ld] does not exist.", arrayName(array), i);
}

long elementCount(const vinst* array) {
    if (!array || !array->decl || !array->dims) return 0;
    long count = 1;
    for (int d = 0; d < array->decl->ndims; ++d) count *= array->dims[d];
    return count;
}

long elementOffset(UnitContext* ctx, intarray* access, TooFewReport how) {
    vinst* array = arrayInstance(access);
    if (!array || !array->decl) return -1;
    int ndims = array->decl->ndims;
    const std::int32_t* dims = array->dims;
    param* index = access->indexes;
    long offset = 0;
    for (int d = 0; d < ndims; ++d) {
        if (!index) {
            if (how == TooFewReport::ParamError)
                paramErrorDS(ctx, access->indexes ? access->indexes->line : kNoLine,
                             "Error : Too few indexes in access to array %s.", arrayName(array));
            else
                report(ctx, formatMsg("Error: Too few indexes in access to array %s.", arrayName(array)));
            return -1;
        }
        op* expr = index->expr;
        vinst* variable = expr && expr->flag == 9 ? varInstance(expr) : nullptr;
        std::int32_t i = variable ? variable->value.i : calculate(ctx, expr);
        if (i < 0 || i >= dims[d]) {
            indexOutOfBounds(ctx, index, array, i);
            return -1;
        }
        offset += static_cast<long>(i) * dims[ndims + d];
        index = nextOf(index);
    }
    return offset;
}

vinst* lvalueInstance(op* target) {
    switch (target->flag) {
    case 9:
    case 10:
    case 11:
        return varInstance(target);
    case 17:
    case 18:
    case 19:
        return arrayInstance(target->left.arr);
    default:
        return nullptr;
    }
}

std::int32_t calculate(UnitContext* ctx, op* node) {
    if (!node) return 0;
    switch (node->flag) {
    case 1:
        return node->left.i;
    case 2:
        return truncTowardZero(node->left.f);
    case 5:
        return node->left.con->value.i;
    case 6:
        return truncTowardZero(node->left.con->value.f);
    case 9:
        return intVariable(ctx, node);
    case 10:
        return truncTowardZero(floatVariable(ctx, node));
    case 17:
        return el_in_array(ctx, node->left.arr);
    case 18:
        return truncTowardZero(el_fl_array(ctx, node->left.arr));
    case 33:
        return IntFunc(ctx, node->left.act->target.fn, node->left.act->args.params);
    case 34:
        return truncTowardZero(FloatFunc(ctx, node->left.act->target.fn, node->left.act->args.params));
    case 37:
        return callIntBuiltin(ctx, node->left.act);
    case 38:
        return truncTowardZero(callFltBuiltin(ctx, node->left.act));
    case 65:
        return intOperator(ctx, node);
    case 66:
        return truncTowardZero(f_calculate(ctx, node));
    case 3:
    case 7:
    case 11:
    case 19:
    case 35:
    case 39:
        report(ctx, formatMsg("Error(line %d): Text in integer expression.", node->line));
        return 1;
    default:
        report(ctx, formatMsg("Internal error: Unknown flag (%d) in calculate", node->flag));
        return 1;
    }
}

double f_calculate(UnitContext* ctx, op* node) {
    if (!node) return 0.0;
    switch (node->flag) {
    case 1:
        return node->left.i;
    case 2:
        return node->left.f;
    case 5:
        return node->left.con->value.i;
    case 6:
        return node->left.con->value.f;
    case 9:
        return intVariable(ctx, node);
    case 10:
        return floatVariable(ctx, node);
    case 17:
        return el_in_array(ctx, node->left.arr);
    case 18:
        return el_fl_array(ctx, node->left.arr);
    case 33:
        return IntFunc(ctx, node->left.act->target.fn, node->left.act->args.params);
    case 34:
        return FloatFunc(ctx, node->left.act->target.fn, node->left.act->args.params);
    case 37:
        return callIntBuiltin(ctx, node->left.act);
    case 38:
        return callFltBuiltin(ctx, node->left.act);
    case 65:
        return calculate(ctx, node);
    case 66:
        return floatOperator(ctx, node);
    case 3:
    case 7:
    case 11:
    case 19:
    case 35:
    case 39:
        report(ctx, "Error: Text in floating point expression.");
        return 1.0;
    default:
        report(ctx, formatMsg("Internal error: Unknown flag (%d) in f_calculate", node->flag));
        return 1.0;
    }
}

char* t_calc_dup(UnitContext* ctx, op* node) {
    if (!node) return nullptr;
    switch (node->flag) {
    case 3:
        return dupText(ctx, node->left.t);
    case 7:
        return dupText(ctx, node->left.con->value.t);
    case 11:
        return textVariable(ctx, node);
    case 19: {
        char* element = el_txt_array(ctx, node->left.arr);
        return element ? dupText(ctx, element) : nullptr;
    }
    case 35:
    case 39:
        return textOfCall(ctx, node->left.act);
    case 67:
        return textOperator(ctx, node);
    case 1:
    case 5:
    case 9:
    case 17:
    case 33:
    case 37:
    case 65:
        report(ctx, "Error: Integer in text expression.");
        return nullptr;
    case 2:
    case 6:
    case 10:
    case 18:
    case 34:
    case 38:
    case 66:
        report(ctx, "Error: Float in text expression.");
        return nullptr;
    default:
        report(ctx, formatMsg("Internal error: Unknown flag (%d) in t_calc_dup", node->flag));
        return nullptr;
    }
}

std::int32_t el_in_array(UnitContext* ctx, intarray* access) {
    long offset = elementOffset(ctx, access, TooFewReport::ParamError);
    if (offset < 0) return 1;
    std::int32_t* storage = arrayInstance(access)->value.ia;
    return storage ? storage[offset] : 0;
}

double el_fl_array(UnitContext* ctx, intarray* access) {
    long offset = elementOffset(ctx, access, TooFewReport::ErrorMsg);
    if (offset < 0) return 1.0;
    double* storage = arrayInstance(access)->value.fa;
    return storage ? storage[offset] : 0.0;
}

char* el_txt_array(UnitContext* ctx, intarray* access) {
    long offset = elementOffset(ctx, access, TooFewReport::ErrorMsg);
    if (offset < 0) return nullptr;
    char** storage = arrayInstance(access)->value.ta;
    return storage ? storage[offset] : nullptr;
}

std::int32_t* elp_in_array(UnitContext* ctx, intarray* access) {
    long offset = elementOffset(ctx, access, TooFewReport::ParamError);
    vinst* array = arrayInstance(access);
    std::int32_t* storage = array ? array->value.ia : nullptr;
    return offset < 0 || !storage ? nullptr : storage + offset;
}

double* elp_fl_array(UnitContext* ctx, intarray* access) {
    long offset = elementOffset(ctx, access, TooFewReport::ErrorMsg);
    vinst* array = arrayInstance(access);
    double* storage = array ? array->value.fa : nullptr;
    return offset < 0 || !storage ? nullptr : storage + offset;
}

namespace {

void illegalAccess(UnitContext* ctx) { report(ctx, "Internal error: Illegal access method in 'op'"); }

double missingTarget(UnitContext* ctx, op* target) {
    noInstance(ctx, target);
    illegalAccess(ctx);
    return 0.0;
}

// Applies `change` to the int or float the target names, then queues the
// target's dependents; the result is the new value.
template <class Change>
double changeNumber(UnitContext* ctx, op* target, Change change) {
    double result = 0.0;
    switch (target->flag) {
    case 9: {
        vinst* inst = varInstance(target);
        if (!inst) return missingTarget(ctx, target);
        std::int32_t& v = inst->value.i;
        result = v = change(v);
        break;
    }
    case 10: {
        vinst* inst = varInstance(target);
        if (!inst) return missingTarget(ctx, target);
        double& v = inst->value.f;
        result = v = change(v);
        break;
    }
    case 17: {
        std::int32_t* p = elp_in_array(ctx, target->left.arr);
        if (!p) return 0.0;
        result = *p = change(*p);
        break;
    }
    case 18: {
        double* p = elp_fl_array(ctx, target->left.arr);
        if (!p) return 0.0;
        result = *p = change(*p);
        break;
    }
    default:
        illegalAccess(ctx);
        return 0.0;
    }
    update_changed_attr(ctx, lvalueInstance(target));
    return result;
}

struct AddDelta {
    double delta;
    std::int32_t operator()(std::int32_t v) const { return wrapAdd(v, truncTowardZero(delta)); }
    double operator()(double v) const { return v + delta; }
};

struct SetValue {
    double value;
    std::int32_t operator()(std::int32_t) const { return truncTowardZero(value); }
    double operator()(double) const { return value; }
};

}  // namespace

double mod_op(UnitContext* ctx, op* target, double delta) {
    return changeNumber(ctx, target, AddDelta{delta});
}

double set_op(UnitContext* ctx, op* target, double value) {
    return changeNumber(ctx, target, SetValue{value});
}

void queueDependents(UnitContext* ctx, vinst* inst) {
    LearnUnit* unit = ctx->learnUnit;
    if (!unit) return;
    // Storing into every element of an array read by many objects would
    // otherwise walk all of them at every store.
    if (inst->queuedEpoch == ctx->changedEpoch) return;
    for (depnode* dep = inst->dependents; dep; dep = nextOf(dep)) {
        Attrib* attr = dep->attr;
        if (attr && !isLinked(attr)) appendTo(unit->changedHead, unit->changedTail, attr);
    }
    inst->queuedEpoch = ctx->changedEpoch;
}
