// Allocation layer: the only place that calls the system allocator for
// records of the program model, so that a different allocator can be put in
// without touching callers. It also keeps the count of bytes held through
// it, which is the memory a running program is measured by: texts, arrays,
// records and objects all come from here.
#include "core/alloc.h"

#include <malloc.h>
#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

namespace {

// Small blocks are taken through malloc and cleared here: the C library's
// calloc bypasses its per-thread cache, which makes the interpreter's many
// small records several times dearer. Large blocks keep calloc, which gets
// fresh zeroed pages without touching them.
constexpr std::size_t kSmallBlock = 512;

// Signed: a block the C library made and this layer frees only lowers the
// count, which never takes it below what is really held.
std::int64_t held = 0;
std::int64_t limit = 0;  // 0: no limit
std::int64_t hardLimit = 0;
void (*onExceeded)() = nullptr;
bool exceeded = false;

std::int64_t sizeOf(void* block) { return block ? static_cast<std::int64_t>(malloc_usable_size(block)) : 0; }

// Reports the crossing once, until the count falls below the limit again.
void crossed() {
    if (exceeded) return;
    exceeded = true;
    if (onExceeded) onExceeded();
}

// Whether a request of the size may be made while the count stands at
// `base`; a refused request counts as a crossing.
bool mayTake(std::int64_t base, std::size_t size) {
    if (!limit || base + static_cast<std::int64_t>(size) <= hardLimit) return true;
    crossed();
    return false;
}

void noteTaken(void* block) {
    held += sizeOf(block);
    if (limit && held > limit) crossed();
}

void noteGiven(std::int64_t size) {
    held -= size;
    if (exceeded && held <= limit) exceeded = false;
}

void* take(void* block) {
    if (block) noteTaken(block);
    return block;
}

// Live arena blocks as [start, end), sorted by start, and the span they
// cover: a freed address outside the span (any record from the C
// library's heap) is told apart with two comparisons. The blocks are
// mapped directly, away from that heap.
std::vector<std::pair<std::uintptr_t, std::uintptr_t>> arenaBlocks;
std::uintptr_t arenaLow = UINTPTR_MAX;
std::uintptr_t arenaHigh = 0;
std::size_t lastHit = 0;

void spanArenaBlocks() {
    arenaLow = arenaBlocks.empty() ? UINTPTR_MAX : arenaBlocks.front().first;
    arenaHigh = arenaBlocks.empty() ? 0 : arenaBlocks.back().second;
}

}  // namespace

void* TamMalloc(std::size_t size) {
    if (!mayTake(held, size)) return nullptr;
    return take(std::malloc(size ? size : 1));
}

void* TamCalloc(std::size_t count, std::size_t size) {
    if (count == 0 || size == 0) return take(std::calloc(1, 1));
    if (count <= kSmallBlock / size) {
        if (!mayTake(held, count * size)) return nullptr;
        void* block = std::malloc(count * size);
        // Keeps the compiler from fusing the pair back into calloc.
        asm volatile("" : "+r"(block));
        if (block) std::memset(block, 0, count * size);
        return take(block);
    }
    if (count > SIZE_MAX / size || !mayTake(held, count * size)) return nullptr;
    return take(std::calloc(count, size));
}

void TamFree(void* block) {
    if (!block || inArenaBlock(block)) return;
    noteGiven(sizeOf(block));
    std::free(block);
}

void* TamRealloc(void* block, std::size_t size) {
    std::int64_t before = sizeOf(block);
    if (!mayTake(held - before, size)) return nullptr;
    void* grown = std::realloc(block, size ? size : 1);
    if (!grown) return nullptr;
    noteGiven(before);
    return take(grown);
}

void setMemoryLimit(std::size_t bytes, void (*exceededHandler)()) {
    limit = static_cast<std::int64_t>(bytes);
    hardLimit = limit + limit / 2;
    onExceeded = exceededHandler;
    exceeded = false;
}

bool mayHoldMore(std::size_t bytes) { return mayTake(held, bytes); }

std::size_t heldMemory() { return held > 0 ? static_cast<std::size_t>(held) : 0; }

#if defined(__SANITIZE_ADDRESS__)
#define TALVIX_MAP_BLOCKS 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TALVIX_MAP_BLOCKS 0
#endif
#endif
#ifndef TALVIX_MAP_BLOCKS
#define TALVIX_MAP_BLOCKS 1
#endif

// Sanitized builds take blocks from the C library instead: the leak
// checker looks for pointers only in memory it knows, and records of an
// arena point at texts and other records on the heap.
void* TamBlock(std::size_t size) {
    if (!mayTake(held, size)) return nullptr;
#if TALVIX_MAP_BLOCKS
    void* block = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (block == MAP_FAILED) return nullptr;
#else
    void* block = std::calloc(1, size);
    if (!block) return nullptr;
#endif
    auto start = reinterpret_cast<std::uintptr_t>(block);
    std::pair<std::uintptr_t, std::uintptr_t> range{start, start + size};
    auto at = arenaBlocks.begin();
    while (at != arenaBlocks.end() && at->first < start) ++at;
    arenaBlocks.insert(at, range);
    spanArenaBlocks();
    held += static_cast<std::int64_t>(size);
    if (limit && held > limit) crossed();
    return block;
}

void TamFreeBlock(void* block, std::size_t size) {
    if (!block) return;
    auto start = reinterpret_cast<std::uintptr_t>(block);
    for (auto at = arenaBlocks.begin(); at != arenaBlocks.end(); ++at) {
        if (at->first != start) continue;
        arenaBlocks.erase(at);
        break;
    }
    spanArenaBlocks();
#if TALVIX_MAP_BLOCKS
    munmap(block, size);
#else
    std::free(block);
#endif
    noteGiven(static_cast<std::int64_t>(size));
}

bool inArenaBlock(const void* address) {
    auto at = reinterpret_cast<std::uintptr_t>(address);
    if (at < arenaLow || at >= arenaHigh) return false;
    // Records of one tree lie close together: try the block of the last
    // hit first.
    if (lastHit < arenaBlocks.size() && arenaBlocks[lastHit].first <= at && at < arenaBlocks[lastHit].second)
        return true;
    std::size_t lo = 0, hi = arenaBlocks.size();
    while (lo < hi) {
        std::size_t mid = (lo + hi) / 2;
        if (arenaBlocks[mid].second <= at)
            lo = mid + 1;
        else
            hi = mid;
    }
    if (lo == arenaBlocks.size() || arenaBlocks[lo].first > at) return false;
    lastHit = lo;
    return true;
}
