// Arena for the records of one parsed program: records are cut from large
// blocks one after another and all go together when the arena is
// destroyed, instead of one by one. Freeing a record of a live arena on
// its own does nothing (see TamFree), so code that releases records
// singly stays correct; it only leaves the memory to the arena.
#pragma once
#include <cstddef>
#include <vector>

struct UnitContext;

class RecordArena {
public:
    RecordArena() = default;
    ~RecordArena();
    RecordArena(const RecordArena&) = delete;
    RecordArena& operator=(const RecordArena&) = delete;

    // Zero-filled room for a record; running out of memory ends the player
    // as any record allocation does.
    void* allocate(UnitContext* ctx, std::size_t size) {
        size = (size + kAlign - 1) & ~(kAlign - 1);
        if (size > static_cast<std::size_t>(end_ - next_)) grow(ctx, size);
        void* record = next_;
        next_ += size;
        return record;
    }

private:
    static constexpr std::size_t kAlign = 8;
    static constexpr std::size_t kFirstBlock = 64 * 1024;
    static constexpr std::size_t kLargestBlock = 1024 * 1024;

    void grow(UnitContext* ctx, std::size_t size);

    struct Block {
        void* start;
        std::size_t size;
    };
    std::vector<Block> blocks_;
    char* next_ = nullptr;
    char* end_ = nullptr;
    std::size_t nextBlock_ = kFirstBlock;
};

// A record of type T from the arena (records are plain structs whose zero
// state is their empty state).
template <class T>
T* arenaNew(RecordArena& arena, UnitContext* ctx) {
    static_assert(alignof(T) <= 8);
    return static_cast<T*>(arena.allocate(ctx, sizeof(T)));
}
