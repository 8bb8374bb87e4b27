// Messages on standard error with their three severity levels. Standard
// error may have been reopened onto a temporary file at start-up.
#pragma once
#include <cstddef>
#include <string>

struct UnitContext;

enum MsgLevel { MSG_WARNING = 0, MSG_ERROR = 1, MSG_FATAL = 2 };

// Marks "no source line known" for the run-time error reporters.
inline constexpr int kNoLine = -1;

// Longest composed message text; longer texts are cut, never overflowed.
inline constexpr std::size_t kMaxMsg = 255;

void userMsg(const char* text);
void errorMsg(UnitContext* ctx, int level, const char* text);

// Run-time errors of builtins and the interpreter: set RS_STOP and print
// "Line %d: %s" when the source line is known, else the text alone.
void paramError(UnitContext* ctx, int line, const char* text);
void paramErrorDS(UnitContext* ctx, int line, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

// printf into a std::string, cut to kMaxMsg characters.
std::string formatMsg(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Out of memory is always fatal: reports and ends the player with status 1.
[[noreturn]] void outOfMemory(UnitContext* ctx);

// Allocation that never returns null: out of memory ends the player.
void* mustAlloc(UnitContext* ctx, std::size_t size);
template <class T>
T* mustNew(UnitContext* ctx) {
    return static_cast<T*>(mustAlloc(ctx, sizeof(T)));
}
