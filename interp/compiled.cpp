// The compiled engine. A body that runs as parsed and creates no objects
// is turned, at the function's first call, into a tree of typed nodes:
// the function's own variables are read and written in the slots of the
// call's block, constants and operators are resolved once, int and float
// operators are computed in the node, and calls of other compiled
// functions bind their actuals straight into the callee's block.
//
// The nodes keep every effect of the statement interpreter and the
// evaluators they stand for: the same values, wraps, fallback values and
// messages (reported by the same routines), the stop test after every
// statement and after every operand that can stop the run, and the event
// service between statements. A call still switches the current instance
// of every declaration of its function and restores it at the end, so
// whatever the compiler does not cover runs through the evaluators and the
// statement interpreter on the very same instances.
#include "interp/compiled.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <type_traits>
#include <vector>

#include "app/context.h"
#include "builtins/handlers.h"
#include "builtins/value_args.h"
#include "core/alloc.h"
#include "interp/access.h"
#include "interp/callstack.h"
#include "interp/control.h"
#include "interp/direct.h"
#include "interp/eval.h"
#include "interp/instantiate.h"
#include "interp/numeric.h"
#include "interp/operators.h"
#include "interp/release.h"
#include "interp/simulate.h"
#include "present/objects.h"

namespace {

// What a running compiled body needs: the context and the slots of its
// call's block.
struct Run {
    UnitContext* ctx;
    vinst* slots;
};

struct Node {
    virtual ~Node() = default;
};

// Expressions. mayHalt is false for nodes whose evaluation can never stop
// the run (constants, the function's own variables, operators over them
// that report nothing): the stop test after such an operand is left out.
struct IntExpr : Node {
    bool mayHalt = true;
    virtual std::int32_t eval(Run& run) const = 0;
};

struct FltExpr : Node {
    bool mayHalt = true;
    virtual double eval(Run& run) const = 0;
};

// A new text the caller owns, or null after an error.
struct TxtExpr : Node {
    bool mayHalt = true;
    virtual char* eval(Run& run) const = 0;
};

// How a statement ends: Stop when the statement interpreter would leave
// the list (a return it ran, or a stop), Return after a compiled return,
// which stores the value without stopping the run.
enum class Flow { Next, Stop, Return };

struct Stmt : Node {
    virtual Flow run(Run& run) const = 0;
};

// A leaf that a routine computes from its record: the evaluators from an
// expression tree, the builtin layer from a call.
template <class Expr, class Record, auto Compute>
struct RoutineLeaf final : Expr {
    Record* record;
    explicit RoutineLeaf(Record* r) : record(r) {}
    decltype(Compute(nullptr, nullptr)) eval(Run& run) const override { return Compute(run.ctx, record); }
};

// Leaves that the evaluators compute.
using IntTree = RoutineLeaf<IntExpr, op, calculate>;
using FltTree = RoutineLeaf<FltExpr, op, f_calculate>;
using TxtTree = RoutineLeaf<TxtExpr, op, t_calc_dup>;

// Constants and variables.

struct IntConst final : IntExpr {
    std::int32_t value;
    explicit IntConst(std::int32_t v) : value(v) { mayHalt = false; }
    std::int32_t eval(Run&) const override { return value; }
};

struct FltConst final : FltExpr {
    double value;
    explicit FltConst(double v) : value(v) { mayHalt = false; }
    double eval(Run&) const override { return value; }
};

struct TxtConst final : TxtExpr {
    const char* text;
    explicit TxtConst(const char* t) : text(t) { mayHalt = false; }
    char* eval(Run& run) const override { return dupText(run.ctx, text); }
};

struct IntLocal final : IntExpr {
    int slot;
    explicit IntLocal(int s) : slot(s) { mayHalt = false; }
    std::int32_t eval(Run& run) const override { return run.slots[slot].value.i; }
};

struct FltLocal final : FltExpr {
    int slot;
    explicit FltLocal(int s) : slot(s) { mayHalt = false; }
    double eval(Run& run) const override { return run.slots[slot].value.f; }
};

struct TxtLocal final : TxtExpr {
    int slot;
    explicit TxtLocal(int s) : slot(s) { mayHalt = false; }
    char* eval(Run& run) const override { return dupText(run.ctx, run.slots[slot].value.t); }
};

// A variable of an enclosing block, read through its declaration.
struct IntOuter final : IntExpr {
    op* node;
    IntOuter(op* n, bool halts) : node(n) { mayHalt = halts; }
    std::int32_t eval(Run& run) const override {
        if (vinst* inst = node->left.decl->current) return inst->value.i;
        noInstance(run.ctx, node);
        return 0;
    }
};

struct FltOuter final : FltExpr {
    op* node;
    FltOuter(op* n, bool halts) : node(n) { mayHalt = halts; }
    double eval(Run& run) const override {
        if (vinst* inst = node->left.decl->current) return inst->value.f;
        noInstance(run.ctx, node);
        return 0.0;
    }
};

struct TruncOf final : IntExpr {
    FltExpr* value;
    explicit TruncOf(FltExpr* v) : value(v) { mayHalt = v->mayHalt; }
    std::int32_t eval(Run& run) const override { return truncTowardZero(value->eval(run)); }
};

struct DoubleOf final : FltExpr {
    IntExpr* value;
    explicit DoubleOf(IntExpr* v) : value(v) { mayHalt = v->mayHalt; }
    double eval(Run& run) const override { return value->eval(run); }
};

// Int operands of fused nodes, read without a call of their own where
// they are the function's variables or constants.
struct LocalOperand {
    int slot;
    std::int32_t get(Run& run) const { return run.slots[slot].value.i; }
    bool halts() const { return false; }
};

struct ConstOperand {
    std::int32_t value;
    std::int32_t get(Run&) const { return value; }
    bool halts() const { return false; }
};

// One of the function's int variables plus a constant, as in a[i + 1].
struct OffsetOperand {
    int slot;
    std::int32_t delta;
    std::int32_t get(Run& run) const { return wrapAdd(run.slots[slot].value.i, delta); }
    bool halts() const { return false; }
};

struct AnyOperand {
    IntExpr* expr;
    std::int32_t get(Run& run) const { return expr->eval(run); }
    bool halts() const { return expr->mayHalt; }
};

struct NoOperand {
    std::int32_t get(Run&) const { return 0; }
    bool halts() const { return false; }
};

// Arrays of one dimension, the function's own or an enclosing block's.

struct LocalArray {
    int slot;
    vinst* get(const Run& run) const { return run.slots + slot; }
};

struct OuterArray {
    vdecl* decl;
    vinst* get(const Run&) const { return decl->current; }
};

template <class Array, class Index>
struct IntElement final : IntExpr {
    Array array;
    Index index;
    param* indexParam;
    IntElement(Array a, Index i, param* p) : array(a), index(i), indexParam(p) {}
    std::int32_t eval(Run& run) const override {
        vinst* inst = array.get(run);
        if (!inst || !inst->decl) return 1;
        std::int32_t i = index.get(run);
        if (i < 0 || i >= inst->dims[0]) {
            indexOutOfBounds(run.ctx, indexParam, inst, i);
            return 1;
        }
        return inst->value.ia ? inst->value.ia[static_cast<long>(i) * inst->dims[1]] : 0;
    }
};

template <class Array, class Index>
struct FltElement final : FltExpr {
    Array array;
    Index index;
    param* indexParam;
    FltElement(Array a, Index i, param* p) : array(a), index(i), indexParam(p) {}
    double eval(Run& run) const override {
        vinst* inst = array.get(run);
        if (!inst || !inst->decl) return 1.0;
        std::int32_t i = index.get(run);
        if (i < 0 || i >= inst->dims[0]) {
            indexOutOfBounds(run.ctx, indexParam, inst, i);
            return 1.0;
        }
        return inst->value.fa ? inst->value.fa[static_cast<long>(i) * inst->dims[1]] : 0.0;
    }
};

// Stores.

struct StoreIntLocal final : IntExpr {
    int slot;
    IntExpr* value;
    StoreIntLocal(int s, IntExpr* v) : slot(s), value(v) { mayHalt = v->mayHalt; }
    std::int32_t eval(Run& run) const override {
        std::int32_t v = value->eval(run);
        vinst* inst = run.slots + slot;
        inst->value.i = v;
        update_changed_attr(run.ctx, inst);
        return v;
    }
};

struct StoreFltLocal final : FltExpr {
    int slot;
    FltExpr* value;
    StoreFltLocal(int s, FltExpr* v) : slot(s), value(v) { mayHalt = v->mayHalt; }
    double eval(Run& run) const override {
        double v = value->eval(run);
        vinst* inst = run.slots + slot;
        inst->value.f = v;
        update_changed_attr(run.ctx, inst);
        return v;
    }
};

struct StoreIntOuter final : IntExpr {
    op* node;
    IntExpr* value;
    StoreIntOuter(op* n, IntExpr* v) : node(n), value(v) {}
    std::int32_t eval(Run& run) const override {
        std::int32_t v = value->eval(run);
        vinst* inst = node->left.op->left.decl->current;
        if (!inst) return l_ass(run.ctx, node, 0, v);
        inst->value.i = v;
        update_changed_attr(run.ctx, inst);
        return v;
    }
};

struct StoreFltOuter final : FltExpr {
    op* node;
    FltExpr* value;
    StoreFltOuter(op* n, FltExpr* v) : node(n), value(v) {}
    double eval(Run& run) const override {
        double v = value->eval(run);
        vinst* inst = node->left.op->left.decl->current;
        if (!inst) return r_ass(run.ctx, node, 0.0, v);
        inst->value.f = v;
        update_changed_attr(run.ctx, inst);
        return v;
    }
};

// The value is computed before the index; an index computed after the
// value stopped the run is computed as the evaluator computes it.
template <class Array, class Index>
struct StoreIntElement final : IntExpr {
    Array array;
    Index index;
    op* indexTree;
    param* indexParam;
    IntExpr* value;
    StoreIntElement(Array a, Index i, param* p, IntExpr* v)
        : array(a), index(i), indexTree(p->expr), indexParam(p), value(v) {}
    std::int32_t eval(Run& run) const override {
        std::int32_t v = value->eval(run);
        vinst* inst = array.get(run);
        if (!inst || !inst->decl) return v;
        bool afterStop = value->mayHalt && halted(run.ctx);
        std::int32_t i = afterStop ? calculate(run.ctx, indexTree) : index.get(run);
        if (i < 0 || i >= inst->dims[0]) {
            indexOutOfBounds(run.ctx, indexParam, inst, i);
            return v;
        }
        if (!inst->value.ia) return v;
        inst->value.ia[static_cast<long>(i) * inst->dims[1]] = v;
        update_changed_attr(run.ctx, inst);
        return v;
    }
};

// ++ and -- of one of the function's int variables.
struct StepIntLocal final : IntExpr {
    int slot;
    std::int32_t delta;
    bool post;
    StepIntLocal(int s, std::int32_t d, bool p) : slot(s), delta(d), post(p) { mayHalt = false; }
    std::int32_t eval(Run& run) const override {
        vinst* inst = run.slots + slot;
        std::int32_t old = inst->value.i;
        inst->value.i = wrapAdd(old, delta);
        update_changed_attr(run.ctx, inst);
        return post ? old : wrapAdd(old, delta);
    }
};

// Assignments left to their routines, which store through the node.
struct AssignInt final : IntExpr {
    op* node;
    IntExpr* value;
    AssignInt(op* n, IntExpr* v) : node(n), value(v) {}
    std::int32_t eval(Run& run) const override { return node->routine.l(run.ctx, node, 0, value->eval(run)); }
};

struct AssignFlt final : FltExpr {
    op* node;
    FltExpr* value;
    AssignFlt(op* n, FltExpr* v) : node(n), value(v) {}
    double eval(Run& run) const override { return node->routine.r(run.ctx, node, 0.0, value->eval(run)); }
};

struct AssignTxt final : TxtExpr {
    op* node;
    TxtExpr* value;
    AssignTxt(op* n, TxtExpr* v) : node(n), value(v) {}
    char* eval(Run& run) const override { return node->routine.t(run.ctx, node, nullptr, value->eval(run)); }
};

// Int operators.

// RemBy: the divisor is a constant other than 0 and -1.
enum class IntOp { Add, Sub, Mul, Lt, Le, Gt, Ge, Eq, Ne, Rem, RemBy, Routine };

template <IntOp K>
inline std::int32_t applyInt(UnitContext* ctx, op* node, std::int32_t a, std::int32_t b) {
    if constexpr (K == IntOp::Add) return wrapAdd(a, b);
    if constexpr (K == IntOp::Sub) return wrapSub(a, b);
    if constexpr (K == IntOp::Mul) return wrapMul(a, b);
    if constexpr (K == IntOp::Lt) return a < b;
    if constexpr (K == IntOp::Le) return a <= b;
    if constexpr (K == IntOp::Gt) return a > b;
    if constexpr (K == IntOp::Ge) return a >= b;
    if constexpr (K == IntOp::Eq) return a == b;
    if constexpr (K == IntOp::Ne) return a != b;
    if constexpr (K == IntOp::Rem) return b != 0 ? wrapRem(a, b) : l_rest(ctx, node, a, b);
    if constexpr (K == IntOp::RemBy) return a % b;
    if constexpr (K == IntOp::Routine) return node->routine.l(ctx, node, a, b);
}

template <IntOp K, class L, class R>
struct IntBinary final : IntExpr {
    op* node;
    L left;
    R right;
    IntBinary(op* n, L l, R r) : node(n), left(l), right(r) {
        mayHalt = left.halts() || right.halts() || K == IntOp::Rem || K == IntOp::Routine;
    }
    std::int32_t eval(Run& run) const override {
        std::int32_t a = left.get(run);
        if (left.halts() && halted(run.ctx)) return 1;
        std::int32_t b = right.get(run);
        if (right.halts() && halted(run.ctx)) return 1;
        return applyInt<K>(run.ctx, node, a, b);
    }
};

// && and ||: the right operand is skipped when the left decides.
template <bool IsOr>
struct IntLogic final : IntExpr {
    IntExpr* left;
    IntExpr* right;  // null when the node has none
    IntLogic(IntExpr* l, IntExpr* r) : left(l), right(r) { mayHalt = l->mayHalt || (r && r->mayHalt); }
    std::int32_t eval(Run& run) const override {
        std::int32_t a = left->eval(run);
        if (IsOr && a != 0) return 1;
        if (!IsOr && a == 0) return 0;
        if (left->mayHalt && halted(run.ctx)) return 1;
        std::int32_t b = 0;
        if (right) {
            b = right->eval(run);
            if (right->mayHalt && halted(run.ctx)) return 1;
        }
        return IsOr ? (a != 0 || b != 0) : (a != 0 && b != 0);
    }
};

struct TextCompare final : IntExpr {
    op* node;
    TxtExpr* left;
    TxtExpr* right;  // null when the node has none
    TextCompare(op* n, TxtExpr* l, TxtExpr* r) : node(n), left(l), right(r) {}
    std::int32_t eval(Run& run) const override {
        UnitContext* ctx = run.ctx;
        char* l = left->eval(run);
        if (halted(ctx) || !l) {
            TamFree(l);
            return 1;
        }
        char* r = nullptr;
        if (right) {
            r = right->eval(run);
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
};

// Float operators.

enum class FltOp { Add, Sub, Mul, Routine };

template <FltOp K>
inline double applyFlt(UnitContext* ctx, op* node, double a, double b) {
    if constexpr (K == FltOp::Add) return a + b;
    if constexpr (K == FltOp::Sub) return a - b;
    if constexpr (K == FltOp::Mul) return a * b;
    if constexpr (K == FltOp::Routine) return node->routine.r(ctx, node, a, b);
}

struct FltLocalOperand {
    int slot;
    double get(Run& run) const { return run.slots[slot].value.f; }
    bool halts() const { return false; }
};

struct FltConstOperand {
    double value;
    double get(Run&) const { return value; }
    bool halts() const { return false; }
};

struct FltAnyOperand {
    FltExpr* expr;
    double get(Run& run) const { return expr->eval(run); }
    bool halts() const { return expr->mayHalt; }
};

struct FltNoOperand {
    double get(Run&) const { return 0.0; }
    bool halts() const { return false; }
};

template <FltOp K, class L, class R>
struct FltBinary final : FltExpr {
    op* node;
    L left;
    R right;
    FltBinary(op* n, L l, R r) : node(n), left(l), right(r) {
        mayHalt = left.halts() || right.halts() || K == FltOp::Routine;
    }
    double eval(Run& run) const override {
        double a = left.get(run);
        if (left.halts() && halted(run.ctx)) return 1.0;
        double b = right.get(run);
        if (right.halts() && halted(run.ctx)) return 1.0;
        return applyFlt<K>(run.ctx, node, a, b);
    }
};

template <bool IsOr>
struct FltLogic final : FltExpr {
    FltExpr* left;
    FltExpr* right;
    FltLogic(FltExpr* l, FltExpr* r) : left(l), right(r) { mayHalt = l->mayHalt || (r && r->mayHalt); }
    double eval(Run& run) const override {
        double a = left->eval(run);
        if (IsOr && a != 0.0) return 1.0;
        if (!IsOr && a == 0.0) return 0.0;
        if (left->mayHalt && halted(run.ctx)) return 1.0;
        double b = 0.0;
        if (right) {
            b = right->eval(run);
            if (right->mayHalt && halted(run.ctx)) return 1.0;
        }
        return (IsOr ? (a != 0.0 || b != 0.0) : (a != 0.0 && b != 0.0)) ? 1.0 : 0.0;
    }
};

// Text operators: both operands are computed whatever the left one gave.
struct TextBinary final : TxtExpr {
    op* node;
    TxtExpr* left;
    TxtExpr* right;  // null when the node has none
    TextBinary(op* n, TxtExpr* l, TxtExpr* r) : node(n), left(l), right(r) {}
    char* eval(Run& run) const override {
        UnitContext* ctx = run.ctx;
        char* l = left->eval(run);
        char* r = nullptr;
        if (right) r = left->mayHalt && halted(ctx) ? t_calc_dup(ctx, node->right) : right->eval(run);
        if (!l || (right && !r)) {
            TamFree(l);
            TamFree(r);
            return nullptr;
        }
        char* result = node->routine.t(ctx, node, l, r);
        TamFree(l);
        TamFree(r);
        return result;
    }
};

// Builtins: through the generic path, or computed here when the handler
// is a pure function of its one argument. Those neither draw nor wait, so
// unlike the others they do not bring the next look at the display
// forward.

using IntBuiltinCall = RoutineLeaf<IntExpr, action, callIntBuiltin>;
using FltBuiltinCall = RoutineLeaf<FltExpr, action, callFltBuiltin>;
using TxtBuiltinCall = RoutineLeaf<TxtExpr, action, callTxtBuiltin>;

struct MathsCall final : FltExpr {
    MathsFunction function;
    FltExpr* argument;
    MathsCall(MathsFunction f, FltExpr* a) : function(f), argument(a) { mayHalt = a->mayHalt; }
    double eval(Run& run) const override { return function(argument->eval(run)); }
};

struct TextLength final : IntExpr {
    TxtExpr* argument;
    explicit TextLength(TxtExpr* a) : argument(a) { mayHalt = a->mayHalt; }
    std::int32_t eval(Run& run) const override {
        char* text = argument->eval(run);
        auto length = static_cast<std::int32_t>(std::strlen(text ? text : ""));
        TamFree(text);
        return length;
    }
};

struct LocalTextLength final : IntExpr {
    int slot;
    explicit LocalTextLength(int s) : slot(s) { mayHalt = false; }
    std::int32_t eval(Run& run) const override {
        const char* text = run.slots[slot].value.t;
        return static_cast<std::int32_t>(std::strlen(text ? text : ""));
    }
};

// Calls of user functions.

struct Actual {
    std::uint8_t type = 0;
    IntExpr* i = nullptr;
    FltExpr* f = nullptr;
    TxtExpr* t = nullptr;
    op* tree = nullptr;
};

struct CallSite;
using SealedEntry = Value (*)(Run&, const CallSite&);

struct CallSite {
    function* fn = nullptr;
    param* params = nullptr;
    bool direct = false;  // bound here when the callee is compiled
    bool ahead = false;   // every actual computed before any formal is bound
    mutable SealedEntry sealedEntry = nullptr;  // set once the callee is known to be sealed
    std::uint32_t formals = 0;
    std::vector<Actual> actuals;  // one per formal
};

// The actual's value for its formal, as the binding computes it; once the
// run has stopped, through the evaluators, as they would compute it.
[[gnu::always_inline]] inline Value actualValue(Run& run, const Actual& actual, bool mayFollowStop) {
    UnitContext* ctx = run.ctx;
    bool tree = mayFollowStop && halted(ctx);
    Value value{};
    switch (actual.type) {
    case VT_INT:
        value.i = tree ? calculate(ctx, actual.tree) : actual.i->eval(run);
        break;
    case VT_FLOAT:
        value.f = tree ? f_calculate(ctx, actual.tree) : actual.f->eval(run);
        break;
    default: {
        char* text = tree ? t_calc_dup(ctx, actual.tree) : actual.t->eval(run);
        value.t = text ? text : dupText(ctx, "");
        break;
    }
    }
    return value;
}

void storeArgument(vinst* inst, Value value) {
    if (inst->decl->type == VT_TEXT) TamFree(inst->value.t);
    inst->value = value;
}

bool bindInTurn(Run& run, const CallSite& site, funcinst* frame) {
    std::size_t k = 0;
    for (fparam* formal = site.fn->fparams; formal; formal = nextOf(formal), ++k) {
        vinst* inst = bindBlockInstance(run.ctx, frame, formal->decl);
        if (!inst) return false;
        storeArgument(inst, actualValue(run, site.actuals[k], k > 0));
    }
    return true;
}

bool bindAhead(Run& run, const CallSite& site, funcinst* frame) {
    constexpr std::size_t kMaxAhead = 16;
    Value values[kMaxAhead];
    std::size_t count = site.actuals.size();
    for (std::size_t k = 0; k < count; ++k) values[k] = actualValue(run, site.actuals[k], k > 0);
    std::size_t k = 0;
    for (fparam* formal = site.fn->fparams; formal; formal = nextOf(formal), ++k) {
        vinst* inst = bindBlockInstance(run.ctx, frame, formal->decl);
        if (!inst) {
            for (std::size_t rest = k; rest < count; ++rest)
                if (site.actuals[rest].type == VT_TEXT) TamFree(values[rest].t);
            return false;
        }
        storeArgument(inst, values[k]);
    }
    return true;
}

void runBody(UnitContext* ctx, const CompiledBody& body, vinst* slots);
bool bodyFits(const CompiledBody& body, const funcinst* frame);
bool isLean(const CompiledBody& body);
bool isSealed(function* fn);
Value leanCall(Run& run, const CallSite& site);
SealedEntry sealedEntryOf(function* fn);

// Whether a call of fn can go ahead: there is a program, and room on the
// stack for another level, else the recursion message is given. Inlined,
// so that the room is measured from the calling frame.
[[gnu::always_inline]] inline bool canEnter(UnitContext* ctx, function* fn) {
    if (!ctx->learnUnit) return false;
    if (!stackNearlyFull()) return true;
    tooDeepInFunction(ctx, fn);
    return false;
}

// A call of a compiled function from a compiled body: the call the
// statement interpreter makes, with the actuals computed by their nodes
// straight into the callee's block.
Value directCall(Run& run, const CallSite& site) {
    UnitContext* ctx = run.ctx;
    LearnUnit* unit = ctx->learnUnit;
    function* fn = site.fn;
    if (!canEnter(ctx, fn)) return {};
    funcinst frame;
    frame.owner = fn;
    frame.caller = unit->currentFrame;
    frame.serial = nextFrameSerial();
    Returning saved = returningOf(unit);
    beginBlockCall(ctx, fn, &frame);
    bool bound = site.ahead ? bindAhead(run, site, &frame) : bindInTurn(run, site, &frame);
    if (bound) {
        instantiateBlockLocals(ctx, fn, &frame);
        frame.body = fn->body;
        frame.sharedBody = 1;
    }
    Frame* savedContext = unit->objectContext;
    unit->currentFrame = &frame;
    unit->objectContext = &frame;
    if (bound && bodyFits(*fn->compiled, &frame))
        runBody(ctx, *fn->compiled, frame.blockSlots);
    else
        simulate(ctx, frame.body);
    endReturn(ctx, unit, &frame, saved);
    Value result = fn->retval;
    fn->retval = {};
    leaveBlockCall(ctx, fn, &frame);
    unit->currentFrame = frame.caller;
    unit->objectContext = savedContext;
    return result;
}

[[gnu::always_inline]] inline Value callValue(Run& run, const CallSite& site) {
    if (site.sealedEntry) return site.sealedEntry(run, site);
    if (site.direct && site.fn->compiled) {
        if (!isLean(*site.fn->compiled)) return directCall(run, site);
        if (!isSealed(site.fn)) return leanCall(run, site);
        site.sealedEntry = sealedEntryOf(site.fn);
        return site.sealedEntry(run, site);
    }
    return callFunction(run.ctx, site.fn, site.params);
}

struct IntCall final : IntExpr {
    const CallSite* site;
    explicit IntCall(const CallSite* s) : site(s) {}
    std::int32_t eval(Run& run) const override { return callValue(run, *site).i; }
};

struct FltCall final : FltExpr {
    const CallSite* site;
    explicit FltCall(const CallSite* s) : site(s) {}
    double eval(Run& run) const override { return callValue(run, *site).f; }
};

struct TxtCall final : TxtExpr {
    const CallSite* site;
    explicit TxtCall(const CallSite* s) : site(s) {}
    char* eval(Run& run) const override {
        char* text = callValue(run, *site).t;
        return text ? text : dupText(run.ctx, "");
    }
};

// Statements.

// A statement of a list: an int expression statement (a store, a step, a
// call) is evaluated by the list itself, without a statement node around
// it; any other statement is its node.
struct ListEntry {
    const Stmt* stmt = nullptr;
    const IntExpr* intExpr = nullptr;
};

struct StmtList final : Node {
    std::vector<ListEntry> stmts;
    Flow run(Run& run) const {
        UnitContext* ctx = run.ctx;
        if (ctx->urlFieldHasFocus) waitWhileTyping(ctx);
        if (halted(ctx)) return Flow::Stop;
        for (const ListEntry& entry : stmts) {
            std::uint32_t builtinsBefore = builtinCalls;
            if (entry.intExpr) {
                entry.intExpr->eval(run);
            } else {
                Flow flow = entry.stmt->run(run);
                if (flow != Flow::Next) return flow;
            }
            if (halted(ctx)) return Flow::Stop;
            serveEventsAfter(ctx, builtinsBefore);
        }
        return Flow::Next;
    }
};

// A statement the compiler leaves to the statement interpreter.
struct TreeStmt final : Stmt {
    simaction* s;
    explicit TreeStmt(simaction* st) : s(st) {}
    Flow run(Run& run) const override { return runStatement(run.ctx, s) ? Flow::Next : Flow::Stop; }
};

struct FltStmt final : Stmt {
    FltExpr* expr;
    explicit FltStmt(FltExpr* e) : expr(e) {}
    Flow run(Run& run) const override {
        expr->eval(run);
        return Flow::Next;
    }
};

struct TxtStmt final : Stmt {
    TxtExpr* expr;
    explicit TxtStmt(TxtExpr* e) : expr(e) {}
    Flow run(Run& run) const override {
        TamFree(expr->eval(run));
        return Flow::Next;
    }
};

struct CallStmt final : Stmt {
    const CallSite* site;
    explicit CallStmt(const CallSite* s) : site(s) {}
    Flow run(Run& run) const override {
        Value value = callValue(run, *site);
        if (site->fn->rettype == VT_TEXT) TamFree(value.t);
        return Flow::Next;
    }
};

// The return of an int (Expr IntExpr) or float (FltExpr) value.
template <class Expr>
struct NumberReturn final : Stmt {
    function* fn;
    Expr* value;
    NumberReturn(function* owner, Expr* v) : fn(owner), value(v) {}
    Flow run(Run& run) const override {
        auto v = value->eval(run);
        if (halted(run.ctx)) return Flow::Stop;
        if constexpr (std::is_same_v<Expr, IntExpr>)
            fn->retval.i = v;
        else
            fn->retval.f = v;
        return Flow::Return;
    }
};

struct TxtReturn final : Stmt {
    function* fn;
    TxtExpr* value;
    TxtReturn(function* owner, TxtExpr* v) : fn(owner), value(v) {}
    Flow run(Run& run) const override {
        char* v = value->eval(run);
        if (halted(run.ctx)) {
            TamFree(v);
            return Flow::Stop;
        }
        TamFree(fn->retval.t);
        fn->retval.t = v;
        return Flow::Return;
    }
};

// A condition; a missing one is true.
inline bool holds(Run& run, const IntExpr* cond) { return !cond || cond->eval(run) != 0; }

struct FltTruth final : IntExpr {
    FltExpr* value;
    explicit FltTruth(FltExpr* v) : value(v) { mayHalt = v->mayHalt; }
    std::int32_t eval(Run& run) const override { return value->eval(run) != 0.0; }
};

inline Flow afterNested(Flow flow) { return flow == Flow::Return ? Flow::Return : Flow::Next; }

struct IfStmt final : Stmt {
    IntExpr* cond;
    const StmtList* then;
    const StmtList* otherwise;
    IfStmt(IntExpr* c, const StmtList* t, const StmtList* o) : cond(c), then(t), otherwise(o) {}
    Flow run(Run& run) const override {
        bool taken = holds(run, cond);
        if (cond && cond->mayHalt && halted(run.ctx)) return Flow::Next;
        return afterNested((taken ? then : otherwise)->run(run));
    }
};

struct WhileStmt final : Stmt {
    IntExpr* cond;
    const StmtList* body;
    WhileStmt(IntExpr* c, const StmtList* b) : cond(c), body(b) {}
    Flow run(Run& run) const override {
        while (!halted(run.ctx) && holds(run, cond))
            if (body->run(run) == Flow::Return) return Flow::Return;
        return Flow::Next;
    }
};

struct ForStmt final : Stmt {
    IntExpr* cond;
    const StmtList* body;
    ForStmt(IntExpr* c, const StmtList* b) : cond(c), body(b) {}
    Flow run(Run& run) const override {
        if (!holds(run, cond)) return Flow::Next;
        do {
            if (body->run(run) == Flow::Return) return Flow::Return;
        } while (!halted(run.ctx) && holds(run, cond));
        return Flow::Next;
    }
};

struct BlockStmt final : Stmt {
    const StmtList* body;
    explicit BlockStmt(const StmtList* b) : body(b) {}
    Flow run(Run& run) const override { return afterNested(body->run(run)); }
};

template <class F>
bool is(OperRoutine routine, F* fn) {
    return routine.any == reinterpret_cast<void*>(fn);
}

bool isNumber(const op* node) { return node && (node->valtype == VT_INT || node->valtype == VT_FLOAT); }

}  // namespace

// Whether a lean body is sealed: it and every body it can call run no
// builtin through the generic path, no statement or expression of the
// interpreter and no call of an uncompiled or not lean function. Undecided
// while a body it can call has not been compiled yet.
enum class Seal : std::uint8_t { Undecided, Sealed, Open };

struct CompiledBody {
    std::vector<std::unique_ptr<Node>> nodes;
    std::vector<std::unique_ptr<CallSite>> sites;
    const StmtList* body = nullptr;
    std::uint32_t slotCount = 0;
    std::vector<vdecl*> slotDecls;  // formals in written order, then locals
    std::vector<vdecl*> declOrder;  // the function's declarations as listed
    bool lean = false;
    bool closed = true;  // its own nodes and calls keep to compiled code
    Seal seal = Seal::Undecided;
    std::uint32_t sealTriedAt = 0;  // compiledBodies when last left undecided
};

namespace {

// Functions whose variables are a few plain ints and floats keep them in
// slots on the machine stack instead of a block of the frame stack.
constexpr std::uint32_t kLeanSlots = 8;

bool isLean(const CompiledBody& body) { return body.lean; }

// Bodies compiled so far: an undecided seal is looked at again only once
// another body has been compiled.
std::uint32_t compiledBodies = 0;

// Follows the calls from fn's body through every body they reach. The
// reached bodies are all sealed when each is closed, lean and compiled.
Seal decideSeal(function* fn) {
    std::vector<function*> reached{fn};
    for (std::size_t k = 0; k < reached.size(); ++k) {
        const CompiledBody* body = reached[k]->compiled;
        if (!body) return Seal::Undecided;
        if (!body->closed || !body->lean || body->seal == Seal::Open) return Seal::Open;
        if (body->seal == Seal::Sealed) continue;
        for (const auto& site : body->sites)
            if (std::find(reached.begin(), reached.end(), site->fn) == reached.end()) reached.push_back(site->fn);
    }
    for (function* f : reached) f->compiled->seal = Seal::Sealed;
    return Seal::Sealed;
}

bool isSealed(function* fn) {
    CompiledBody& body = *fn->compiled;
    if (body.seal == Seal::Undecided && body.sealTriedAt != compiledBodies) {
        body.seal = decideSeal(fn);
        body.sealTriedAt = compiledBodies;
    }
    return body.seal == Seal::Sealed;
}

bool plainNumber(const vdecl* decl) {
    return (decl->type == VT_INT || decl->type == VT_FLOAT) && !decl->init && !decl->dims && decl->ndims == 0;
}

bool qualifiesAsLean(const CompiledBody& body) {
    if (body.slotCount > kLeanSlots || body.declOrder.size() != body.slotCount) return false;
    for (vdecl* decl : body.declOrder)
        if (!plainNumber(decl)) return false;
    return true;
}

inline void makeLeanSlot(vinst* slot, vdecl* decl, Value value) {
    new (slot) vinst();
    slot->decl = decl;
    slot->value = value;
    decl->current = slot;
}

// Element references of a calling function are unbound while it calls.
inline bool callerHasElementRefs(Frame* caller) {
    return caller && caller->owner && caller->owner->blockKind == BLOCK_FUNCTION &&
           static_cast<funcinst*>(caller)->elemRefs;
}

inline bool screenMayChange(const LearnUnit* unit) {
    return unit->changedHead || unit->callAttrs || unit->freezeCount > 0;
}

// The callee's slots on the caller's machine stack: the current instance
// of each of its declarations is saved, and the actuals are bound in the
// order the statement interpreter binds them.
[[gnu::always_inline]] inline void enterLeanSlots(Run& run, const CallSite& site, const CompiledBody& body,
                                                  std::uint32_t count, vinst* slots, vinst** saved) {
    vdecl* const* declOrder = body.declOrder.data();
    vdecl* const* slotDecls = body.slotDecls.data();
    for (std::uint32_t k = 0; k < count; ++k) saved[k] = declOrder[k]->current;
    std::uint32_t formals = std::min(site.formals, count);  // the formals are the first slots
    const Actual* actuals = site.actuals.data();
    if (site.ahead) {
        Value values[kLeanSlots];
        for (std::uint32_t k = 0; k < formals; ++k) values[k] = actualValue(run, actuals[k], k > 0);
        for (std::uint32_t k = 0; k < formals; ++k) makeLeanSlot(slots + k, slotDecls[k], values[k]);
    } else {
        for (std::uint32_t k = 0; k < formals; ++k)
            makeLeanSlot(slots + k, slotDecls[k], actualValue(run, actuals[k], k > 0));
    }
    for (std::uint32_t k = formals; k < count; ++k) makeLeanSlot(slots + k, slotDecls[k], {});
}

[[gnu::always_inline]] inline void leaveLeanSlots(UnitContext* ctx, const CompiledBody& body, std::uint32_t count,
                                                  vinst* slots, vinst* const* saved) {
    for (std::uint32_t k = count; k-- > 0;)
        if (slots[k].dependents) empty_vinst(ctx, slots + k);
    vdecl* const* declOrder = body.declOrder.data();
    for (std::uint32_t k = 0; k < count; ++k) declOrder[k]->current = saved[k];
}

// The call directCall makes, for a callee whose instances own nothing:
// its slots live in this function's stack frame, and the call's frame
// record points at them as at a block, so that the end of a call that
// made objects (which builtins can do) still goes through r_function.
Value leanCall(Run& run, const CallSite& site) {
    UnitContext* ctx = run.ctx;
    LearnUnit* unit = ctx->learnUnit;
    function* fn = site.fn;
    const CompiledBody& body = *fn->compiled;
    if (!canEnter(ctx, fn)) return {};
    alignas(vinst) unsigned char storage[kLeanSlots * sizeof(vinst)];
    auto* slots = reinterpret_cast<vinst*>(storage);
    vinst* saved[kLeanSlots];
    funcinst frame;
    frame.owner = fn;
    frame.caller = unit->currentFrame;
    frame.serial = nextFrameSerial();
    Frame* returningFrame = unit->returningFrame;
    std::uint64_t returningSerial = unit->returningSerial;
    bool callerRefs = callerHasElementRefs(frame.caller);
    if (callerRefs) bindCallerAliases(frame.caller, false);
    takeFrameBlock(ctx, 0, frame.blockMark);
    frame.inBlock = 1;
    frame.blockDecls = body.slotCount;
    frame.blockSlots = slots;
    frame.blockSaved = saved;
    enterLeanSlots(run, site, body, body.slotCount, slots, saved);
    frame.blockUsed = body.slotCount;
    frame.body = fn->body;
    frame.sharedBody = 1;
    Frame* savedContext = unit->objectContext;
    unit->currentFrame = &frame;
    unit->objectContext = &frame;
    runBody(ctx, body, slots);
    if (unit->returningFrame == &frame) endReturn(ctx, unit, &frame, {returningFrame, returningSerial});
    Value result = fn->retval;
    fn->retval = {};
    if (frame.windows || frame.graphs || frame.inputs || frame.freezeCount || frame.elemRefs || frame.instances) {
        r_function(ctx, fn, &frame);
    } else {
        if (callerRefs) bindCallerAliases(frame.caller, true);
        if (screenMayChange(unit)) refreshAfterReturn(ctx);
        leaveLeanSlots(ctx, body, body.slotCount, slots, saved);
        giveBackFrameBlock(frame.blockMark);
    }
    unit->currentFrame = frame.caller;
    unit->objectContext = savedContext;
    return result;
}

// A call of a sealed function. Call records are read only by builtins,
// by the statement interpreter and by what they run, and none of those
// can run inside a sealed call: the call needs no record of its own, no
// serial, no frame-stack mark and no return bookkeeping. What the record
// is otherwise kept for, the current instances and the refresh of the
// screen at the end of a call, is kept. N is the callee's slot count.
template <std::uint32_t N>
Value sealedCall(Run& run, const CallSite& site) {
    UnitContext* ctx = run.ctx;
    LearnUnit* unit = ctx->learnUnit;
    function* fn = site.fn;
    const CompiledBody& body = *fn->compiled;
    if (!canEnter(ctx, fn)) return {};
    constexpr std::uint32_t room = N > 0 ? N : 1;
    alignas(vinst) unsigned char storage[room * sizeof(vinst)];
    auto* slots = reinterpret_cast<vinst*>(storage);
    vinst* saved[room];
    enterLeanSlots(run, site, body, N, slots, saved);
    runBody(ctx, body, slots);
    Value result = fn->retval;
    fn->retval = {};
    if (screenMayChange(unit)) refreshAfterReturn(ctx);
    leaveLeanSlots(ctx, body, N, slots, saved);
    return result;
}

template <std::uint32_t... N>
constexpr SealedEntry sealedEntries[] = {sealedCall<N>...};

SealedEntry sealedEntryOf(function* fn) {
    static_assert(kLeanSlots == 8);
    return sealedEntries<0, 1, 2, 3, 4, 5, 6, 7, 8>[fn->compiled->slotCount];
}

void runBody(UnitContext* ctx, const CompiledBody& body, vinst* slots) {
    Run run{ctx, slots};
    body.body->run(run);
}

// The slots hold the formals, in written order, then the locals: the
// order in which a call makes its instances. A call whose instances could
// not all be made runs through the statement interpreter.
bool bodyFits(const CompiledBody& body, const funcinst* frame) {
    return frame->inBlock && frame->sharedBody && frame->blockUsed == body.slotCount;
}

class Compiler {
public:
    Compiler(function* fn, CompiledBody& out) : fn_(fn), out_(out) {
        for (fparam* formal = fn->fparams; formal; formal = nextOf(formal)) slots_.push_back(formal->decl);
        for (vdecl* decl = fn->decls; decl && decl != fn->firstParam; decl = nextOf(decl)) slots_.push_back(decl);
        out.slotCount = static_cast<std::uint32_t>(slots_.size());
        out.slotDecls = slots_;
    }

