// Recycling of the small records that every call copies and frees again
// (expression nodes, statements, arguments, calls, access records,
// variable instances, frames). Freed records wait on a free list of their
// type, up to a bound, and are cleared when reused; anything beyond the
// bound goes back to the allocator. Records that the parser allocated
// may be freed here too, since a record is only ever reused for its own
// type; records of a program's arena stay where they are (the arena frees
// them with the program) and never join a list. Sanitized builds bypass
// the lists so that every use after free is still caught (GCC announces
// AddressSanitizer by a macro, clang through __has_feature).
#pragma once
#include <cstddef>
#include <cstring>

#include "core/alloc.h"
#include "core/messages.h"

#if defined(__SANITIZE_ADDRESS__)
#define TALVIX_RECYCLE_RECORDS 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TALVIX_RECYCLE_RECORDS 0
#endif
#endif
#ifndef TALVIX_RECYCLE_RECORDS
#define TALVIX_RECYCLE_RECORDS 1
#endif

template <class T>
struct RecordPool {
    static constexpr std::size_t kMaxFree = 1 << 16;
    static inline void* freeList = nullptr;
    static inline std::size_t count = 0;
};

template <class T>
T* poolNew(UnitContext* ctx) {
#if TALVIX_RECYCLE_RECORDS
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
#if TALVIX_RECYCLE_RECORDS
    if (inArenaBlock(record)) return;
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
