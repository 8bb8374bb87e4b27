// Message output and the severity levels. Level 1 marks the unit as stopped
// so that the parser refuses to start the program and a running program
// stops at its next check; level 2 ends the player through cleanup.
#include "core/messages.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

#include "app/context.h"
#include "app/shutdown.h"
#include "core/alloc.h"

namespace {

std::string vformat(const char* format, va_list args) {
    char buffer[kMaxMsg + 1];
    std::vsnprintf(buffer, sizeof buffer, format, args);
    return buffer;
}

}  // namespace

std::string formatMsg(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string text = vformat(format, args);
    va_end(args);
    return text;
}

void userMsg(const char* text) {
    std::fprintf(stderr, "%s\n", text);
    std::fflush(stderr);
}

void errorMsg(UnitContext* ctx, int level, const char* text) {
    userMsg(text);
    if (!ctx) {
        if (level == MSG_FATAL) l_exit(1);
        return;
    }
    if (level == MSG_ERROR) ctx->runState |= RS_STOP;
    if (level == MSG_FATAL) c_exit(ctx, 1);
}

void paramError(UnitContext* ctx, int line, const char* text) {
    if (ctx) ctx->runState |= RS_STOP;
    if (line != kNoLine)
        std::fprintf(stderr, "Line %d: %s\n", line, text);
    else
        std::fprintf(stderr, "%s\n", text);
    std::fflush(stderr);
}

void paramErrorDS(UnitContext* ctx, int line, const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string text = vformat(format, args);
    va_end(args);
    paramError(ctx, line, text.c_str());
}

void outOfMemory(UnitContext* ctx) {
    const char* text = "Error: Could not allocate enough memory\n";
    if (ctx) errorMsg(ctx, MSG_FATAL, text);
    userMsg(text);
    l_exit(1);
}

void* mustAlloc(UnitContext* ctx, std::size_t size) {
    void* block = TamCalloc(1, size);
    if (!block) outOfMemory(ctx);
    return block;
}