    const StmtList* list(simaction* first) {
        auto* result = make<StmtList>();
        for (simaction* s = first; s; s = nextOf(s)) {
            if (IntExpr* e = intStatement(s))
                result->stmts.push_back({nullptr, e});
            else
                result->stmts.push_back({statement(s), nullptr});
        }
        return result;
    }

private:
    function* fn_;
    CompiledBody& out_;
    std::vector<vdecl*> slots_;

    template <class T, class... Args>
    T* make(Args&&... args) {
        if constexpr (std::is_same_v<T, IntTree> || std::is_same_v<T, FltTree> || std::is_same_v<T, TxtTree> ||
                      std::is_same_v<T, TreeStmt> || std::is_same_v<T, IntBuiltinCall> ||
                      std::is_same_v<T, FltBuiltinCall> || std::is_same_v<T, TxtBuiltinCall>)
            out_.closed = false;
        auto node = std::make_unique<T>(std::forward<Args>(args)...);
        T* raw = node.get();
        out_.nodes.push_back(std::move(node));
        return raw;
    }

    int slotOf(const vdecl* decl) const {
        for (std::size_t k = 0; k < slots_.size(); ++k)
            if (slots_[k] == decl) return static_cast<int>(k);
        return -1;
    }

    // A declaration of the learn unit that has its instance keeps it for
    // the whole run; any other outer variable may be without one.
    bool alwaysHasInstance(const vdecl* decl) const {
        if (!decl->current) return false;
        const Block* root = fn_;
        while (root->parent) root = root->parent;
        if (root->blockKind != BLOCK_ROOT) return false;
        for (vdecl* d = root->decls; d; d = nextOf(d))
            if (d == decl) return true;
        return false;
    }

