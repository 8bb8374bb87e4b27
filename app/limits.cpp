// The memory ceiling of a running program. The allocation layer counts
// what the program holds (texts, arrays, records, objects); when the count
// passes the ceiling, the program is stopped the way the shell's Back
// command stops it, and its learn unit gives everything back when it ends.
// Requests that would take the count far beyond the ceiling fail, which
// ends the player as out of memory rather than letting one program take
// the machine down.
#include "app/limits.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "app/context.h"
#include "core/alloc.h"

namespace {

constexpr std::size_t kMegabyte = 1024 * 1024;
// Below this a machine could not run the player at all.
constexpr std::size_t kSmallestDefault = 64 * kMegabyte;

UnitContext* limitedContext = nullptr;
std::size_t ceilingBytes = 0;

// Runs inside an allocation: it may print and set the run state, but not
// allocate through the layer that called it.
// A program already on its way out is not reported again while it gives
// its memory back.
void stopProgram() {
    if (limitedContext && (limitedContext->runState & RS_BACK)) return;
    std::fprintf(stderr, "Error: Kiv program exceeds its memory limit of %zu MB; stopped.\n",
                 ceilingBytes / kMegabyte);
    std::fflush(stderr);
    if (limitedContext) limitedContext->runState |= RS_BACK;
}

}  // namespace

std::size_t memoryCeiling(int megabytes) {
    if (megabytes > 0) return static_cast<std::size_t>(megabytes) * kMegabyte;
    long pages = sysconf(_SC_PHYS_PAGES), pageSize = sysconf(_SC_PAGE_SIZE);
    if (pages <= 0 || pageSize <= 0) return kSmallestDefault;
    return std::max(static_cast<std::size_t>(pages) / 4 * static_cast<std::size_t>(pageSize), kSmallestDefault);
}

void installMemoryLimit(UnitContext* ctx) {
    limitedContext = ctx;
    ceilingBytes = memoryCeiling(ctx->memoryLimit);
    setMemoryLimit(ceilingBytes, stopProgram);
}
