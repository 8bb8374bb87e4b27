// Evaluation of hand-built expression trees: arithmetic that wraps and
// never traps, conversions, text operators, short circuits, array bounds,
// stores and the changed queue.
#include <climits>

#include "interp/eval.h"
#include "interp/operators.h"
#include "interp_support.h"

namespace {

using interp_test::InterpTest;
using EvalTest = InterpTest;

int calls = 0;
std::int32_t countingBuiltin(UnitContext*, param*) { return ++calls; }

TEST_F(EvalTest, IntegerArithmeticWrapsAndTruncates) {
    vinst* x = variable("x", VT_INT);
    // 7 / 2 is a float division; stored into an int it truncates toward zero.
    EXPECT_EQ(calculate(&ctx, own(oper(65, l_ass, ref(x), oper(66, r_div, lit(7), lit(2))))), 3);
    EXPECT_EQ(x->value.i, 3);
    EXPECT_EQ(calculate(&ctx, own(oper(65, l_ass, ref(x), oper(66, r_div, lit(-7), lit(2))))), -3);
    EXPECT_EQ(calculate(&ctx, own(oper(65, l_rest, lit(7), lit(-2)))), 1);
    EXPECT_EQ(calculate(&ctx, own(oper(65, l_rest, lit(-7), lit(2)))), -1);
    EXPECT_EQ(calculate(&ctx, own(oper(65, l_rest, lit(INT_MIN), lit(-1)))), 0);
    EXPECT_EQ(calculate(&ctx, own(oper(65, l_pow, lit(2), lit(0)))), 1);
    EXPECT_EQ(calculate(&ctx, own(oper(65, l_pow, lit(2), lit(-1)))), 1);
    EXPECT_EQ(calculate(&ctx, own(oper(65, l_pow, lit(3), lit(2000000000)))), 632360961);
    EXPECT_DOUBLE_EQ(f_calculate(&ctx, own(oper(66, r_pow, flit(2.0), lit(-1)))), 0.5);
    EXPECT_EQ(calculate(&ctx, own(oper(65, l_lshift, lit(1), lit(33)))), 2);
    EXPECT_EQ(calculate(&ctx, own(oper(65, l_rshift, lit(-8), lit(1)))), -4);
    EXPECT_EQ(calculate(&ctx, own(oper(65, l_add, lit(INT_MAX), lit(1)))), INT_MIN);
    EXPECT_EQ(calculate(&ctx, own(oper(65, l_mul, lit(65536), lit(65536)))), 0);
    EXPECT_EQ(calculate(&ctx, own(oper(65, l_unsub, lit(INT_MIN)))), INT_MIN);
    EXPECT_EQ(calculate(&ctx, own(flit(2.9))), 2);
    EXPECT_EQ(calculate(&ctx, own(flit(-2.9))), -2);
    EXPECT_EQ(errors(), "");
    EXPECT_EQ(ctx.runState, 0u);
}

TEST_F(EvalTest, DivisionByZeroIsReportedWithFallbacks) {
    EXPECT_DOUBLE_EQ(f_calculate(&ctx, own(oper(66, r_div, flit(1.0), flit(0.0)))), 2.0);
    ctx.runState = 0;
    EXPECT_EQ(calculate(&ctx, own(oper(65, l_rest, lit(5), lit(0)))), 1);
    ctx.runState = 0;
    vinst* x = variable("x", VT_INT);
    x->value.i = 9;
    EXPECT_EQ(calculate(&ctx, own(oper(65, l_assdiv, ref(x), lit(0)))), 9);
    ctx.runState = 0;
    EXPECT_EQ(calculate(&ctx, own(oper(65, l_assmod, ref(x), lit(0)))), 9);
    EXPECT_EQ(x->value.i, 9);
    x->value.i = INT_MIN;
    ctx.runState = 0;
    EXPECT_EQ(calculate(&ctx, own(oper(65, l_assdiv, ref(x), lit(-1)))), INT_MIN);
    EXPECT_EQ(calculate(&ctx, own(oper(65, l_assmod, ref(x), lit(-1)))), 0);
    EXPECT_EQ(errors(),
              "Error: Division by zero in line 5\n\n"
              "Error: Division by zero in line 5\n\n"
              "Error: Division by zero in line 5\n\n"
              "Error: Division by zero in line 5\n\n");
}

TEST_F(EvalTest, TextOperatorsAndTypeErrors) {
    EXPECT_EQ(calculate(&ctx, own(oper(65, t_lt, tlit("abc"), tlit("abd")))), 1);
    EXPECT_EQ(calculate(&ctx, own(oper(65, t_lt, tlit("B"), tlit("a")))), 1);
    EXPECT_EQ(calculate(&ctx, own(oper(65, t_eq, tlit(""), tlit("")))), 1);
    char* joined = t_calc_dup(&ctx, own(oper(67, t_add, tlit("ab"), tlit("cd"))));
    EXPECT_STREQ(joined, "abcd");
    TamFree(joined);
    EXPECT_EQ(errors(), "");

    ::testing::internal::CaptureStderr();
    EXPECT_EQ(t_calc_dup(&ctx, own(oper(67, t_add, tlit("a"), lit(1)))), nullptr);
    EXPECT_EQ(calculate(&ctx, own(tlit("a"))), 1);
    EXPECT_DOUBLE_EQ(f_calculate(&ctx, own(tlit("a"))), 1.0);
    EXPECT_EQ(t_calc_dup(&ctx, own(flit(1.5))), nullptr);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "Error: Integer in text expression.\n"
              "Error(line 5): Text in integer expression.\n"
              "Error: Text in floating point expression.\n"
              "Error: Float in text expression.\n");
    EXPECT_TRUE(ctx.runState & RS_STOP);
}

