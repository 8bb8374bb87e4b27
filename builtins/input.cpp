// Input and timing builtins that run the event machinery: input,
// flushInput, waitOnInput, mousePos, setCursorPos, getXPoint, getYPoint,
// wait and sync. wait and sync keep the display and the transfers alive
// while they pass the time.
#include <cstdint>

#include "app/context.h"
#include "app/events.h"
#include "builtins/handlers.h"
#include "builtins/support.h"
#include "builtins/system.h"
#include "core/messages.h"
#include "interp/builtin_frame.h"
#include "interp/eval.h"
#include "present/draw.h"
#include "present/events.h"
#include "present/objects.h"
#include "present/update.h"

namespace {

std::int32_t takeMilliseconds(UnitContext* ctx, param* args, const char* name) {
    param* cursor = args;
    std::int32_t ms = getIntPar(ctx, cursor, 1, name);
    checkPars(ctx, cursor, 1, name);
    return ms;
}

// A stopped program does not wait: its next check ends it.
void passTime(UnitContext* ctx, std::int32_t ms) {
    if (ms > 0 && !halted(ctx)) TamTimeOut(ctx, ms);
}

}  // namespace

std::int32_t input(UnitContext* ctx, param* args) {
    takeArguments(ctx, args, "input", "");
    UpdateInps(ctx);
    dispatchEvents(ctx);
    return 1;
}

std::int32_t flush_input(UnitContext* ctx, param* args) {
    takeArguments(ctx, args, "flushInput", "");
    if (ctx->learnUnit) flushEvents(ctx->learnUnit);
    return 1;
}

std::int32_t wait_for_input(UnitContext* ctx, param* args) {
    takeArguments(ctx, args, "waitOnInput", "");
    LearnUnit* unit = ctx->learnUnit;
    if (!unit || halted(ctx)) return 0;
    if (!hasUnseenEvents(unit)) TamWaitForEvent(ctx);
    if (ctx->learnUnit == unit) markEventsSeen(unit);
    return 0;
}

std::int32_t mouse_pos(UnitContext* ctx, param* args) {
    param* xVariable = args;
    param* yVariable = xVariable ? nextOf(xVariable) : nullptr;
    takeArguments(ctx, args, "mousePos", "II");
    if (xVariable) set_par_value(ctx, xVariable, ctx->mouseX);
    if (yVariable) set_par_value(ctx, yVariable, ctx->mouseY);
    return 1;
}

std::int32_t set_mouse(UnitContext* ctx, param* args) {
    param* cursor = args;
    std::int32_t x = getIntPar(ctx, cursor, 1, "setCursorPos");
    std::int32_t y = getIntPar(ctx, cursor, 2, "setCursorPos");
    checkPars(ctx, cursor, 2, "setCursorPos");
    SetMousePos(ctx, x, y);
    return 1;
}

namespace {

// The x (y) expression of point i (from 1) of the point-list attribute the
// first argument refers to; reports a bad index and gives null.
op* pointExpr(UnitContext* ctx, param* args, const char* name, bool wantY) {
    param* cursor = args ? nextOf(args) : nullptr;
    std::int32_t index = getIntPar(ctx, cursor, 2, name);
    op* ref = args ? args->expr : nullptr;
    PointListValue* points = ref && ref->flag == T_ATTR && ref->type == DO_VINST ? ref->left.points : nullptr;
    int count = points ? points->count : 0;
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
    return points->coords[2 * (index - 1) + (wantY ? 1 : 0)];
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

std::int32_t halt(UnitContext* ctx, param* args) {
    passTime(ctx, takeMilliseconds(ctx, args, "wait"));
    return elapsedMillis(ctx);
}

// Frame pacing: waits until period milliseconds after the previous call and
// returns the clock reading, so a loop runs at a steady rate. The wait is
// the signed distance in the clock's wrapping 32-bit arithmetic, so a
// negative period or a clock that wrapped does not wait.
std::int32_t sync_input(UnitContext* ctx, param* args) {
    std::int32_t period = takeMilliseconds(ctx, args, "sync");
    if (ctx->lastSyncTime != 0)
        passTime(ctx, static_cast<std::int32_t>(ctx->lastSyncTime + static_cast<std::uint32_t>(period) -
                                                millitime(ctx)));
    ctx->lastSyncTime = millitime(ctx);
    return static_cast<std::int32_t>(ctx->lastSyncTime);
}
