// The builtin argument frame: typed accessors with their fallbacks and
// messages, whole-array arguments, the arity check and the setters.
#include "interp/builtin_frame.h"
#include "interp/eval.h"
#include "interp_support.h"

namespace {

using FrameTest = interp_test::InterpTest;

TEST_F(FrameTest, TypedAccessorsConvertAndAdvance) {
    param* list = args({flit(2.9), flit(-2.9), lit(3), tlit("t")});
    param* cursor = list;
    EXPECT_EQ(getIntPar(&ctx, cursor, 1, "f"), 2);
    EXPECT_EQ(getIntPar(&ctx, cursor, 2, "f"), -2);
    EXPECT_DOUBLE_EQ(getFltPar(&ctx, cursor, 3, "f"), 3.0);
    char* text = getTextPar(&ctx, cursor, 4, "f");
    EXPECT_STREQ(text, "t");
    TamFree(text);
    EXPECT_EQ(cursor, nullptr);
    checkPars(&ctx, cursor, 4, "f");
    EXPECT_EQ(errors(), "");
    EXPECT_EQ(ctx.runState, 0u);
    f_param(&ctx, list);
}

TEST_F(FrameTest, MissingWrongAndRedundantArguments) {
    param* list = args({lit(1), lit(2)});
    param* cursor = nullptr;
    EXPECT_DOUBLE_EQ(getFltPar(&ctx, cursor, 1, "sqrt"), -1.0);
    cursor = list;
    EXPECT_EQ(getTextPar(&ctx, cursor, 1, "upper"), nullptr);
    EXPECT_EQ(cursor, list);
    EXPECT_EQ(getIntPar(&ctx, cursor, 1, "abs"), 1);
    checkPars(&ctx, cursor, 1, "abs");
    EXPECT_EQ(errors(),
              "arg 1 (float) missing in function sqrt\n"
              "Line 5: arg 1 wrong type (text) in function upper\n"
              "Line 5: more than 1 args in function abs. Ignoring redundant.\n");
    EXPECT_TRUE(ctx.runState & RS_STOP);
    f_param(&ctx, list);
}

TEST_F(FrameTest, WholeArraysByReference) {
    vinst* a = variable("a", VT_INT_ARRAY, 1, {4});
    vinst* m = variable("m", VT_INT_ARRAY, 2, {2, 2});
    vinst* t = variable("t", VT_TEXT_ARRAY, 1, {2});
    param* list = args({element(a, {}), element(t, {}), element(m, {}), element(a, {lit(1)})});
    param* cursor = list;
    std::int32_t* ints = nullptr;
    char** texts = nullptr;
    int size = 0;
    EXPECT_EQ(getIntArrPar(&ctx, cursor, 1, "f", 1, &ints, &size), 0);
    EXPECT_EQ(ints, a->value.ia);
    EXPECT_EQ(size, 4);
    EXPECT_EQ(getTextArrPar(&ctx, cursor, 2, "f", 1, &texts, &size), 0);
    EXPECT_EQ(size, 2);
    EXPECT_STREQ(texts[0], "");
    EXPECT_EQ(errors(), "");

    ::testing::internal::CaptureStderr();
    EXPECT_EQ(getIntArrPar(&ctx, cursor, 3, "f", 1, &ints, &size), -1);
    EXPECT_EQ(ints, nullptr);
    EXPECT_EQ(size, 0);
    cursor = nextOf(cursor);
    EXPECT_EQ(getIntArrPar(&ctx, cursor, 4, "f", 1, &ints, &size), -1);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "Line 5: Array is not one dimensional\n"
              "Line 5: arg 3 wrong type (expected integer array) in function f\n"
              "Line 5: arg 4 wrong type (expected integer array) in function f\n");
    f_param(&ctx, list);
}

