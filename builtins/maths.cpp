// Floating-point builtins: thin wrappers over the mathematics library that
// take their arguments as floats and report extra arguments.
#include <cmath>

#include "builtins/handlers.h"
#include "interp/builtin_frame.h"

namespace {

using Unary = double (*)(double);
using Binary = double (*)(double, double);

double callUnary(UnitContext* ctx, param* args, const char* name, Unary fn) {
    param* cursor = args;
    double x = getFltPar(ctx, cursor, 1, name);
    checkPars(ctx, cursor, 1, name);
    return fn(x);
}

double callBinary(UnitContext* ctx, param* args, const char* name, Binary fn) {
    param* cursor = args;
    double x = getFltPar(ctx, cursor, 1, name);
    double y = getFltPar(ctx, cursor, 2, name);
    checkPars(ctx, cursor, 2, name);
    return fn(x, y);
}

}  // namespace

double Asin(UnitContext* ctx, param* args) {
    return callUnary(ctx, args, "asin", [](double x) { return std::asin(x); });
}
double Acos(UnitContext* ctx, param* args) {
    return callUnary(ctx, args, "acos", [](double x) { return std::acos(x); });
}
double Atan(UnitContext* ctx, param* args) {
    return callUnary(ctx, args, "atan", [](double x) { return std::atan(x); });
}
double Atan2(UnitContext* ctx, param* args) {
    return callBinary(ctx, args, "atan2", [](double y, double x) { return std::atan2(y, x); });
}
double Ceil(UnitContext* ctx, param* args) {
    return callUnary(ctx, args, "ceil", [](double x) { return std::ceil(x); });
}
double Scos(UnitContext* ctx, param* args) {
    return callUnary(ctx, args, "cos", [](double x) { return std::cos(x); });
}
double Cosh(UnitContext* ctx, param* args) {
    return callUnary(ctx, args, "cosh", [](double x) { return std::cosh(x); });
}
double Fabs(UnitContext* ctx, param* args) {
    return callUnary(ctx, args, "fabs", [](double x) { return std::fabs(x); });
}
double Floor(UnitContext* ctx, param* args) {
    return callUnary(ctx, args, "floor", [](double x) { return std::floor(x); });
}
double Fmod(UnitContext* ctx, param* args) {
    return callBinary(ctx, args, "fmod", [](double x, double y) { return std::fmod(x, y); });
}
double Slog(UnitContext* ctx, param* args) {
    return callUnary(ctx, args, "log", [](double x) { return std::log(x); });
}
double Slog10(UnitContext* ctx, param* args) {
    return callUnary(ctx, args, "log10", [](double x) { return std::log10(x); });
}
double Ssin(UnitContext* ctx, param* args) {
    return callUnary(ctx, args, "sin", [](double x) { return std::sin(x); });
}
double Sinh(UnitContext* ctx, param* args) {
    return callUnary(ctx, args, "sinh", [](double x) { return std::sinh(x); });
}
// Programs rely on sqrt of a non-positive value being 0.0 rather than NaN.
double Ssqrt(UnitContext* ctx, param* args) {
    return callUnary(ctx, args, "sqrt", [](double x) { return x > 0.0 ? std::sqrt(x) : 0.0; });
}
double Tan(UnitContext* ctx, param* args) {
    return callUnary(ctx, args, "tan", [](double x) { return std::tan(x); });
}
double Tanh(UnitContext* ctx, param* args) {
    return callUnary(ctx, args, "tanh", [](double x) { return std::tanh(x); });
}
