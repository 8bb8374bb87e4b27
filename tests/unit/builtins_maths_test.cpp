// Maths, geometry and system builtins driven with hand-built argument
// lists: argument checks, edge values and the point-set transforms.
#include <gtest/gtest.h>

#include <cmath>
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

TEST(MathBuiltins, SqrtAndArgumentChecks) {
    Args negative, intArg, missing, extra;
    EXPECT_EQ(Ssqrt(&negative.ctx, negative.f(-4.0).head()), 0.0);
    EXPECT_EQ(Ssqrt(&intArg.ctx, intArg.i(9).head()), 3.0);
    EXPECT_EQ(stderrOf([&] { EXPECT_EQ(Ssqrt(&missing.ctx, nullptr), 0.0); }),
              "arg 1 (float) missing in function sqrt\n");
    EXPECT_TRUE(missing.ctx.runState & RS_STOP);
    EXPECT_EQ(stderrOf([&] { EXPECT_EQ(Ssqrt(&extra.ctx, extra.f(4.0).i(1).head()), 2.0); }),
              "Line 7: more than 1 args in function sqrt. Ignoring redundant.\n");
    Args text;
    std::string err = stderrOf([&] { Scos(&text.ctx, text.t("x").head()); });
    EXPECT_EQ(err.rfind("Line 7: arg 1 wrong type (expected float) in function cos\n", 0), 0u) << err;
}

TEST(MathBuiltins, LibraryFunctions) {
    Args a, b, c, d, e;
    EXPECT_DOUBLE_EQ(Atan2(&a.ctx, a.f(1.0).f(-1.0).head()), 3 * M_PI / 4);
    EXPECT_DOUBLE_EQ(Fmod(&b.ctx, b.f(-7.5).f(2.0).head()), -1.5);
    EXPECT_DOUBLE_EQ(Floor(&c.ctx, c.f(-1.5).head()), -2.0);
    EXPECT_TRUE(std::isnan(Asin(&d.ctx, d.f(2.0).head())));
    EXPECT_EQ(d.ctx.runState, 0u);
    EXPECT_DOUBLE_EQ(Slog10(&e.ctx, e.i(1000).head()), 3.0);
}

TEST(MathBuiltins, Colours) {
    Args bright, dark;
    EXPECT_EQ(brighterRGB(&bright.ctx, bright.i(0x10f0ff).head()), 0x32ffff);
    EXPECT_EQ(darkerRGB(&dark.ctx, dark.i(0x10f000).head()), 0x00ce00);
}

TEST(SystemBuiltins, RandomRangesAndSeeds) {
    Args same, reversed;
    EXPECT_EQ(get_random(&same.ctx, same.i(5).i(5).head()), 5);
    EXPECT_EQ(get_random(&reversed.ctx, reversed.i(7).i(3).head()), 7);
    auto draw = [](int seed) {
        Args init;
        init_random(&init.ctx, init.i(seed).head());
        std::vector<int> values;
        for (int k = 0; k < 20; ++k) {
            Args range;
            int v = get_random(&range.ctx, range.i(-3).i(3).head());
            EXPECT_GE(v, -3);
            EXPECT_LE(v, 3);
            values.push_back(v);
        }
        return values;
    };
    EXPECT_EQ(draw(42), draw(42));
    Args wide;
    int v = get_random(&wide.ctx, wide.i(-2147483647 - 1).i(2147483647).head());
    (void)v;
}

TEST(SystemBuiltins, ExitSetsBackAndReturnsItsValue) {
    Args withValue, none;
    EXPECT_EQ(Sexit(&withValue.ctx, withValue.i(3).i(4).head()), 3);
    EXPECT_TRUE(withValue.ctx.runState & RS_BACK);
    EXPECT_EQ(Sexit(&none.ctx, nullptr), 0);
    EXPECT_TRUE(none.ctx.runState & RS_BACK);
}

TEST(SystemBuiltins, LimVar) {
    Args low;
    low.i(0);
    vinst* a = low.intVar(-3);
    vinst* b = low.floatVar(-0.5);
    vinst* c = low.intVar(5);
    EXPECT_EQ(lower_limit(&low.ctx, low.head()), 1);
    EXPECT_EQ(a->value.i, 0);
    EXPECT_EQ(b->value.f, 0.0);
    EXPECT_EQ(c->value.i, 5);

    Args high;
    high.f(2.7);
    vinst* n = high.intVar(5);
    vinst* x = high.floatVar(3.0);
    EXPECT_EQ(upper_limit(&high.ctx, high.head()), 1);
    EXPECT_EQ(n->value.i, 2);
    EXPECT_EQ(x->value.f, 2.7);

    Args text;
    text.i(0);
    vinst* before = text.intVar(-1);
    text.t("x");
    vinst* after = text.intVar(-1);
    EXPECT_EQ(stderrOf([&] { EXPECT_EQ(lower_limit(&text.ctx, text.head()), 0); }),
              "Error: Unknown parameter type in LimVarLow.\n");
    EXPECT_EQ(before->value.i, 0);
    EXPECT_EQ(after->value.i, -1);
    Args textBound;
    EXPECT_EQ(stderrOf([&] { upper_limit(&textBound.ctx, textBound.t("x").head()); }),
              "Error: Unknown parameter type in LimVarHig.\n");
    Args onlyBound;
    EXPECT_EQ(lower_limit(&onlyBound.ctx, onlyBound.i(1).head()), 1);
}

