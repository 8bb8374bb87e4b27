// The millisecond clock that program time is measured with.
#pragma once
#include <cstdint>

struct UnitContext;

// Wall-clock milliseconds as an unsigned 32-bit value that wraps; all
// differences are taken in the same arithmetic. A failing clock is
// reported and reads as all ones.
std::uint32_t millitime(UnitContext* ctx);

// Milliseconds since the current learn unit's start time.
std::int32_t elapsedMillis(UnitContext* ctx);
