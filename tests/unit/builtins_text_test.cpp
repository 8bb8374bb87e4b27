// Text builtins driven with hand-built argument lists: conversions, string
// operations, regmatch and the sprintf builtin's use of the frame.
#include <gtest/gtest.h>

#include "builtin_args.h"
#include "builtins/handlers.h"

namespace {

std::string stderrOf(const std::function<void()>& run) {
    testing::internal::CaptureStderr();
    run();
    return testing::internal::GetCapturedStderr();
}

TEST(TextBuiltins, Conversions) {
    Args hex, octal, none, decimal, spaced, text;
    EXPECT_EQ(TextAsInt(&hex.ctx, hex.t("0x1F").head()), 31);
    EXPECT_EQ(TextAsInt(&octal.ctx, octal.t("010").head()), 8);
    EXPECT_EQ(TextAsInt(&none.ctx, none.t("abc").head()), 0);
    EXPECT_EQ(text2Int(&decimal.ctx, decimal.t("010").head()), 10);
    EXPECT_EQ(text2Int(&spaced.ctx, spaced.t("  -42abc").head()), -42);
    EXPECT_EQ(taken(IntAsText(&text.ctx, text.i(-17).head())), "-17");
    Args floats, notFloat, hexFloat;
    EXPECT_DOUBLE_EQ(text2Float(&floats.ctx, floats.t(" -1.5e2x").head()), -150.0);
    EXPECT_DOUBLE_EQ(text2Float(&notFloat.ctx, notFloat.t("e5").head()), 0.0);
    EXPECT_DOUBLE_EQ(text2Float(&hexFloat.ctx, hexFloat.t("0x10").head()), 0.0);
}

TEST(TextBuiltins, GetIntReadsOnlyTheFirst80Bytes) {
    Args a;
    std::string text(79, ' ');
    text += "12";
    EXPECT_EQ(text2Int(&a.ctx, a.t(text.c_str()).head()), 1);
}

TEST(TextBuiltins, Int2Text) {
    Args ok;
    vinst* target = ok.textVar("old");
    ok.i(123);
    EXPECT_EQ(Int2Text(&ok.ctx, ok.head()), 1);
    EXPECT_STREQ(target->value.t, "123");

    Args floatValue;
    floatValue.textVar("x");
    floatValue.f(1.0);
    EXPECT_EQ(stderrOf([&] { EXPECT_EQ(Int2Text(&floatValue.ctx, floatValue.head()), 0); }),
              "Error: Second argument to Int2Text is not an integer.\n");
    EXPECT_TRUE(floatValue.ctx.runState & RS_STOP);

    Args constant;
    constant.t("x").i(1);
    EXPECT_EQ(stderrOf([&] { Int2Text(&constant.ctx, constant.head()); }),
              "Error: Can't Int2Text to text constant\n");
}

TEST(TextBuiltins, StrcatAppendsTextsAndCharacters) {
    Args text;
    vinst* t = text.textVar("ab");
    text.t("cd");
    EXPECT_EQ(Sstrcat(&text.ctx, text.head()), 1);
    EXPECT_STREQ(t->value.t, "abcd");

    Args code;
    vinst* c = code.textVar("x");
    code.i(65 + 256);
    EXPECT_EQ(Sstrcat(&code.ctx, code.head()), 1);
    EXPECT_STREQ(c->value.t, "xA");

    Args zero;
    vinst* z = zero.textVar("x");
    zero.i(0);
    Sstrcat(&zero.ctx, zero.head());
    EXPECT_STREQ(z->value.t, "x");
}

TEST(TextBuiltins, StrcatErrors) {
    Args none;
    EXPECT_EQ(stderrOf([&] { EXPECT_EQ(Sstrcat(&none.ctx, nullptr), 0); }), "No parameters Strcat.\n");
    Args constant;
    constant.t("a").t("b");
    EXPECT_EQ(stderrOf([&] { EXPECT_EQ(Sstrcat(&constant.ctx, constant.head()), 0); }),
              "Error: First parameter to Strcat is not a modifiable text.\n");
    Args missing;
    missing.textVar("a");
    EXPECT_EQ(stderrOf([&] { EXPECT_EQ(Sstrcat(&missing.ctx, missing.head()), 1); }),
              "Error: second parameter to Strcat is missing.\n");
    Args floating;
    vinst* t = floating.textVar("a");
    floating.f(1.0);
    EXPECT_EQ(stderrOf([&] { EXPECT_EQ(Sstrcat(&floating.ctx, floating.head()), 1); }),
              "Error: second parameter to Strcat is not text constant.\n");
    EXPECT_STREQ(t->value.t, "a");
    EXPECT_TRUE(floating.ctx.runState & RS_STOP);
}

TEST(TextBuiltins, Comparisons) {
    Args less, equal, prefix, caseless, length, extra;
    EXPECT_LT(Sstrcmp(&less.ctx, less.t("abc").t("abd").head()), 0);
    EXPECT_EQ(Sstrcmp(&equal.ctx, equal.t("abc").t("abc").head()), 0);
    EXPECT_EQ(Sstrncmp(&prefix.ctx, prefix.t("abcx").t("abcy").i(3).head()), 0);
    EXPECT_EQ(Stricmp(&caseless.ctx, caseless.t("HeLLo").t("hello").head()), 0);
    EXPECT_EQ(Sstrlen(&length.ctx, length.t("abc").head()), 3);
    EXPECT_EQ(stderrOf([&] { EXPECT_EQ(Sstrlen(&extra.ctx, extra.t("abc").i(5).head()), 3); }), "");
    EXPECT_EQ(Sstrlen(&extra.ctx, nullptr), 0);
}

TEST(TextBuiltins, StrgetcharIsSigned) {
    Args end, first, high, negative;
    EXPECT_EQ(Strgetchar(&end.ctx, end.t("abc").i(3).head()), -1);
    EXPECT_EQ(Strgetchar(&first.ctx, first.t("abc").i(0).head()), 97);
    EXPECT_EQ(Strgetchar(&high.ctx, high.t("\xe9").i(0).head()), -23);
    EXPECT_EQ(Strgetchar(&negative.ctx, negative.t("abc").i(-1).head()), -1);
}

TEST(TextBuiltins, Substr) {
    Args middle, empty;
    EXPECT_EQ(taken(SubString(&middle.ctx, middle.t("hello").i(1).i(3).head())), "el");
    EXPECT_EQ(taken(SubString(&empty.ctx, empty.t("hello").i(5).i(5).head())), "");
    for (auto range : {std::pair{3, 1}, std::pair{-1, 2}, std::pair{0, 6}}) {
        Args bad;
        bad.t("hello").i(range.first).i(range.second);
        std::string result;
        std::string err = stderrOf([&] { result = taken(SubString(&bad.ctx, bad.head())); });
        EXPECT_EQ(result, "hello");
        EXPECT_EQ(err, "Illegal substring specification on line 7(" + std::to_string(range.first) + "-" +
                           std::to_string(range.second) + ":5)\n");
        EXPECT_EQ(bad.ctx.runState, 0u);
    }
}

TEST(TextBuiltins, Regmatch) {
    Args found;
    found.t("abcabc").t("b+c");
    vinst* start = found.intVar(-1);
    vinst* end = found.intVar(-1);
    EXPECT_EQ(RegMatch(&found.ctx, found.head()), 1);
    EXPECT_EQ(start->value.i, 1);
    EXPECT_EQ(end->value.i, 3);

    Args anchored;
    anchored.t("abc").t("^a");
    vinst* untouched = anchored.intVar(42);
    anchored.intVar(42);
    EXPECT_EQ(RegMatch(&anchored.ctx, anchored.head()), 0);
    EXPECT_EQ(untouched->value.i, 42);

    Args elements;
    std::vector<std::int32_t> bounds{0, 0, 0};
    elements.t("xxhello").t("l+");
    elements.intElement(bounds, 2).intElement(bounds, 0);
    EXPECT_EQ(RegMatch(&elements.ctx, elements.head()), 1);
    EXPECT_EQ(bounds, (std::vector<std::int32_t>{6, 0, 4}));
}

TEST(TextBuiltins, RegmatchInvalidPatternWarns) {
    Args bad;
    bad.t("abc").t("a(b");
    vinst* start = bad.intVar(9);
    std::string err = stderrOf([&] { EXPECT_EQ(RegMatch(&bad.ctx, bad.head()), 0); });
    EXPECT_EQ(err.rfind("Warning: Invalid regular expression 'a(b' in regmatch: ", 0), 0u) << err;
    EXPECT_EQ(start->value.i, 9);
    EXPECT_EQ(bad.ctx.runState, 0u);
    Args missing;
    EXPECT_EQ(RegMatch(&missing.ctx, missing.t("abc").head()), 0);
}

TEST(TextBuiltins, SprintfTakesArgumentsFromTheFrame) {
    Args a;
    a.t("%s=%d %.1f").t("x").f(2.9).i(3);
    EXPECT_EQ(taken(Ssprintf(&a.ctx, a.head())), "x=2 3.0");

    Args missing;
    missing.t("[%d]");
    std::string result;
    EXPECT_EQ(stderrOf([&] { result = taken(Ssprintf(&missing.ctx, missing.head())); }),
              "arg 2 (integer) missing in function sprintf\n");
    EXPECT_EQ(result, "[-1]");

    Args count;
    count.t("abc%n!");
    vinst* n = count.intVar(0);
    EXPECT_EQ(taken(Ssprintf(&count.ctx, count.head())), "abc!");
    EXPECT_EQ(n->value.i, 3);

    Args noFormat;
    EXPECT_EQ(stderrOf([&] { EXPECT_EQ(taken(Ssprintf(&noFormat.ctx, nullptr)), ""); }),
              "arg 1 (text) missing in function sprintf\n");
}

}  // namespace
