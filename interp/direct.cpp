// Which function bodies run as parsed, and how the actuals of calls
// written in them are bound. Both answers depend only on the parsed
// program, so each is worked out once and kept on the record it concerns.
#include "interp/direct.h"

#include "interp/inst_support.h"
#include "interp/operators.h"

namespace {

template <class F>
bool is(OperRoutine routine, F* fn) {
    return routine.any == reinterpret_cast<void*>(fn);
}

// Operators that only compute a value from their operands.
bool isPureRoutine(const op* node) {
    static IntRoutine const ints[] = {l_unsub, l_unadd, l_not, l_pow, l_mul, l_rest, l_add, l_sub,
                                      l_lshift, l_rshift, l_lt, l_le, l_gt, l_ge, l_eq, l_ne,
                                      l_bitand, l_bitor, l_and, l_or};
    static FltRoutine const floats[] = {r_unsub, r_unadd, r_not, r_pow, r_mul, r_div, r_rest, r_add, r_sub,
                                        r_lt, r_le, r_gt, r_ge, r_eq, r_ne, r_bitand, r_bitor, r_and, r_or};
    static TxtCmpRoutine const compares[] = {t_lt, t_le, t_gt, t_ge, t_eq, t_ne};
    for (IntRoutine r : ints)
        if (is(node->routine, r)) return true;
    for (FltRoutine r : floats)
        if (is(node->routine, r)) return true;
    for (TxtCmpRoutine r : compares)
        if (is(node->routine, r)) return true;
    return is(node->routine, t_add);
}

bool isAssignment(const op* node) {
    static IntRoutine const ints[] = {l_ass,     l_assplus, l_assminus,  l_assmod,    l_assdiv,
                                      l_assmult, l_assband, l_assbor,    l_asslshift, l_assrshift};
    static FltRoutine const floats[] = {r_ass, r_assplus, r_assminus, r_assdiv, r_assmod, r_assmult};
    for (IntRoutine r : ints)
        if (is(node->routine, r)) return true;
    for (FltRoutine r : floats)
        if (is(node->routine, r)) return true;
    return is(node->routine, t_ass);
}

bool isRefFormalOf(const function* fn, const vdecl* decl) {
    for (fparam* formal = fn->fparams; formal; formal = nextOf(formal))
        if (formal->isRef && formal->decl == decl) return true;
    return false;
}

bool declares(const Block* block, const vdecl* decl) {
    for (vdecl* d = block->decls; d; d = nextOf(d))
        if (d == decl) return true;
    return false;
}

// A declaration keeps its current instance while a body runs when a
// function or the learn unit owns it. A generator's instances outlive its
// call, which leaves them current; a reference formal may stand for an
// array element, which copying turns into an element access.
bool keepsItsInstance(const function* fn, const vdecl* decl) {
    for (const Block* block = fn; block; block = block->parent) {
        if (!declares(block, decl)) continue;
        if (block->blockKind == BLOCK_GENERATOR) return false;
        return block->blockKind == BLOCK_ROOT ||
               !isRefFormalOf(static_cast<const function*>(block), decl);
    }
    return false;
}

// The value type the node would get when copied must be the one it has.
bool typedAsCopied(UnitContext* ctx, op* node) {
    std::uint8_t parsed = node->valtype;
    int copied = compute_valtype(ctx, node);
    node->valtype = parsed;
    return copied == parsed;
}

struct BodyCheck {
    UnitContext* ctx;
    const function* fn;

    bool params(param* list) const {
        for (param* p = list; p; p = nextOf(p))
            if (!expr(p->expr)) return false;
        return true;
    }

    bool call(action* act) const {
        if (!act || act->type == ACT_OBJECT) return false;
        return params(act->args.params);
    }

    bool variable(vdecl* decl) const { return decl && keepsItsInstance(fn, decl); }

    bool operation(op* node) const {
        if (isExprval(node)) return false;
        op* target = node->left.op;
        if (target && (target->flag == T_ATTR || target->valtype == 0) && isAssignment(node)) return false;
        return expr(target) && expr(node->right);
    }

    bool kinds(op* node) const {
        switch (node->flag) {
        case 1: case 2: case 3:
        case 5: case 6: case 7:
            return true;
        case 9: case 10: case 11:
            return variable(node->left.decl);
        case 17: case 18: case 19: {
            intarray* access = node->left.arr;
            return access && access->type == DO_VDECL && variable(access->array.decl) && params(access->indexes);
        }
        case 32: case 33: case 34: case 35:
        case 37: case 38: case 39:
            return call(node->left.act);
        case 64: case 65: case 66: case 67:
            return operation(node);
        default:
            return false;
        }
    }

    bool expr(op* node) const {
        if (!node) return true;
        return node->type == DO_VDECL && kinds(node) && typedAsCopied(ctx, node);
    }

    bool statements(simaction* list) const {
        for (simaction* s = list; s; s = nextOf(s)) {
            if (s->call && !call(s->call)) return false;
            if (!expr(s->expr) || !expr(s->retexpr) || !expr(s->cond)) return false;
            if (!statements(s->nested)) return false;
        }
        return true;
    }
};

bool isFormalOf(const function* fn, const vdecl* decl) {
    for (fparam* formal = fn->fparams; formal; formal = nextOf(formal))
        if (formal->decl == decl) return true;
    return false;
}

// Whether an actual's text (its nested calls' actuals included) reads a
// formal of the callee, and whether it does nothing but compute a value.
struct ActualScan {
    const function* callee;
    bool readsFormal = false;
    bool pure = true;

    void params(param* list) {
        for (param* p = list; p; p = nextOf(p)) expr(p->expr);
    }

    void expr(op* node) {
        if (!node) return;
        switch (node->flag) {
        case 9: case 10: case 11:
            readsFormal |= isFormalOf(callee, node->left.decl);
            break;
        case 17: case 18: case 19:
            readsFormal |= isFormalOf(callee, node->left.arr->array.decl);
            params(node->left.arr->indexes);
            break;
        case 32: case 33: case 34: case 35:
        case 37: case 38: case 39:
            pure = false;
            params(node->left.act->args.params);
            break;
        case 64: case 65: case 66: case 67:
            pure &= isPureRoutine(node);
            expr(node->left.op);
            expr(node->right);
            break;
        default:
            break;
        }
    }
};

bool allByValue(const function* fn) {
    for (fparam* formal = fn->fparams; formal; formal = nextOf(formal))
        if (formal->isRef || formal->decl->type < VT_INT || formal->decl->type > VT_TEXT) return false;
    return true;
}

BindPlan decidePlan(function* fn, param* actuals) {
    ActualScan scan{fn};
    param* actual = actuals;
    for (fparam* formal = fn->fparams; formal && actual; formal = nextOf(formal), actual = nextOf(actual))
        scan.expr(actual->expr);
    bool hasRef = !allByValue(fn);
    if (!scan.readsFormal && !hasRef) return BindPlan::InTurn;
    if (scan.pure && !hasRef) return BindPlan::Ahead;
    return BindPlan::Copied;
}

}  // namespace

bool runsUncopied(UnitContext* ctx, function* fn) {
    if (fn->bodyMode == 0) fn->bodyMode = BodyCheck{ctx, fn}.statements(fn->body) ? 2 : 1;
    return fn->bodyMode == 2;
}

BindPlan bindPlanOf(function* fn, param* actuals) {
    if (actuals->bindPlan == 0) actuals->bindPlan = static_cast<std::uint8_t>(decidePlan(fn, actuals));
    return static_cast<BindPlan>(actuals->bindPlan);
}
