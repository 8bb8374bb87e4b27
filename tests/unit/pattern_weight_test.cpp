// The weight of regular expressions: about their length when nothing
// repeats, multiplied by the copies that quantifiers and intervals make,
// with bracket expressions and escapes counted as one character.
#include <gtest/gtest.h>

#include "builtins/pattern_weight.h"

TEST(PatternWeight, PlainPatternsWeighTheirLength) {
    EXPECT_EQ(patternWeight(""), 0);
    EXPECT_EQ(patternWeight("abc"), 3);
    EXPECT_EQ(patternWeight("a|bc|"), 3);
    EXPECT_EQ(patternWeight("[]a-z[:digit:]]x"), 2);
    EXPECT_EQ(patternWeight("\\(\\{x"), 3);
    EXPECT_EQ(patternWeight("a)b"), 2);  // a stray parenthesis ends nothing
    EXPECT_EQ(patternWeight("(a(b"), 4);
    EXPECT_EQ(patternWeight("a{x}"), 4);  // a brace that is no interval
}

// Loops over parts that match the empty text cost 2 to the power of
// their count.
TEST(PatternWeight, LoopsOverEmptyMatchesCountTwice) {
    EXPECT_EQ(patternWeight("(a*)*"), 2 + 2);
    EXPECT_EQ(patternWeight("(a|)*b"), 3 + 2);
    EXPECT_EQ(patternWeight("(^)+"), 4 + 2);
    EXPECT_EQ(patternWeight("(a*){25}"), 50);  // no loop over a loop
    EXPECT_GT(patternWeight("^(a|)*{20}"), kMaxPatternWeight);
    EXPECT_GT(patternWeight("a**a**a**a**a**a**a**a**a**a**a**a**"), kMaxPatternWeight);
}

TEST(PatternWeight, RepetitionsMultiply) {
    EXPECT_EQ(patternWeight("a*b?c+"), 5);
    EXPECT_EQ(patternWeight("a**{4}"), 8 + 16);
    EXPECT_GT(patternWeight("a**{25}"), kMaxPatternWeight);
    EXPECT_GT(patternWeight("a********{255}"), kMaxPatternWeight);
    EXPECT_GT(patternWeight("a?{2000}"), kMaxPatternWeight);
    EXPECT_EQ(patternWeight("a++++"), 16);
    EXPECT_EQ(patternWeight("[0-9]{2,3}"), 3);
    EXPECT_EQ(patternWeight("x{5}y{5,}z{,7}"), 18);
    EXPECT_EQ(patternWeight("(ab|c){10}"), 40);
    EXPECT_EQ(patternWeight("((a{1,100}){1,100})"), 10101);
    EXPECT_GT(patternWeight("(a|b){1,999999999999}"), kMaxPatternWeight);
    EXPECT_GT(patternWeight("a++++++++++++++++++++++++++++++++++++++++++++++++++++++++++++++++++"),
              kMaxPatternWeight);
}
