// Frame blocks come from chunks that are kept while the recursion that
// filled them may come back; chunks two beyond the one in use are freed,
// so a deep recursion does not hold its memory after it has unwound.
// Sanitized builds poison a block when it is given back, so a read of an
// instance after its call has ended is still caught.
#include "interp/frame_stack.h"

#include <vector>

#include "core/alloc.h"
#include "core/messages.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#define FRAME_POISON(address, size) ASAN_POISON_MEMORY_REGION(address, size)
#define FRAME_UNPOISON(address, size) ASAN_UNPOISON_MEMORY_REGION(address, size)
#else
#define FRAME_POISON(address, size) ((void)(address), (void)(size))
#define FRAME_UNPOISON(address, size) ((void)(address), (void)(size))
#endif

namespace frame_stack {

Top top;

namespace {

constexpr std::size_t kChunkBytes = std::size_t{64} << 10;

struct Chunk {
    char* base = nullptr;
    std::size_t size = 0;
};

// Never destroyed: an exit from inside a call runs the static destructors
// while calls are still active.
std::vector<Chunk>& chunks() {
    static auto* list = new std::vector<Chunk>;
    return *list;
}

Chunk newChunk(UnitContext* ctx, std::size_t bytes) {
    Chunk chunk;
    chunk.size = bytes > kChunkBytes ? bytes : kChunkBytes;
    chunk.base = static_cast<char*>(mustAlloc(ctx, chunk.size));
    FRAME_POISON(chunk.base, chunk.size);
    return chunk;
}

void use(std::size_t index, char* next) {
    Chunk& chunk = chunks()[index];
    top.chunk = index;
    top.next = next;
    top.end = chunk.base + chunk.size;
}

}  // namespace

void* take(UnitContext* ctx, std::size_t bytes, FrameMark& mark) {
    std::vector<Chunk>& list = chunks();
    if (list.empty()) {
        list.push_back(newChunk(ctx, bytes));
        use(0, list[0].base);
    }
    mark.at = top.next;
    mark.chunk = top.chunk;
    if (bytes > static_cast<std::size_t>(top.end - top.next)) {
        std::size_t next = top.chunk + 1;
        if (next == list.size()) {
            list.push_back(newChunk(ctx, bytes));
        } else if (list[next].size < bytes) {
            TamFree(list[next].base);
            list[next] = newChunk(ctx, bytes);
        }
        use(next, list[next].base);
    }
    char* block = top.next;
    top.next += bytes;
    FRAME_UNPOISON(block, bytes);
    return block;
}

void giveBack(const FrameMark& mark) {
    std::vector<Chunk>& list = chunks();
    if (list.empty()) return;
    for (std::size_t c = mark.chunk; c <= top.chunk; ++c) {
        char* from = c == mark.chunk ? mark.at : list[c].base;
        char* to = c == top.chunk ? top.next : list[c].base + list[c].size;
        if (to > from) FRAME_POISON(from, static_cast<std::size_t>(to - from));
    }
    use(mark.chunk, mark.at);
    while (list.size() > top.chunk + 2) {
        TamFree(list.back().base);
        list.pop_back();
    }
}

}  // namespace frame_stack
