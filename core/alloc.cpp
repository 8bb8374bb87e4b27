// Allocation layer: the only place that calls the system allocator for
// records of the program model, so that a different allocator can be put in
// without touching callers. It also keeps the count of bytes held through
// it, which is the memory a running program is measured by: texts, arrays,
// records and objects all come from here.
#include "core/alloc.h"

#include <malloc.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

// Small blocks are taken through malloc and cleared here: the C library's
// calloc bypasses its per-thread cache, which makes the interpreter's many
// small records several times dearer. Large blocks keep calloc, which gets
// fresh zeroed pages without touching them.
constexpr std::size_t kSmallBlock = 512;

// Signed: a block the C library made and this layer frees only lowers the
// count, which never takes it below what is really held.
std::int64_t held = 0;
std::int64_t limit = 0;  // 0: no limit
std::int64_t hardLimit = 0;
void (*onExceeded)() = nullptr;
bool exceeded = false;

std::int64_t sizeOf(void* block) { return block ? static_cast<std::int64_t>(malloc_usable_size(block)) : 0; }

// Reports the crossing once, until the count falls below the limit again.
void crossed() {
    if (exceeded) return;
    exceeded = true;
    if (onExceeded) onExceeded();
}

// Whether a request of the size may be made while the count stands at
// `base`; a refused request counts as a crossing.
bool mayTake(std::int64_t base, std::size_t size) {
    if (!limit || base + static_cast<std::int64_t>(size) <= hardLimit) return true;
    crossed();
    return false;
}

void noteTaken(void* block) {
    held += sizeOf(block);
    if (limit && held > limit) crossed();
}

void noteGiven(std::int64_t size) {
    held -= size;
    if (exceeded && held <= limit) exceeded = false;
}

void* take(void* block) {
    if (block) noteTaken(block);
    return block;
}

}  // namespace

void* TamMalloc(std::size_t size) {
    if (!mayTake(held, size)) return nullptr;
    return take(std::malloc(size ? size : 1));
}

void* TamCalloc(std::size_t count, std::size_t size) {
    if (count == 0 || size == 0) return take(std::calloc(1, 1));
    if (count <= kSmallBlock / size) {
        if (!mayTake(held, count * size)) return nullptr;
        void* block = std::malloc(count * size);
        // Keeps the compiler from fusing the pair back into calloc.
        asm volatile("" : "+r"(block));
        if (block) std::memset(block, 0, count * size);
        return take(block);
    }
    if (count > SIZE_MAX / size || !mayTake(held, count * size)) return nullptr;
    return take(std::calloc(count, size));
}

void TamFree(void* block) {
    if (!block) return;
    noteGiven(sizeOf(block));
    std::free(block);
}

void* TamRealloc(void* block, std::size_t size) {
    std::int64_t before = sizeOf(block);
    if (!mayTake(held - before, size)) return nullptr;
    void* grown = std::realloc(block, size ? size : 1);
    if (!grown) return nullptr;
    noteGiven(before);
    return take(grown);
}

void setMemoryLimit(std::size_t bytes, void (*exceededHandler)()) {
    limit = static_cast<std::int64_t>(bytes);
    hardLimit = limit + limit / 2;
    onExceeded = exceededHandler;
    exceeded = false;
}

bool mayHoldMore(std::size_t bytes) { return mayTake(held, bytes); }

std::size_t heldMemory() { return held > 0 ? static_cast<std::size_t>(held) : 0; }
