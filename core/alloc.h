// Allocation layer: thin wrappers over the system allocator that count what
// they hand out. They report nothing; callers test for null and report
// running out of memory in their own words (see outOfMemory() in
// core/messages.h).
#pragma once
#include <cstddef>

void* TamMalloc(std::size_t size);
void* TamCalloc(std::size_t count, std::size_t size);
void TamFree(void* block);
void* TamRealloc(void* block, std::size_t size);

// The ceiling on the bytes held through this layer. When the count first
// passes it, exceededHandler runs (it stops the program); the count may go
// on to half as much again, so that the program can unwind, and requests
// beyond that fail (and run the handler). A bytes of 0 removes the limit.
void setMemoryLimit(std::size_t bytes, void (*exceededHandler)());
// Bytes held through this layer now.
std::size_t heldMemory();
// Whether bytes more may be taken, for buffers that grow outside this
// layer before their contents come here; a no counts as a crossing.
bool mayHoldMore(std::size_t bytes);

// Blocks for record arenas: zero-filled, page-aligned and counted like any
// other request (null when refused). A record inside a live block is
// never freed on its own: TamFree ignores it, and the block goes as a
// whole with TamFreeBlock.
void* TamBlock(std::size_t size);
void TamFreeBlock(void* block, std::size_t size);
// Whether the address lies in a live arena block.
bool inArenaBlock(const void* address);

// Zero-filled record of type T, or null. Records of the program model are
// plain structs whose zero state is their empty state.
template <class T>
T* TamNew() {
    return static_cast<T*>(TamCalloc(1, sizeof(T)));
}
