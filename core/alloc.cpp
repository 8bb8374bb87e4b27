// Allocation layer: the only place that calls the system allocator for
// records of the program model, so that a different allocator can be put in
// without touching callers.
#include "core/alloc.h"

#include <cstdlib>
#include <cstring>

namespace {

// Small blocks are taken through malloc and cleared here: the C library's
// calloc bypasses its per-thread cache, which makes the interpreter's many
// small records several times dearer. Large blocks keep calloc, which gets
// fresh zeroed pages without touching them.
constexpr std::size_t kSmallBlock = 512;

}  // namespace

void* TamMalloc(std::size_t size) { return std::malloc(size ? size : 1); }

void* TamCalloc(std::size_t count, std::size_t size) {
    if (count == 0 || size == 0) return std::calloc(1, 1);
    if (count <= kSmallBlock / size) {
        void* block = std::malloc(count * size);
        // Keeps the compiler from fusing the pair back into calloc.
        asm volatile("" : "+r"(block));
        if (block) std::memset(block, 0, count * size);
        return block;
    }
    return std::calloc(count, size);
}

void TamFree(void* block) { std::free(block); }

void* TamRealloc(void* block, std::size_t size) { return std::realloc(block, size ? size : 1); }