    // Statements.

    // The expression an int expression statement evaluates, or null for
    // any other statement.
    IntExpr* intStatement(simaction* s) {
        if (s->nested) return nullptr;
        if (s->call) return s->call->type == ACT_BUILTIN_INT ? make<IntBuiltinCall>(s->call) : nullptr;
        if (s->expr && s->expr->valtype == VT_INT) return intExpr(s->expr);
        return nullptr;
    }

    Stmt* statement(simaction* s) {
        if (s->nested) return control(s);
        if (s->call) return callStatement(s);
        if (s->expr) return expressionStatement(s);
        if (s->retexpr) return returnStatement(s);
        return make<TreeStmt>(s);
    }

    // The condition node, or false when the statement interpreter must
    // judge it (neither int nor float).
    bool condition(op* cond, IntExpr** out) {
        *out = nullptr;
        if (!cond) return true;
        if (cond->valtype == VT_INT) {
            *out = intExpr(cond);
            return true;
        }
        if (cond->valtype == VT_FLOAT) {
            *out = make<FltTruth>(fltExpr(cond));
            return true;
        }
        return false;
    }

    Stmt* control(simaction* s) {
        simaction* c = s->nested;
        if (!c->control) return make<BlockStmt>(list(c));
        IntExpr* cond = nullptr;
        if (!condition(c->cond, &cond)) return make<TreeStmt>(s);
        if (c->control == IF) return make<IfStmt>(cond, list(c->nested), list(nextOf(c)));
        if (c->control == WHILE) return make<WhileStmt>(cond, list(c->nested));
        if (c->control == FOR) return make<ForStmt>(cond, list(c->nested));
        return make<TreeStmt>(s);
    }

