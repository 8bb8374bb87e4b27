// Allocation layer: thin wrappers over the system allocator. They report
// nothing; callers test for null and report running out of memory in their
// own words (see oom() in core/messages.h).
#pragma once
#include <cstddef>

void* TamMalloc(std::size_t size);
void* TamCalloc(std::size_t count, std::size_t size);
void TamFree(void* block);
void* TamRealloc(void* block, std::size_t size);

// Zero-filled record of type T, or null. Records of the program model are
// plain structs whose zero state is their empty state.
template <class T>
T* TamNew() {
    return static_cast<T*>(TamCalloc(1, sizeof(T)));
}
