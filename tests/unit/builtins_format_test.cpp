// The sprintf formatting engine, driven by a list of argument values.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <variant>
#include <vector>

#include "app/context.h"
#include "builtins/format.h"

namespace {

using Arg = std::variant<std::int32_t, double, const char*>;

// Arguments in order; a count store goes into `stored`.
class ListArgs : public FormatArgs {
public:
    explicit ListArgs(std::vector<Arg> values) : values_(std::move(values)) {}

    std::int32_t intArg(int) override {
        Arg a = next();
        if (auto* i = std::get_if<std::int32_t>(&a)) return *i;
        if (auto* f = std::get_if<double>(&a)) return static_cast<std::int32_t>(*f);
        return -1;
    }
    double floatArg(int) override {
        Arg a = next();
        if (auto* i = std::get_if<std::int32_t>(&a)) return *i;
        if (auto* f = std::get_if<double>(&a)) return *f;
        return -1.0;
    }
    OwnedText textArg(int) override {
        Arg a = next();
        auto* t = std::get_if<const char*>(&a);
        if (!t || !*t) return nullptr;
        auto* copy = static_cast<char*>(TamMalloc(std::strlen(*t) + 1));
        std::strcpy(copy, *t);
        return OwnedText(copy);
    }
    bool storeCount(int, std::int32_t count) override {
        if (position_ >= values_.size()) return false;
        ++position_;
        stored = count;
        return true;
    }
    std::int32_t stored = -1;

private:
    Arg next() { return position_ < values_.size() ? values_[position_++] : Arg{-1}; }
    std::vector<Arg> values_;
    std::size_t position_ = 0;
};

std::string format(const char* fmt, std::vector<Arg> values = {}) {
    UnitContext ctx;
    ListArgs args(std::move(values));
    return formatText(&ctx, fmt, args);
}

TEST(Format, IntegerWidthsFlagsAndBases) {
    EXPECT_EQ(format("%5d|%-5d|%05d", {42, 42, -42}), "   42|42   |-0042");
    EXPECT_EQ(format("%x %X %#x %o", {255, 255, 255, 8}), "ff FF 0xff 10");
    EXPECT_EQ(format("%+d %+d %i", {7, -7, 3}), "+7 -7 3");
    EXPECT_EQ(format("%.5d|%#o|%#X", {42, 8, 171}), "00042|010|0XAB");
    EXPECT_EQ(format("%#08x", {255}), "0x0000ff");
    EXPECT_EQ(format("%d %x", {-2147483647 - 1, -1}), "-2147483648 -1");
}

TEST(Format, FloatConversions) {
    EXPECT_EQ(format("%f %.2f %e %g", {3.14159, 2.005, 12345.678, 0.0001}),
              "3.141590 2.00 1.234568e+04 0.0001");
    EXPECT_EQ(format("%10.3f|%-10.1f|%010.2f", {-1.5, 2.25, -3.5}), "    -1.500|2.2       |-000003.50");
    EXPECT_EQ(format("%+f % f %.0f %#.0f", {1.0, 1.0, 2.0, 2.0}), "1.000000 1.000000 2 2.");
    EXPECT_EQ(format("%G %#g %E", {1e-10, 1.5, 2.0}), "1E-10 1.50000 2.000000E+00");
}

TEST(Format, PrecisionBeyondLibraryDigits) {
    std::string f = format("%.45f", {0.5});
    EXPECT_EQ(f, "0.5" + std::string(44, '0'));
    std::string e = format("%.41e", {1.0});
    EXPECT_EQ(e, "1." + std::string(41, '0') + "e+00");
    EXPECT_EQ(format("%.50g", {0.5}), "0.5");
}

TEST(Format, CharactersAndTexts) {
    EXPECT_EQ(format("%c%c|%3c|%-3c|", {72, 0x169, 65, 66}), "Hi|  A|B  |");
    EXPECT_EQ(format("%s|%8s|%-8s|%.2s", {"abc", "right", "left", "cut"}), "abc|   right|left    |cu");
    EXPECT_EQ(format("[%s]", {nullptr}), "[<NULL>]");
    EXPECT_EQ(format("[%05s]", {"ab"}), "[   ab]");
}

TEST(Format, UnknownAndCutDirectivesProduceNothing) {
    EXPECT_EQ(format("100%%"), "100");
    EXPECT_EQ(format("a%yb%"), "ab");
    EXPECT_EQ(format("%ld", {5}), "d");
    EXPECT_EQ(format("%.d", {5}), "5");
}

TEST(Format, CountDirective) {
    UnitContext ctx;
    ListArgs args({0, 9});
    EXPECT_EQ(formatText(&ctx, "abc%n%d", args), "abc9");
    EXPECT_EQ(args.stored, 3);
    EXPECT_EQ(ctx.runState, 0u);
}

TEST(Format, CountWithoutArgumentEndsFormatting) {
    UnitContext ctx;
    ListArgs args({});
    testing::internal::CaptureStderr();
    EXPECT_EQ(formatText(&ctx, "ab%ncd", args), "ab");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "function sprintf misses parameter 2.\n");
    EXPECT_TRUE(ctx.runState & RS_STOP);
}

TEST(Format, HugeFieldsAreBounded) {
    std::string wide = format("%999999999999d", {1});
    EXPECT_EQ(wide.size(), static_cast<std::size_t>(kMaxFieldWidth));
    EXPECT_EQ(format("%.99999999f", {1.0}).size(), static_cast<std::size_t>(kMaxFieldWidth) + 2);
    EXPECT_EQ(format("%f %e", {1e308, -1e-308}).substr(0, 4), "1000");
}

}  // namespace