    Stmt* callStatement(simaction* s) {
        action* act = s->call;
        switch (act->type) {
        case 32:
        case ACT_FUNC_INT:
        case ACT_FUNC_FLOAT:
        case ACT_FUNC_TEXT:
            if (!act->target.fn || act->target.fn->rettype != (act->type & 3)) break;
            return make<CallStmt>(callSite(act));
        case ACT_BUILTIN_FLOAT:
            return make<FltStmt>(make<FltBuiltinCall>(act));
        case ACT_BUILTIN_TEXT:
            return make<TxtStmt>(make<TxtBuiltinCall>(act));
        default:
            break;
        }
        return make<TreeStmt>(s);
    }

    Stmt* expressionStatement(simaction* s) {
        switch (s->expr->valtype) {
        case VT_FLOAT:
            return make<FltStmt>(fltExpr(s->expr));
        case VT_TEXT:
            return make<TxtStmt>(txtExpr(s->expr));
        default:
            return make<TreeStmt>(s);
        }
    }

    Stmt* returnStatement(simaction* s) {
        switch (fn_->rettype) {
        case VT_INT:
            return make<NumberReturn<IntExpr>>(fn_, intExpr(s->retexpr));
        case VT_FLOAT:
            return make<NumberReturn<FltExpr>>(fn_, fltExpr(s->retexpr));
        case VT_TEXT:
            return make<TxtReturn>(fn_, txtExpr(s->retexpr));
        default:
            return make<TreeStmt>(s);
        }
    }