TEST_F(FrameTest, SettersStoreIntoVariablesAndElements) {
    vinst* x = variable("x", VT_INT);
    vinst* s = variable("s", VT_TEXT);
    vinst* a = variable("a", VT_FLOAT_ARRAY, 1, {3});
    vinst* t = variable("t", VT_TEXT_ARRAY, 1, {2});
    param* list = args({ref(x), ref(s), element(a, {lit(2)}), element(a, {lit(3)}), element(t, {lit(1)}), lit(4)});
    param* p = list;
    set_par_value(&ctx, p, 42);
    EXPECT_EQ(x->value.i, 42);
    p = nextOf(p);
    t_set_par_value(&ctx, p, safestrdup("new"));
    EXPECT_STREQ(s->value.t, "new");
    p = nextOf(p);
    f_set_par_value(&ctx, p, 1.5);
    EXPECT_DOUBLE_EQ(a->value.fa[2], 1.5);
    p = nextOf(p);
    f_set_par_value(&ctx, p, 9.0);
    p = nextOf(p);
    t_set_par_value(&ctx, p, safestrdup("elem"));
    EXPECT_STREQ(t->value.ta[1], "elem");
    p = nextOf(p);
    set_par_value(&ctx, p, 1);
    t_set_par_value(&ctx, p, safestrdup("not stored"));
    EXPECT_EQ(errors(), "");
    f_param(&ctx, list);
}

TEST_F(FrameTest, ArrayInitializersAndLimits) {
    auto init = [&](std::initializer_list<op*> exprs) {
        vinit* head = nullptr;
        vinit* tail = nullptr;
        for (op* e : exprs) {
            auto* v = static_cast<vinit*>(TamCalloc(1, sizeof(vinit)));
            e->type = DO_VDECL;
            v->expr = e;
            appendTo(head, tail, v);
        }
        return head;
    };
    vdecl* d = static_cast<vdecl*>(TamCalloc(1, sizeof(vdecl)));
    d->name = safestrdup("a");
    d->type = VT_INT_ARRAY;
    d->ndims = 1;
    d->dims = args({lit(2)});
    d->init = init({lit(1), lit(2), lit(3)});
    decls.push_back(d);
    vinst* a = keep(d);
    EXPECT_EQ(a->value.ia[0], 1);
    EXPECT_EQ(a->value.ia[1], 2);

    vdecl* t = static_cast<vdecl*>(TamCalloc(1, sizeof(vdecl)));
    t->name = safestrdup("t");
    t->type = VT_TEXT_ARRAY;
    t->ndims = 1;
    t->dims = args({lit(3)});
    t->init = init({tlit("x")});
    decls.push_back(t);
    vinst* ti = keep(t);
    EXPECT_STREQ(ti->value.ta[0], "x");
    EXPECT_STREQ(ti->value.ta[2], "");

    vdecl* n = static_cast<vdecl*>(TamCalloc(1, sizeof(vdecl)));
    n->name = safestrdup("n");
    n->type = VT_FLOAT_ARRAY;
    n->ndims = 2;
    n->dims = args({lit(-4), lit(3)});
    decls.push_back(n);
    vinst* ni = keep(n);
    EXPECT_EQ(ni->value.p, nullptr);
    EXPECT_EQ(errors(),
              "Error: Too many initializing elements in integer array\n"
              "Error: Negative size -4 in declaration of array n\n");
}

TEST(FrameDeathTest, HugeArraysEndAsOutOfMemory) {
    UnitContext ctx;
    vdecl d{};
    d.name = const_cast<char*>("big");
    d.type = VT_INT_ARRAY;
    d.ndims = 2;
    op size{};
    size.flag = 1;
    size.left.i = 100000;
    param second{};
    second.expr = &size;
    param first{};
    first.expr = &size;
    first.next = &second;
    d.dims = &first;
    EXPECT_EXIT(c_vinst(&ctx, &d), ::testing::ExitedWithCode(1), "Could not allocate enough memory");
}

}  // namespace
