// Input and timing builtins that run the event machinery: input,
// flushInput, waitOnInput, mousePos, setCursorPos, getXPoint, getYPoint,
// wait and sync. Without the event machinery linked in, they check their
// arguments and return their neutral value.
#include "builtins/handlers.h"
#include "builtins/support.h"

std::int32_t input(UnitContext* ctx, param* args) {
    takeArguments(ctx, args, "input", "");
    return 0;
}

std::int32_t flush_input(UnitContext* ctx, param* args) {
    takeArguments(ctx, args, "flushInput", "");
    return 0;
}

std::int32_t wait_for_input(UnitContext* ctx, param* args) {
    takeArguments(ctx, args, "waitOnInput", "");
    return 0;
}

std::int32_t mouse_pos(UnitContext* ctx, param* args) {
    takeArguments(ctx, args, "mousePos", "II");
    return 0;
}

std::int32_t set_mouse(UnitContext* ctx, param* args) {
    takeArguments(ctx, args, "setCursorPos", "ii");
    return 0;
}

std::int32_t getXPoint(UnitContext*, param*) { return 0; }

std::int32_t getYPoint(UnitContext*, param*) { return 0; }

std::int32_t halt(UnitContext* ctx, param* args) {
    takeArguments(ctx, args, "wait", "i");
    return 0;
}

std::int32_t sync_input(UnitContext* ctx, param* args) {
    takeArguments(ctx, args, "sync", "i");
    return 0;
}