    // Calls.

    const CallSite* callSite(action* act) {
        auto site = std::make_unique<CallSite>();
        site->fn = act->target.fn;
        site->params = act->args.params;
        decideBinding(*site);
        if (!site->direct) out_.closed = false;
        const CallSite* raw = site.get();
        out_.sites.push_back(std::move(site));
        return raw;
    }

    // Calls bound here are those the statement interpreter binds in turn
    // or ahead, with an actual for every formal and every formal by value.
    void decideBinding(CallSite& site) {
        function* fn = site.fn;
        if (!fn) return;
        std::size_t formals = 0;
        for (fparam* formal = fn->fparams; formal; formal = nextOf(formal), ++formals)
            if (formal->isRef || formal->decl->type < VT_INT || formal->decl->type > VT_TEXT) return;
        std::size_t actuals = 0;
        for (param* p = site.params; p; p = nextOf(p)) ++actuals;
        if (actuals < formals) return;
        if (formals > 0 && declarationBound(site.params)) {
            BindPlan plan = bindPlanOf(fn, site.params);
            if (plan == BindPlan::Copied || (plan == BindPlan::Ahead && formals > 16)) return;
            site.ahead = plan == BindPlan::Ahead;
        }
        param* actual = site.params;
        for (fparam* formal = fn->fparams; formal; formal = nextOf(formal), actual = nextOf(actual)) {
            Actual a;
            a.type = formal->decl->type;
            a.tree = actual->expr;
            if (a.type == VT_INT)
                a.i = intExpr(actual->expr);
            else if (a.type == VT_FLOAT)
                a.f = fltExpr(actual->expr);
            else
                a.t = txtExpr(actual->expr);
            site.actuals.push_back(a);
        }
        site.formals = static_cast<std::uint32_t>(site.actuals.size());
        site.direct = true;
    }

