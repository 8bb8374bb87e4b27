// The memory ceiling of a running program.
#pragma once
#include <cstddef>

struct UnitContext;

// The ceiling in bytes for a memoryLimit resource of the given megabytes;
// 0 or less gives a quarter of the machine's physical memory.
std::size_t memoryCeiling(int megabytes);

// Puts the ceiling from the context's memoryLimit in force. A program
// whose memory passes it is stopped with a message; the player goes on.
void installMemoryLimit(UnitContext* ctx);
