// The machine stack the interpreter recurses on. Programs run on a thread
// of their own with a large stack, and every call checks that room is left
// before it goes deeper, so deep recursion in a program ends with an error
// message instead of overflowing the stack.
#pragma once
#include <cstdint>

// Runs body(arg) on the interpreter's stack and returns when it is done;
// runs it directly when already there.
void runOnInterpreterStack(void (*body)(void*), void* arg);

namespace callstack {
// The lowest address a program call may start below the reserve; 0 until
// worked out for the thread.
extern thread_local constinit std::uintptr_t stackFloor;
std::uintptr_t computeFloor();
}  // namespace callstack

// True when the current stack has too little room left for another level
// of program calls.
inline bool stackNearlyFull() {
    std::uintptr_t floor = callstack::stackFloor;
    if (!floor) floor = callstack::computeFloor();
    return reinterpret_cast<std::uintptr_t>(__builtin_frame_address(0)) < floor;
}