    // Variables.

    IntExpr* intVariable(op* node) {
        vdecl* decl = node->left.decl;
        int slot = slotOf(decl);
        if (slot >= 0) return make<IntLocal>(slot);
        return make<IntOuter>(node, !alwaysHasInstance(decl));
    }

    FltExpr* fltVariable(op* node) {
        vdecl* decl = node->left.decl;
        int slot = slotOf(decl);
        if (slot >= 0) return make<FltLocal>(slot);
        return make<FltOuter>(node, !alwaysHasInstance(decl));
    }

    // One-dimensional arrays with exactly one index; null for any other
    // access.
    template <class Build>
    auto element(op* node, Build build) -> decltype(build(LocalArray{}, AnyOperand{}, nullptr)) {
        intarray* access = node->left.arr;
        if (!access || access->type != DO_VDECL || !access->array.decl) return nullptr;
        vdecl* decl = access->array.decl;
        param* index = access->indexes;
        if (decl->ndims != 1 || !index || nextOf(index) || !index->expr) return nullptr;
        int slot = slotOf(decl);
        if (slot >= 0) return withIndex(LocalArray{slot}, index, build);
        return withIndex(OuterArray{decl}, index, build);
    }

    template <class Array, class Build>
    auto withIndex(Array array, param* index, Build build) {
        op* expr = index->expr;
        int slot = expr->flag == 9 && expr->type == DO_VDECL ? slotOf(expr->left.decl) : -1;
        if (slot >= 0) return build(array, LocalOperand{slot}, index);
        std::int32_t delta = 0;
        slot = offsetOfLocal(expr, &delta);
        if (slot >= 0) return build(array, OffsetOperand{slot, delta}, index);
        return build(array, AnyOperand{intExpr(expr)}, index);
    }