TEST(SystemBuiltins, ElapsedTimeCountsFromTheStart) {
    Args start, elapsed;
    EXPECT_EQ(set_start_time(&start.ctx, nullptr), 0);
    // A fresh unit context's learn unit starts at 0; elapsedTime of a unit
    // whose start was just set is small.
    start.ctx.learnUnit->startTime = 0;
    set_start_time(&start.ctx, nullptr);
    EXPECT_LT(sim_time(&start.ctx, nullptr), 1000);
    EXPECT_GE(sim_time(&start.ctx, nullptr), 0);
    Args clock;
    EXPECT_NEAR(UnixTime(&clock.ctx, nullptr), static_cast<double>(std::time(nullptr)), 2.0);
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

TEST(GeometryBuiltins, Project) {
    Args a;
    a.i(100);
    a.intArray({50, 7});
    a.intArray({20, 7});
    a.intArray({100, -100});
    auto& x2 = a.intArray({-1, -1});
    auto& y2 = a.intArray({-1, -1, -1});
    EXPECT_EQ(stderrOf([&] { EXPECT_EQ(project(&a.ctx, a.head()), 0); }),
              "Warning: Point 1 behind point of view in project. Truncating.\n\n");
    EXPECT_EQ(x2, (std::vector<std::int32_t>{25, -1}));
    EXPECT_EQ(y2, (std::vector<std::int32_t>{10, -1, -1}));
    EXPECT_EQ(a.ctx.runState, 0u);

    Args parallel;
    parallel.i(0);
    parallel.intArray({3});
    parallel.intArray({4});
    parallel.intArray({-500});
    auto& px = parallel.intArray({0});
    auto& py = parallel.intArray({0});
    project(&parallel.ctx, parallel.head());
    EXPECT_EQ(px[0], 3);
    EXPECT_EQ(py[0], 4);
}

TEST(GeometryBuiltins, RotateAndScale) {
    Args r;
    r.f(0).f(0).f(M_PI / 2);
    r.intArray({10});
    r.intArray({0});
    r.intArray({0});
    auto& x2 = r.intArray({9});
    auto& y2 = r.intArray({9});
    auto& z2 = r.intArray({9});
    EXPECT_EQ(rotate(&r.ctx, r.head()), 0);
    EXPECT_EQ(x2[0], 0);
    EXPECT_EQ(y2[0], 10);
    EXPECT_EQ(z2[0], 0);

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
}

TEST(GeometryBuiltins, AddPoint) {
    Args a;
    a.i(3).i(0).i(10).i(0).i(0).i(360).i(0).i(0);
    a.intArray({355, 0, 10});
    a.intArray({1, 2, 3});
    a.intArray({4, 5, 6});
    auto& x2 = a.intArray({0, 0, 0});
    auto& y2 = a.intArray({0, 0, 0});
    auto& z2 = a.intArray({0, 0, 0});
    EXPECT_EQ(addpoint(&a.ctx, a.head()), 0);
    EXPECT_EQ(x2, (std::vector<std::int32_t>{5, 10, 20}));
    EXPECT_EQ(y2, (std::vector<std::int32_t>{1, 2, 3}));
    EXPECT_EQ(z2, (std::vector<std::int32_t>{4, 5, 6}));

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

TEST(GeometryBuiltins, DistancesAndSurfaces) {
    Args v1, v2, p, l1, l2, l3;
    int forward = visiblesurface(&v1.ctx, v1.i(0).i(0).i(10).i(0).i(0).i(10).head());
    int backward = visiblesurface(&v2.ctx, v2.i(0).i(10).i(10).i(0).i(0).i(0).head());
    EXPECT_NE(forward, backward);
    EXPECT_EQ(pointdist(&p.ctx, p.i(1).i(2).i(3).i(4).i(6).i(3).head()), 5);
    EXPECT_EQ(linedist(&l1.ctx, l1.i(0).i(10).i(0).i(0).i(0).i(0).i(10).i(0).i(0).head()), 10);
    EXPECT_EQ(linedist(&l2.ctx, l2.i(0).i(10).i(0).i(20).i(0).i(0).i(30).i(0).i(0).head()), 22);
    EXPECT_EQ(linedist(&l3.ctx, l3.i(3).i(4).i(0).i(0).i(0).i(0).i(0).i(0).i(0).head()), 5);
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
