// The machine stack the interpreter recurses on. Programs run on a thread
// of their own with a large stack, and every call checks that room is left
// before it goes deeper, so deep recursion in a program ends with an error
// message instead of overflowing the stack.
#pragma once

// Runs body(arg) on the interpreter's stack and returns when it is done;
// runs it directly when already there.
void runOnInterpreterStack(void (*body)(void*), void* arg);

// True when the current stack has too little room left for another level
// of program calls.
bool stackNearlyFull();