TEST_F(EvalTest, ShortCircuitAndHaltedOperators) {
    auto call = [&] {
        op* n = node(37);
        auto* act = static_cast<action*>(TamCalloc(1, sizeof(action)));
        act->type = ACT_BUILTIN_INT;
        act->target.ih = countingBuiltin;
        n->left.act = act;
        return typed(n);
    };
    calls = 0;
    EXPECT_EQ(calculate(&ctx, own(oper(65, l_and, lit(0), call()))), 0);
    EXPECT_EQ(calculate(&ctx, own(oper(65, l_or, lit(1), call()))), 1);
    EXPECT_DOUBLE_EQ(f_calculate(&ctx, own(oper(66, r_and, flit(0.0), call()))), 0.0);
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(calculate(&ctx, own(oper(65, l_and, lit(1), call()))), 1);
    EXPECT_EQ(calls, 1);
    ctx.runState = RS_BACK;
    EXPECT_EQ(calculate(&ctx, own(oper(65, l_add, lit(2), call()))), 1);
    EXPECT_DOUBLE_EQ(f_calculate(&ctx, own(oper(66, r_add, flit(2), call()))), 1.0);
    EXPECT_EQ(calls, 1);
}

TEST_F(EvalTest, ArrayBoundsAndMissingIndexes) {
    vinst* a = variable("a", VT_INT_ARRAY, 1, {3});
    vinst* m = variable("m", VT_FLOAT_ARRAY, 2, {2, 3});
    vinst* t = variable("t", VT_TEXT_ARRAY, 1, {2});
    EXPECT_EQ(calculate(&ctx, own(oper(65, l_ass, element(a, {lit(2)}), lit(7)))), 7);
    EXPECT_EQ(a->value.ia[2], 7);
    EXPECT_EQ(calculate(&ctx, own(oper(65, l_ass, element(m, {lit(1), lit(2)}), lit(4)))), 4);
    EXPECT_DOUBLE_EQ(m->value.fa[5], 4.0);
    EXPECT_STREQ(t->value.ta[1], "");
    EXPECT_EQ(errors(), "");

    ::testing::internal::CaptureStderr();
    EXPECT_EQ(calculate(&ctx, own(element(a, {lit(3)}))), 1);
    EXPECT_EQ(calculate(&ctx, own(element(a, {lit(-1)}))), 1);
    EXPECT_DOUBLE_EQ(f_calculate(&ctx, own(element(m, {lit(1)}))), 1.0);
    EXPECT_EQ(t_calc_dup(&ctx, own(element(t, {lit(2)}))), nullptr);
    EXPECT_EQ(calculate(&ctx, own(oper(65, l_ass, element(m, {lit(0)}), lit(1)))), 1);
    op* whole = own(node(17));
    whole->left.arr = static_cast<intarray*>(TamCalloc(1, sizeof(intarray)));
    whole->left.arr->array.inst = a;
    EXPECT_EQ(calculate(&ctx, whole), 1);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "Line 5: Array index out of bounds: a[3] does not exist.\n"
              "Line 5: Array index out of bounds: a[-1] does not exist.\n"
              "Error: Too few indexes in access to array m.\n"
              "Line 5: Array index out of bounds: t[2] does not exist.\n"
              "Error: Too few indexes in access to array m.\n"
              "Error : Too few indexes in access to array a.\n");
    EXPECT_DOUBLE_EQ(m->value.fa[0], 0.0);
}

TEST_F(EvalTest, StoresQueueDependentsOnce) {
    vinst* x = variable("x", VT_INT);
    Attrib* attr = static_cast<Attrib*>(TamCalloc(1, sizeof(Attrib)));
    auto* dep = static_cast<depnode*>(TamCalloc(1, sizeof(depnode)));
    dep->attr = attr;
    pushFront(x->dependents, dep);
    x->value.i = 4;
    EXPECT_EQ(calculate(&ctx, own(oper(65, l_postplus, ref(x)))), 4);
    EXPECT_EQ(calculate(&ctx, own(oper(65, l_preplus, ref(x)))), 6);
    EXPECT_EQ(calculate(&ctx, own(oper(65, l_assplus, ref(x), lit(10)))), 16);
    EXPECT_EQ(calculate(&ctx, own(oper(65, l_assmult, ref(x), lit(2)))), 32);
    EXPECT_EQ(x->value.i, 32);
    EXPECT_EQ(unit->changedHead, attr);
    EXPECT_EQ(unit->changedTail, attr);
    EXPECT_EQ(nextOf(attr), nullptr);

    vinst* s = variable("s", VT_TEXT);
    char* copy = t_calc_dup(&ctx, own(oper(67, t_ass, ref(s), tlit("hi"))));
    EXPECT_STREQ(copy, "hi");
    EXPECT_STREQ(s->value.t, "hi");
    TamFree(copy);
    EXPECT_EQ(calculate(&ctx, own(oper(65, l_assplus, lit(1), lit(2)))), 0);
    EXPECT_EQ(errors(), "Error line 5: Illegal lvalue in l_ass\n");
    remove_at(attr);
    x->dependents = nullptr;
    TamFree(dep);
    TamFree(attr);
}

}  // namespace
