// The memory ceiling of the allocation layer: the count follows what is
// held, the crossing is reported once, and requests far beyond fail.
#include <gtest/gtest.h>

#include <cstdint>

#include "app/limits.h"
#include "core/alloc.h"

namespace {

int crossings = 0;
void countCrossing() { ++crossings; }

struct Limited : testing::Test {
    void SetUp() override {
        crossings = 0;
        setMemoryLimit(heldMemory() + kLimit, countCrossing);
    }
    void TearDown() override { setMemoryLimit(0, nullptr); }
    static constexpr std::size_t kLimit = 1 << 20;
};

TEST_F(Limited, CrossingIsReportedOnceUntilMemoryComesBack) {
    std::size_t before = heldMemory();
    void* most = TamMalloc(kLimit - 1024);
    ASSERT_NE(most, nullptr);
    EXPECT_GE(heldMemory(), before + kLimit - 1024);
    EXPECT_EQ(crossings, 0);
    void* over = TamCalloc(4, 1024);
    void* further = TamRealloc(TamMalloc(16), 2048);
    ASSERT_NE(over, nullptr);
    ASSERT_NE(further, nullptr);
    EXPECT_EQ(crossings, 1);
    TamFree(over);
    TamFree(further);
    TamFree(most);
    EXPECT_EQ(heldMemory(), before);
    void* again = TamMalloc(kLimit + 1);
    EXPECT_EQ(crossings, 2);
    TamFree(again);
}

TEST_F(Limited, RequestsFarBeyondTheLimitFail) {
    EXPECT_TRUE(mayHoldMore(kLimit));
    EXPECT_EQ(crossings, 0);
    EXPECT_FALSE(mayHoldMore(2 * kLimit));
    EXPECT_EQ(TamMalloc(2 * kLimit), nullptr);
    EXPECT_EQ(TamCalloc(2 * kLimit, 1), nullptr);
    EXPECT_EQ(TamCalloc(SIZE_MAX / 2, 4), nullptr);
    void* block = TamMalloc(64);
    EXPECT_EQ(TamRealloc(block, 2 * kLimit), nullptr);
    EXPECT_EQ(crossings, 1);
    TamFree(block);
}

TEST(MemoryCeiling, DefaultIsAQuarterOfPhysicalMemory) {
    EXPECT_EQ(memoryCeiling(100), 100u << 20);
    std::size_t byDefault = memoryCeiling(0);
    EXPECT_GE(byDefault, 64u << 20);
    EXPECT_EQ(memoryCeiling(-5), byDefault);
}

}  // namespace
