// Input and timing builtins that run the event machinery: input,
// flushInput, waitOnInput, mousePos, setCursorPos, getXPoint, getYPoint,
// wait and sync. wait and sync keep the display and the transfers alive
// while they pass the time; the others check their arguments and return
// their neutral value until the input machinery is linked in.
#include "app/context.h"
#include "app/events.h"
#include "builtins/handlers.h"
#include "builtins/support.h"
#include "builtins/system.h"
#include "core/messages.h"
#include "interp/builtin_frame.h"
#include "interp/eval.h"
#include "present/objects.h"

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

namespace {

// The x (y) expression of point i (from 1) of the point-list attribute the
// first argument refers to; reports a bad index and gives null.
op* pointExpr(UnitContext* ctx, param* args, const char* name, bool wantY) {
    param* cursor = args ? nextOf(args) : nullptr;
    std::int32_t index = getIntPar(ctx, cursor, 2, name);
    attrdecl* attr = args && args->expr && (args->expr->flag == T_ATTR) ? args->expr->left.attr : nullptr;
    int count = attr && attr->kind == AK_POINTS ? attr->count : 0;
    if (index > count) {
        errorMsg(ctx, MSG_ERROR,
                 formatMsg("Error in %s() parameter: index larger than number of points in pointlist.", name).c_str());
        return nullptr;
    }
    if (index <= 0) {
        errorMsg(ctx, MSG_ERROR,
                 formatMsg("Error in %s() parameter: index into pointlist is less or equal 0.", name).c_str());
        return nullptr;
    }
    auto* point = static_cast<pointdecl*>(attr->points);
    for (int i = 1; point && i < index; ++i) point = nextOf(point);
    return point ? (wantY ? point->y : point->x) : nullptr;
}

}  // namespace

std::int32_t getXPoint(UnitContext* ctx, param* args) {
    op* e = pointExpr(ctx, args, "getXPoint", false);
    return e ? calculate(ctx, e) : 0;
}

std::int32_t getYPoint(UnitContext* ctx, param* args) {
    op* e = pointExpr(ctx, args, "getYPoint", true);
    return e ? calculate(ctx, e) : 0;
}

namespace {

std::int32_t takeMilliseconds(UnitContext* ctx, param* args, const char* name) {
    param* cursor = args;
    std::int32_t ms = getIntPar(ctx, cursor, 1, name);
    checkPars(ctx, cursor, 1, name);
    return ms;
}

}  // namespace

std::int32_t halt(UnitContext* ctx, param* args) {
    std::int32_t ms = takeMilliseconds(ctx, args, "wait");
    if (ms > 0) TamTimeOut(ctx, ms);
    return elapsedMillis(ctx);
}

// Frame pacing: waits until period milliseconds after the previous call and
// returns the clock reading, so a loop runs at a steady rate. Differences
// are taken in the clock's wrapping 32-bit arithmetic.
std::int32_t sync_input(UnitContext* ctx, param* args) {
    std::int32_t period = takeMilliseconds(ctx, args, "sync");
    if (ctx->lastSyncTime != 0) {
        auto remaining = static_cast<std::int32_t>(ctx->lastSyncTime + static_cast<std::uint32_t>(period) -
                                                   millitime(ctx));
        if (remaining > 0) TamTimeOut(ctx, remaining);
    }
    ctx->lastSyncTime = millitime(ctx);
    return static_cast<std::int32_t>(ctx->lastSyncTime);
}
