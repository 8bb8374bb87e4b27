// The simplifier: constants fold, variables become dependencies of the
// attribute, calls mark the attribute, and a constant left operand of || or
// && folds only when it decides the result.
#include "interp/eval.h"
#include "interp/operators.h"
#include "interp/simplify.h"
#include "interp_support.h"

namespace {

using SimplifyTest = interp_test::InterpTest;

std::int32_t seven(UnitContext*, param*) { return 7; }

class Simplified : public SimplifyTest {
protected:
    // A declaration-bound copy of a hand-built tree's shape: variables
    // refer to declarations.
    op* declRef(vinst* v) {
        op* n = node(T_VAR + (v->decl->type & 3));
        n->type = DO_VDECL;
        n->left.decl = v->decl;
        return typed(n);
    }
    op* decl(op* tree) {
        tree->type = DO_VDECL;
        return tree;
    }
    op* simplify(op* source, int* constant, int* call) {
        own(source);
        return own(SimplifyOper(&ctx, source, &attr, constant, call));
    }
    int sources() { return count_object(attr.sources); }
    void TearDown() override {
        while (srclink* link = attr.sources) {
            attr.sources = nextOf(link);
            unlinkFrom(link->inst->dependents, link->dep);
            TamFree(link->dep);
            TamFree(link);
        }
        SimplifyTest::TearDown();
    }
    Attrib attr{};
};

TEST_F(Simplified, ConstantsFoldAndVariablesRegister) {
    vinst* x = variable("x", VT_INT);
    x->value.i = 4;
    int constant = -1, call = 0;
    op* folded = simplify(decl(oper(65, l_add, decl(oper(65, l_mul, decl(lit(2)), decl(lit(3)))), decl(lit(1)))),
                          &constant, &call);
    EXPECT_EQ(folded->flag, 1);
    EXPECT_EQ(folded->left.i, 7);
    EXPECT_EQ(constant, 1);

    op* tracked = simplify(decl(oper(65, l_add, declRef(x), decl(lit(1)))), &constant, &call);
    EXPECT_EQ(constant, 0);
    EXPECT_EQ(call, 0);
    EXPECT_EQ(sources(), 1);
    EXPECT_EQ(x->dependents->attr, &attr);
    x->value.i = 10;
    EXPECT_EQ(calculate(&ctx, tracked), 11);

    op* frozen = simplify(decl(oper(65, l_exprval, declRef(x))), &constant, &call);
    EXPECT_EQ(constant, 1);
    x->value.i = 20;
    EXPECT_EQ(calculate(&ctx, frozen), 10);
    EXPECT_EQ(sources(), 1);
}

TEST_F(Simplified, CallsMarkTheAttribute) {
    op* n = node(37);
    auto* act = static_cast<action*>(TamCalloc(1, sizeof(action)));
    act->type = ACT_BUILTIN_INT;
    act->target.ih = seven;
    n->left.act = act;
    int constant = -1, call = 0;
    op* result = simplify(decl(oper(65, l_add, decl(typed(n)), decl(lit(1)))), &constant, &call);
    EXPECT_EQ(constant, 0);
    EXPECT_EQ(call, 1);
    EXPECT_EQ(calculate(&ctx, result), 8);
}

TEST_F(Simplified, ConstantLeftOperandsOfLogicKeepFollowingTheRight) {
    vinst* x = variable("x", VT_INT);
    int constant = -1, call = 0;
    op* decided = simplify(decl(oper(65, l_or, decl(lit(1)), declRef(x))), &constant, &call);
    EXPECT_EQ(constant, 1);
    EXPECT_EQ(decided->left.i, 1);
    EXPECT_EQ(sources(), 0);

    op* follows = simplify(decl(oper(65, l_or, decl(lit(0)), declRef(x))), &constant, &call);
    EXPECT_EQ(constant, 0);
    EXPECT_EQ(calculate(&ctx, follows), 0);
    x->value.i = 3;
    EXPECT_EQ(calculate(&ctx, follows), 1);

    op* never = simplify(decl(oper(65, l_and, decl(lit(0)), declRef(x))), &constant, &call);
    EXPECT_EQ(constant, 1);
    EXPECT_EQ(never->left.i, 0);
    EXPECT_EQ(sources(), 1);
}

}  // namespace