    // The slot of v when node is v + c or v - c for one of the function's
    // int variables v and an int literal c, with the amount it adds; -1
    // otherwise. Both wrap as the operators do.
    int offsetOfLocal(const op* node, std::int32_t* delta) const {
        if (!node || node->type != DO_VDECL || node->flag != 65 || !node->right) return -1;
        bool add = is(node->routine, l_add);
        if (!add && !is(node->routine, l_sub)) return -1;
        const op* left = node->left.op;
        const op* right = node->right;
        if (!left || left->flag != 9 || left->type != DO_VDECL) return -1;
        if (right->flag != 1 || right->type != DO_VDECL) return -1;
        std::int32_t c = right->left.i;
        if (!add && c == std::numeric_limits<std::int32_t>::min()) return -1;
        *delta = add ? c : -c;
        return slotOf(left->left.decl);
    }

    IntExpr* intElement(op* node) {
        IntExpr* e = element(node, [this](auto array, auto i, param* p) -> IntExpr* {
            return make<IntElement<decltype(array), decltype(i)>>(array, i, p);
        });
        return e ? e : make<IntTree>(node);
    }

    FltExpr* fltElement(op* node) {
        FltExpr* e = element(node, [this](auto array, auto i, param* p) -> FltExpr* {
            return make<FltElement<decltype(array), decltype(i)>>(array, i, p);
        });
        return e ? e : make<FltTree>(node);
    }

    // Expressions by result type, each computing what calculate,
    // f_calculate and t_calc_dup compute for the node.

    IntExpr* intExpr(op* node) {
        if (!node) return make<IntConst>(0);
        if (node->type != DO_VDECL) return make<IntTree>(node);
        switch (node->flag) {
        case 1:
            return make<IntConst>(node->left.i);
        case 2:
            return make<IntConst>(truncTowardZero(node->left.f));
        case 5:
            return make<IntConst>(node->left.con->value.i);
        case 6:
            return make<IntConst>(truncTowardZero(node->left.con->value.f));
        case 9:
            return intVariable(node);
        case 10:
        case 18:
        case 34:
        case 38:
        case 66:
            return make<TruncOf>(fltExpr(node));
        case 17:
            return intElement(node);
        case 33:
            return make<IntCall>(callSite(node->left.act));
        case 37:
            return intBuiltin(node->left.act);
        case 65:
            return intOperator(node);
        default:
            return make<IntTree>(node);
        }
    }

    FltExpr* fltExpr(op* node) {
        if (!node) return make<FltConst>(0.0);
        if (node->type != DO_VDECL) return make<FltTree>(node);
        switch (node->flag) {
        case 1:
            return make<FltConst>(node->left.i);
        case 2:
            return make<FltConst>(node->left.f);
        case 5:
            return make<FltConst>(node->left.con->value.i);
        case 6:
            return make<FltConst>(node->left.con->value.f);
        case 9:
        case 17:
        case 33:
        case 37:
        case 65:
            return make<DoubleOf>(intExpr(node));
        case 10:
            return fltVariable(node);
        case 18:
            return fltElement(node);
        case 34:
            return make<FltCall>(callSite(node->left.act));
        case 38:
            return fltBuiltin(node->left.act);
        case 66:
            return fltOperator(node);
        default:
            return make<FltTree>(node);
        }
    }

    TxtExpr* txtExpr(op* node) {
        if (!node || node->type != DO_VDECL) return make<TxtTree>(node);
        switch (node->flag) {
        case 3:
            return make<TxtConst>(node->left.t);
        case 7:
            return make<TxtConst>(node->left.con->value.t);
        case 11: {
            int slot = slotOf(node->left.decl);
            if (slot >= 0) return make<TxtLocal>(slot);
            return make<TxtTree>(node);
        }
        case 35:
        case 39: {
            action* act = node->left.act;
            if (act->type == ACT_FUNC_TEXT) return make<TxtCall>(callSite(act));
            return make<TxtBuiltinCall>(act);
        }
        case 67:
            return txtOperator(node);
        default:
            return make<TxtTree>(node);
        }
    }

    static param* onlyArgument(action* act) {
        param* arg = act->args.params;
        return arg && !nextOf(arg) && arg->expr ? arg : nullptr;
    }

    IntExpr* intBuiltin(action* act) {
        param* arg = onlyArgument(act);
        bool valuesOnly = readsArgumentValuesOnly(reinterpret_cast<const void*>(act->target.ih));
        if (act->target.ih == Sstrlen && arg && valuesOnly && arg->expr->valtype == VT_TEXT) {
            op* text = arg->expr;
            int slot = text->flag == 11 && text->type == DO_VDECL ? slotOf(text->left.decl) : -1;
            if (slot >= 0) return make<LocalTextLength>(slot);
            return make<TextLength>(txtExpr(text));
        }
        return make<IntBuiltinCall>(act);
    }

    FltExpr* fltBuiltin(action* act) {
        param* arg = onlyArgument(act);
        MathsFunction function = pureMathsFunction(act->target.fh);
        bool valuesOnly = readsArgumentValuesOnly(reinterpret_cast<const void*>(act->target.fh));
        if (function && arg && valuesOnly && isNumber(arg->expr)) return make<MathsCall>(function, fltExpr(arg->expr));
        return make<FltBuiltinCall>(act);
    }

    // Operators.

    template <IntOp K, class L>
    IntExpr* intRight(op* node, L left) {
        op* right = node->right;
        if (!right) return make<IntBinary<K, L, NoOperand>>(node, left, NoOperand{});
        if (right->flag == 1 && right->type == DO_VDECL)
            return make<IntBinary<K, L, ConstOperand>>(node, left, ConstOperand{right->left.i});
        int slot = right->flag == 9 && right->type == DO_VDECL ? slotOf(right->left.decl) : -1;
        if (slot >= 0) return make<IntBinary<K, L, LocalOperand>>(node, left, LocalOperand{slot});
        return make<IntBinary<K, L, AnyOperand>>(node, left, AnyOperand{intExpr(right)});
    }

    template <IntOp K>
    IntExpr* intBinary(op* node) {
        op* left = node->left.op;
        int slot = left->flag == 9 && left->type == DO_VDECL ? slotOf(left->left.decl) : -1;
        if (slot >= 0) return intRight<K>(node, LocalOperand{slot});
        return intRight<K>(node, AnyOperand{intExpr(left)});
    }

