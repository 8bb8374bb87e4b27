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

// The functions of the one-argument handlers, which compiled bodies
// also call directly.
double asinOf(double x) { return std::asin(x); }
double acosOf(double x) { return std::acos(x); }
double atanOf(double x) { return std::atan(x); }
double ceilOf(double x) { return std::ceil(x); }
double cosOf(double x) { return std::cos(x); }
double coshOf(double x) { return std::cosh(x); }
double fabsOf(double x) { return std::fabs(x); }
double floorOf(double x) { return std::floor(x); }
double logOf(double x) { return std::log(x); }
double log10Of(double x) { return std::log10(x); }
double sinOf(double x) { return std::sin(x); }
double sinhOf(double x) { return std::sinh(x); }
// Programs rely on sqrt of a non-positive value being 0.0 rather than NaN.
double sqrtOf(double x) { return x > 0.0 ? std::sqrt(x) : 0.0; }
double tanOf(double x) { return std::tan(x); }
double tanhOf(double x) { return std::tanh(x); }

}  // namespace

double Asin(UnitContext* ctx, param* args) { return callUnary(ctx, args, "asin", asinOf); }
double Acos(UnitContext* ctx, param* args) { return callUnary(ctx, args, "acos", acosOf); }
double Atan(UnitContext* ctx, param* args) { return callUnary(ctx, args, "atan", atanOf); }
double Atan2(UnitContext* ctx, param* args) {
    return callBinary(ctx, args, "atan2", [](double y, double x) { return std::atan2(y, x); });
}
double Ceil(UnitContext* ctx, param* args) { return callUnary(ctx, args, "ceil", ceilOf); }
double Scos(UnitContext* ctx, param* args) { return callUnary(ctx, args, "cos", cosOf); }
double Cosh(UnitContext* ctx, param* args) { return callUnary(ctx, args, "cosh", coshOf); }
double Fabs(UnitContext* ctx, param* args) { return callUnary(ctx, args, "fabs", fabsOf); }
double Floor(UnitContext* ctx, param* args) { return callUnary(ctx, args, "floor", floorOf); }
double Fmod(UnitContext* ctx, param* args) {
    return callBinary(ctx, args, "fmod", [](double x, double y) { return std::fmod(x, y); });
}
double Slog(UnitContext* ctx, param* args) { return callUnary(ctx, args, "log", logOf); }
double Slog10(UnitContext* ctx, param* args) { return callUnary(ctx, args, "log10", log10Of); }
double Ssin(UnitContext* ctx, param* args) { return callUnary(ctx, args, "sin", sinOf); }
double Sinh(UnitContext* ctx, param* args) { return callUnary(ctx, args, "sinh", sinhOf); }
double Ssqrt(UnitContext* ctx, param* args) { return callUnary(ctx, args, "sqrt", sqrtOf); }
double Tan(UnitContext* ctx, param* args) { return callUnary(ctx, args, "tan", tanOf); }
double Tanh(UnitContext* ctx, param* args) { return callUnary(ctx, args, "tanh", tanhOf); }

MathsFunction pureMathsFunction(FltBuiltin handler) {
    static const struct {
        FltBuiltin handler;
        MathsFunction function;
    } table[] = {
        {Asin, asinOf},
        {Acos, acosOf},
        {Atan, atanOf},
        {Ceil, ceilOf},
        {Scos, cosOf},
        {Cosh, coshOf},
        {Fabs, fabsOf},
        {Floor, floorOf},
        {Slog, logOf},
        {Slog10, log10Of},
        {Ssin, sinOf},
        {Sinh, sinhOf},
        {Ssqrt, sqrtOf},
        {Tan, tanOf},
        {Tanh, tanhOf},
    };
    for (const auto& entry : table)
        if (entry.handler == handler) return entry.function;
    return nullptr;
}
