// The size a regular expression grows to when compiled. The C library
// copies the repeated part of a pattern for each repetition it must count
// ("x+" becomes "xx*", "x{2,5}" five copies of x, three of them optional),
// so quantifiers applied to quantifiers and nested intervals multiply: a
// pattern of a few dozen characters can ask for gigabytes and minutes.
#pragma once

// Patterns heavier than this are refused; ordinary ones weigh about their
// length.
inline constexpr double kMaxPatternWeight = 2048;

// An estimate, from above, of the nodes the compiled extended regular
// expression needs: one per character or bracket expression, times the
// copies each quantifier makes. Stops counting once past the limit.
double patternWeight(const char* pattern);
