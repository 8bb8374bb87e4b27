// The sprintf formatting engine at its limits, driven by a list of
// argument values: precisions beyond the library's digits, cut-off and
// unknown directives, %n, and fields too large to honour.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
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

TEST(Format, PrecisionBeyondLibraryDigits) {
    std::string f = format("%.45f", {0.5});
    EXPECT_EQ(f, "0.5" + std::string(44, '0'));
    std::string e = format("%.41e", {1.0});
    EXPECT_EQ(e, "1." + std::string(41, '0') + "e+00");
    EXPECT_EQ(format("%.50g", {0.5}), "0.5");
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

// The float conversions must render every value as the C library does,
// whatever route the digits take: ties at every precision, tiny and huge
// magnitudes, random bit patterns, negative zero, and the flags around the
// digits.
double sampleValue(std::mt19937_64& rng, int family) {
    std::uint64_t r = rng();
    switch (family) {
    case 0: {
        double v;
        std::memcpy(&v, &r, sizeof v);
        return v;
    }
    case 1:  // dyadic fractions: exact ties at some precision
        return std::ldexp(static_cast<double>(static_cast<std::int64_t>(r >> 20)), -static_cast<int>(r % 64));
    case 2:
        return static_cast<std::int32_t>(r) * 0.25 + static_cast<double>(r >> 60) * 1e-3;
    default:
        return std::ldexp(static_cast<double>(r % 1000003), static_cast<int>(r >> 54) - 512);
    }
}

TEST(Format, FloatsMatchTheCLibrary) {
    static const char* const directives[] = {"%f", "%e", "%.0f", "%.0e", "%.1f", "%.2e", "%.17f",
                                             "%.39e", "%.39f", "%-14.3f|", "%014.5e",
                                             "%#.0f", "%#e", "%E", "%g", "%.12g", "%10.4G"};
    std::mt19937_64 rng(20261208);
    char expected[1024];
    long checked = 0;
    for (int i = 0; i < 25000; ++i) {
        double value = sampleValue(rng, i % 4);
        for (const char* directive : directives) {
            std::snprintf(expected, sizeof expected, directive, value);
            // The sign of a negative zero or a NaN is not printed.
            const char* library = expected;
            if (!(value < 0) && std::strchr(expected, '-') && (value == 0 || std::isnan(value))) continue;
            ASSERT_EQ(format(directive, {value}), library) << directive << " of " << std::hexfloat << value;
            ++checked;
        }
    }
    EXPECT_GT(checked, 400000);
    EXPECT_EQ(format("%f %e %.1f", {-0.0, -0.0, 0.25}), "0.000000 0.000000e+00 0.2");
    EXPECT_EQ(format("%.0f %.0f %.2f", {0.5, 1.5, 2.675}), "0 2 2.67");
}

}  // namespace
