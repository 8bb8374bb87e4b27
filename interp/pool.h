// Recycling of the small records that every call copies and frees again
// (expression nodes, statements, arguments, calls, access records,
// variable instances, frames). Freed records wait on a free list of their
// type, up to a bound, and are cleared when reused; anything beyond the
// bound goes back to the allocator. Records that the parser allocated
// may be freed here too, since a record is only ever reused for its own
// type. Sanitized builds bypass the lists so that every use after free is
// still caught.
#pragma once
#include <cstddef>
#include <cstring>

#include "core/alloc.h"
#include "core/messages.h"

template <class T>
struct RecordPool {
    static constexpr std::size_t kMaxFree = 1 << 16;
    static inline void* freeList = nullptr;
    static inline std::size_t count = 0;
};

template <class T>
T* poolNew(UnitContext* ctx) {
#ifndef __SANITIZE_ADDRESS__
    static_assert(sizeof(T) >= sizeof(void*));
    if (void* block = RecordPool<T>::freeList) {
        RecordPool<T>::freeList = *static_cast<void**>(block);
        --RecordPool<T>::count;
        std::memset(block, 0, sizeof(T));
        return static_cast<T*>(block);
    }
#endif
    return mustNew<T>(ctx);
}

template <class T>
void poolFree(T* record) {
    if (!record) return;
#ifndef __SANITIZE_ADDRESS__
    if (RecordPool<T>::count < RecordPool<T>::kMaxFree) {
        void* block = record;
        *static_cast<void**>(block) = RecordPool<T>::freeList;
        RecordPool<T>::freeList = block;
        ++RecordPool<T>::count;
        return;
    }
#endif
    TamFree(record);
}
