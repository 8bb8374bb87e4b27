// Allocation layer: the only place that calls the system allocator for
// records of the program model, so that a different allocator can be put in
// without touching callers.
#include "core/alloc.h"

#include <cstdlib>

void* TamMalloc(std::size_t size) { return std::malloc(size ? size : 1); }

void* TamCalloc(std::size_t count, std::size_t size) {
    if (count == 0 || size == 0) return std::calloc(1, 1);
    return std::calloc(count, size);
}

void TamFree(void* block) { std::free(block); }

void* TamRealloc(void* block, std::size_t size) { return std::realloc(block, size ? size : 1); }
