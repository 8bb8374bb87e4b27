// The formatting engine behind the sprintf builtin. It is independent of
// the argument frame: directives draw their values from a FormatArgs
// source, so the engine can be driven by the builtin or by tests alike.
#pragma once
#include <cstdint>
#include <string>

#include "builtins/support.h"

class FormatArgs {
public:
    virtual ~FormatArgs() = default;
    // Values of the next argument; argno (from 1) is used in messages.
    virtual std::int32_t intArg(int argno) = 0;
    virtual double floatArg(int argno) = 0;
    virtual OwnedText textArg(int argno) = 0;
    // Stores count into the next argument (when it is an int variable);
    // false when no argument is left.
    virtual bool storeCount(int argno, std::int32_t count) = 0;
};

// Widths and precisions are limited to this, so that no format can demand
// an unbounded amount of memory.
inline constexpr int kMaxFieldWidth = 65535;

// Formats the arguments after the format, which is argument 1. Never fails:
// unknown directives produce nothing, and a %n without an argument reports
// and ends the formatting with what was produced so far.
std::string formatText(UnitContext* ctx, const char* format, FormatArgs& args);