    IntExpr* intStore(op* node) {
        op* target = node->left.op;
        int slot = target->flag == 9 ? slotOf(target->left.decl) : -1;
        std::int32_t delta = 0;
        if (slot >= 0 && offsetOfLocal(node->right, &delta) == slot) return make<StepIntLocal>(slot, delta, false);
        IntExpr* value = intExpr(node->right);
        if (target->flag == 9) {
            if (slot >= 0) return make<StoreIntLocal>(slot, value);
            return make<StoreIntOuter>(node, value);
        }
        IntExpr* e = element(target, [this, value](auto array, auto i, param* p) -> IntExpr* {
            return make<StoreIntElement<decltype(array), decltype(i)>>(array, i, p, value);
        });
        return e ? e : make<AssignInt>(node, value);
    }

    IntExpr* intStep(op* node, std::int32_t delta, bool post) {
        op* target = node->left.op;
        int slot = target && target->flag == 9 && target->type == DO_VDECL && !node->right
                       ? slotOf(target->left.decl)
                       : -1;
        if (slot >= 0) return make<StepIntLocal>(slot, delta, post);
        return intBinary<IntOp::Routine>(node);
    }

    IntExpr* intOperator(op* node) {
        OperRoutine r = node->routine;
        op* left = node->left.op;
        if (!left) return make<IntTree>(node);
        if (is(r, l_ass) && left->type == DO_VDECL && (left->flag == 9 || left->flag == 17)) return intStore(node);
        static IntRoutine const assigns[] = {l_ass,     l_assplus,   l_assminus,  l_assmod, l_assdiv,
                                             l_assmult, l_asslshift, l_assrshift, l_assbor, l_assband};
        for (IntRoutine a : assigns)
            if (is(r, a)) return make<AssignInt>(node, intExpr(node->right));
        static TxtCmpRoutine const compares[] = {t_eq, t_ne, t_lt, t_le, t_gt, t_ge};
        for (TxtCmpRoutine c : compares)
            if (is(r, c)) return textComparison(node);
        if (!isNumber(left) || (node->right && !isNumber(node->right))) return make<IntTree>(node);
        if (is(r, l_or)) return make<IntLogic<true>>(intExpr(left), node->right ? intExpr(node->right) : nullptr);
        if (is(r, l_and)) return make<IntLogic<false>>(intExpr(left), node->right ? intExpr(node->right) : nullptr);
        if (is(r, l_postplus)) return intStep(node, 1, true);
        if (is(r, l_preplus)) return intStep(node, 1, false);
        if (is(r, l_postminus)) return intStep(node, -1, true);
        if (is(r, l_preminus)) return intStep(node, -1, false);
        if (is(r, l_add)) return intBinary<IntOp::Add>(node);
        if (is(r, l_sub)) return intBinary<IntOp::Sub>(node);
        if (is(r, l_mul)) return intBinary<IntOp::Mul>(node);
        if (is(r, l_lt)) return intBinary<IntOp::Lt>(node);
        if (is(r, l_le)) return intBinary<IntOp::Le>(node);
        if (is(r, l_gt)) return intBinary<IntOp::Gt>(node);
        if (is(r, l_ge)) return intBinary<IntOp::Ge>(node);
        if (is(r, l_eq)) return intBinary<IntOp::Eq>(node);
        if (is(r, l_ne)) return intBinary<IntOp::Ne>(node);
        if (is(r, l_rest)) {
            op* divisor = node->right;
            bool plainDivisor = divisor && divisor->flag == 1 && divisor->type == DO_VDECL && divisor->left.i != 0 &&
                                divisor->left.i != -1;
            return plainDivisor ? intBinary<IntOp::RemBy>(node) : intBinary<IntOp::Rem>(node);
        }
        return intBinary<IntOp::Routine>(node);
    }

    IntExpr* textComparison(op* node) {
        op* left = node->left.op;
        if (left->valtype != VT_TEXT || (node->right && node->right->valtype != VT_TEXT))
            return make<IntTree>(node);
        return make<TextCompare>(node, txtExpr(left), node->right ? txtExpr(node->right) : nullptr);
    }

    template <FltOp K, class L>
    FltExpr* fltRight(op* node, L left) {
        op* right = node->right;
        if (!right) return make<FltBinary<K, L, FltNoOperand>>(node, left, FltNoOperand{});
        if (right->flag == 2 && right->type == DO_VDECL && right->valtype == VT_FLOAT)
            return make<FltBinary<K, L, FltConstOperand>>(node, left, FltConstOperand{right->left.f});
        return make<FltBinary<K, L, FltAnyOperand>>(node, left, FltAnyOperand{fltExpr(right)});
    }

    template <FltOp K>
    FltExpr* fltBinary(op* node) {
        op* left = node->left.op;
        int slot = left->flag == 10 && left->type == DO_VDECL && left->valtype == VT_FLOAT ? slotOf(left->left.decl) : -1;
        if (slot >= 0) return fltRight<K>(node, FltLocalOperand{slot});
        return fltRight<K>(node, FltAnyOperand{fltExpr(left)});
    }

    FltExpr* fltOperator(op* node) {
        OperRoutine r = node->routine;
        op* left = node->left.op;
        if (!left) return make<FltTree>(node);
        if (is(r, r_ass) && left->flag == 10 && left->type == DO_VDECL) {
            FltExpr* value = fltExpr(node->right);
            int slot = slotOf(left->left.decl);
            if (slot >= 0) return make<StoreFltLocal>(slot, value);
            return make<StoreFltOuter>(node, value);
        }
        static FltRoutine const assigns[] = {r_ass, r_assplus, r_assminus, r_assdiv, r_assmod, r_assmult};
        for (FltRoutine a : assigns)
            if (is(r, a)) return make<AssignFlt>(node, fltExpr(node->right));
        if (!isNumber(left) || (node->right && !isNumber(node->right))) return make<FltTree>(node);
        if (is(r, r_or)) return make<FltLogic<true>>(fltExpr(left), node->right ? fltExpr(node->right) : nullptr);
        if (is(r, r_and)) return make<FltLogic<false>>(fltExpr(left), node->right ? fltExpr(node->right) : nullptr);
        if (is(r, r_add)) return fltBinary<FltOp::Add>(node);
        if (is(r, r_sub)) return fltBinary<FltOp::Sub>(node);
        if (is(r, r_mul)) return fltBinary<FltOp::Mul>(node);
        return fltBinary<FltOp::Routine>(node);
    }

    TxtExpr* txtOperator(op* node) {
        op* left = node->left.op;
        if (is(node->routine, t_ass)) {
            if (!node->right) return make<TxtTree>(node);
            return make<AssignTxt>(node, txtExpr(node->right));
        }
        if (!left || left->valtype != VT_TEXT) return make<TxtTree>(node);
        return make<TextBinary>(node, txtExpr(left), node->right ? txtExpr(node->right) : nullptr);
    }
};

void compile(function* fn) {
    fn->compileState = 1;
    if (!compiledEngine() || !callsTakeBlock(fn)) return;
    auto body = std::make_unique<CompiledBody>();
    Compiler compiler(fn, *body);
    body->body = compiler.list(fn->body);
    for (vdecl* decl = fn->decls; decl; decl = nextOf(decl)) body->declOrder.push_back(decl);
    body->lean = qualifiesAsLean(*body);
    fn->compiled = body.release();
    ++compiledBodies;
}

}  // namespace

bool compiledEngine() {
    static const bool compiled = [] {
        const char* engine = std::getenv("TALVIX_ENGINE");
        return !(engine && std::strcmp(engine, "tree") == 0);
    }();
    return compiled;
}

bool runCompiledBody(UnitContext* ctx, function* fn, funcinst* frame) {
    if (fn->compileState == 0 && fn->frameMode != 0) compile(fn);
    CompiledBody* body = fn->compiled;
    if (!body || !bodyFits(*body, frame)) return false;
    runBody(ctx, *body, frame->blockSlots);
    return true;
}

void releaseCompiled(function* fn) {
    delete fn->compiled;
    fn->compiled = nullptr;
}
