// The stack that lean calls take their blocks from. A call whose instances
// cannot outlive it gets one block, holding its instances and the current
// instances it switched, instead of one record per declaration; calls nest
// strictly, so blocks are handed out and given back last in, first out.
#pragma once
#include <cstddef>

struct UnitContext;

// Where the stack stood before a block was taken; giving it back returns
// the stack there.
struct FrameMark {
    char* at = nullptr;
    std::size_t chunk = 0;
};

namespace frame_stack {

// The free part of the chunk in use.
struct Top {
    char* next = nullptr;
    char* end = nullptr;
    std::size_t chunk = 0;
};
extern Top top;

// Sanitized builds take every block through the checked path, which marks
// given-back blocks as unusable.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kInline = false;
#else
constexpr bool kInline = true;
#endif

void* take(UnitContext* ctx, std::size_t bytes, FrameMark& mark);
void giveBack(const FrameMark& mark);

}  // namespace frame_stack

// A block of at least `bytes` (a multiple of the pointer size), not
// cleared. Blocks never move while they are in use.
inline void* takeFrameBlock(UnitContext* ctx, std::size_t bytes, FrameMark& mark) {
    frame_stack::Top& top = frame_stack::top;
    if (frame_stack::kInline && bytes <= static_cast<std::size_t>(top.end - top.next)) {
        mark.at = top.next;
        mark.chunk = top.chunk;
        top.next += bytes;
        return mark.at;
    }
    return frame_stack::take(ctx, bytes, mark);
}

// Gives back the block taken with `mark` and every block taken after it.
inline void giveBackFrameBlock(const FrameMark& mark) {
    frame_stack::Top& top = frame_stack::top;
    if (frame_stack::kInline && mark.chunk == top.chunk) {
        top.next = mark.at;
        return;
    }
    frame_stack::giveBack(mark);
}
