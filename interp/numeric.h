// Integer arithmetic of the language: 32-bit two's complement that wraps,
// and float-to-int conversion by truncation toward zero. Kept apart so the
// evaluator, the operator routines and the builtin frame agree exactly.
#pragma once
#include <cstdint>

// Truncation toward zero. Values outside the int range (and NaN) give the
// integer indefinite value INT32_MIN, as the processor's conversion does.
inline std::int32_t truncTowardZero(double value) {
    if (value > -2147483649.0 && value < 2147483648.0) return static_cast<std::int32_t>(value);
    return INT32_MIN;
}

inline std::int32_t wrapAdd(std::int32_t a, std::int32_t b) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
}
inline std::int32_t wrapSub(std::int32_t a, std::int32_t b) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) - static_cast<std::uint32_t>(b));
}
inline std::int32_t wrapMul(std::int32_t a, std::int32_t b) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) * static_cast<std::uint32_t>(b));
}
// Quotient and remainder truncated toward zero; the caller rules out a zero
// divisor. INT32_MIN / -1 wraps to INT32_MIN instead of trapping.
inline std::int32_t wrapDiv(std::int32_t a, std::int32_t b) {
    if (b == -1) return wrapSub(0, a);
    return a / b;
}
inline std::int32_t wrapRem(std::int32_t a, std::int32_t b) {
    if (b == -1) return 0;
    return a % b;
}
// Shift counts are taken modulo 32.
inline std::int32_t shiftLeft(std::int32_t a, std::int32_t count) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) << (count & 31));
}
inline std::int32_t shiftRight(std::int32_t a, std::int32_t count) { return a >> (count & 31); }
