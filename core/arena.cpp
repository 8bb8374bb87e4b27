// Blocks of the record arena: each new block is twice the last, up to a
// bound, so that a small program takes one small block and a large one few.
#include "core/arena.h"

#include "core/alloc.h"
#include "core/messages.h"

RecordArena::~RecordArena() {
    for (const Block& block : blocks_) TamFreeBlock(block.start, block.size);
}

void RecordArena::grow(UnitContext* ctx, std::size_t size) {
    std::size_t blockSize = nextBlock_;
    while (blockSize < size) blockSize *= 2;
    void* start = TamBlock(blockSize);
    if (!start) outOfMemory(ctx);
    blocks_.push_back({start, blockSize});
    next_ = static_cast<char*>(start);
    end_ = next_ + blockSize;
    if (nextBlock_ < kLargestBlock) nextBlock_ *= 2;
}
