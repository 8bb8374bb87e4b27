// The size a regular expression grows to when compiled. The C library
// copies the repeated part of a pattern for each repetition it must count
// ("x+" becomes "xx*", "x{2,5}" five copies of x, three of them optional),
// so quantifiers applied to quantifiers and nested intervals multiply: a
// pattern of a few dozen characters can ask for gigabytes and minutes.
#pragma once

// Patterns heavier than this are refused; ordinary ones weigh about their
// length.
inline constexpr double kMaxPatternWeight = 2048;

// An estimate, from above, of the work the compiled extended regular
// expression may cost: one node per character or bracket expression,
// times the copies each quantifier makes, plus 2 to the power of the
// loops over parts that can match nothing ("(a|)*", "a**"), which the
// matcher may try in every combination. Stops counting once past the
// limit.
double patternWeight(const char* pattern);
