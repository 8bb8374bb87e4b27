// The builtin table, and builtins driven with hand-built argument lists
// where a program cannot reach the case or observe the result: exit's
// run-state bit, the timing of wait and sync, geometry at the edges of the
// int range.
#include <gtest/gtest.h>

#include <functional>

#include "builtin_args.h"
#include "builtins/handlers.h"
#include "builtins/table.h"

namespace {

std::string stderrOf(const std::function<void()>& run) {
    testing::internal::CaptureStderr();
    run();
    return testing::internal::GetCapturedStderr();
}

TEST(Table, HoldsEveryBuiltinOnceAndFindsThemByExactName) {
    int rows = 0;
    for (const BuiltinEntry* entry = funcarray; entry->name; ++entry, ++rows) {
        EXPECT_EQ(get_func(entry->name), entry) << entry->name;
        bool handlerMatchesType = (entry->type == BT_INT && entry->intHandler && !entry->fltHandler &&
                                   !entry->txtHandler) ||
                                  (entry->type == BT_FLOAT && entry->fltHandler && !entry->intHandler) ||
                                  (entry->type == BT_TEXT && entry->txtHandler && !entry->intHandler);
        EXPECT_TRUE(handlerMatchesType) << entry->name;
    }
    EXPECT_EQ(rows, 109);
    EXPECT_STREQ(funcarray[0].name, "absoluteURL");
    EXPECT_STREQ(funcarray[108].name, "freeFile");
    EXPECT_EQ(get_func("Sqrt"), nullptr);
    EXPECT_EQ(get_func("sqr"), nullptr);
    EXPECT_EQ(get_func(""), nullptr);
    EXPECT_EQ(get_func("getInt")->intHandler, get_func("text2int")->intHandler);
    EXPECT_EQ(get_func("addPoint")->intHandler, get_func("translate")->intHandler);
    EXPECT_EQ(get_func("sprintf")->type, BT_TEXT);
    EXPECT_EQ(get_func("sqrt")->type, BT_FLOAT);
}

TEST(SystemBuiltins, ExitSetsBackAndReturnsItsValue) {
    Args withValue, none;
    EXPECT_EQ(Sexit(&withValue.ctx, withValue.i(3).i(4).head()), 3);
    EXPECT_TRUE(withValue.ctx.runState & RS_BACK);
    EXPECT_EQ(Sexit(&none.ctx, nullptr), 0);
    EXPECT_TRUE(none.ctx.runState & RS_BACK);
}

TEST(SystemBuiltins, WaitAndSyncPassTheTime) {
    Args start;
    set_start_time(&start.ctx, nullptr);
    Args wait;
    wait.ctx.learnUnit->startTime = start.ctx.learnUnit->startTime;
    std::int32_t after = halt(&wait.ctx, wait.i(30).head());
    EXPECT_GE(after, 30);
    EXPECT_LT(after, 1000);

    Args pacing;
    std::int32_t first = sync_input(&pacing.ctx, pacing.i(40).head());
    std::int32_t second = sync_input(&pacing.ctx, pacing.head());
    std::int32_t third = sync_input(&pacing.ctx, pacing.head());
    EXPECT_GE(second - first, 40);
    EXPECT_GE(third - second, 40);
    EXPECT_LT(third - first, 1000);
}

// Results beyond the int range convert as the evaluator converts them; an
// offset range outside the arrays is cut down, and a modulus of -1 (which
// would trap on the smallest int) gives 0.
TEST(GeometryBuiltins, OutOfRangeValuesStayDefined) {
    Args s;
    s.f(0.5).f(0.5).f(1e12);
    s.intArray({-3, 4});
    s.intArray({5, 6});
    s.intArray({1, 2});
    auto& sx = s.intArray({0, 0});
    auto& sy = s.intArray({0, 0});
    auto& sz = s.intArray({0, 0, 0});
    scale(&s.ctx, s.head());
    EXPECT_EQ(sx, (std::vector<std::int32_t>{-1, 2}));
    EXPECT_EQ(sy, (std::vector<std::int32_t>{2, 3}));
    EXPECT_EQ(sz, (std::vector<std::int32_t>{INT32_MIN, INT32_MIN, 0}));

    Args bad;
    bad.i(-5).i(1).i(1).i(1).i(1).i(-1).i(0).i(0);
    bad.intArray({2147483647, 1, 2});
    bad.intArray({0, 0, 0});
    bad.intArray({0, 0, 0});
    auto& bx = bad.intArray({9, 9, 9});
    bad.intArray({9, 9, 9});
    bad.intArray({9, 9, 9});
    EXPECT_EQ(stderrOf([&] { addpoint(&bad.ctx, bad.head()); }),
              "Warning: Illegal offset-parameter with respect to arraysize in addpoint. Truncating.\n");
    EXPECT_EQ(bx, (std::vector<std::int32_t>{9, 0, 0}));
    EXPECT_EQ(bad.ctx.runState, 0u);
}

TEST(GeometryBuiltins, DistSortRanksFarthestFirst) {
    Args a;
    a.i(10);
    a.intArray({0, 0, 0, 0});
    a.intArray({0, 0, 0, 0});
    a.intArray({5, 50, -20, 0});
    auto& rank = a.intArray({7, 7, 7, 7, 7});
    EXPECT_EQ(distsort(&a.ctx, a.head()), 0);
    EXPECT_EQ(rank, (std::vector<std::int32_t>{1, 0, -1, 2, 7}));
}

TEST(GeometryBuiltins, MissingArrayWritesNothing) {
    Args a;
    a.i(100);
    a.intArray({1});
    a.intArray({1});
    std::string err = stderrOf([&] { project(&a.ctx, a.head()); });
    EXPECT_NE(err.find("arg 4 (integer array) missing in function project"), std::string::npos);
    Args vector;
    EXPECT_EQ(VectorProd(&vector.ctx, vector.t("x").head()), -1);
    EXPECT_EQ(norm_vector(&vector.ctx, vector.head()), 0);
}

}  // namespace
