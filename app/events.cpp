// Event serving. The toolkit's loop is the only loop: waiting, idling and
// the per-statement check all dispatch through it.
#include "app/events.h"

#include <X11/Intrinsic.h>

#include <ctime>

#include "app/context.h"
#include "app/signals.h"
#include "net/url.h"
#include "present/objects.h"

namespace {

// The per-statement check looks at the display only when the coarse clock
// has moved on since the last look: at most one look per clock tick (a few
// milliseconds), whatever the rate of calls. Reading that clock needs no
// system call.
bool eventCheckDue() {
    static long long lastTick = -1;
    timespec now;
    clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
    long long tick = now.tv_sec * 1'000'000'000LL + now.tv_nsec;
    if (tick == lastTick) return false;
    lastTick = tick;
    return true;
}

void onTimeout(XtPointer fired, XtIntervalId*) { *static_cast<bool*>(fired) = true; }

void sleepMilliseconds(int milliseconds) {
    timespec pause{milliseconds / 1000, milliseconds % 1000 * 1'000'000L};
    while (nanosleep(&pause, &pause) != 0) serviceSignals();
}

bool inputQueuedSince(UnitContext* ctx, LearnUnit* unit, event* oldTail) {
    return ctx->learnUnit != unit || unit->eventTail != oldTail;
}

}  // namespace

void mainLoop(UnitContext* ctx) {
    ctx->runState = RS_IDLE;
    for (;;) XtAppProcessEvent(ctx->appContext, XtIMAll);
}

void TamServeWinEvents(UnitContext* ctx) {
    if (!ctx->appContext) return;
    while (XtAppPending(ctx->appContext) & XtIMXEvent) XtAppProcessEvent(ctx->appContext, XtIMXEvent);
}

void TamServeEvents(UnitContext* ctx) {
    serviceSignals();
    if (!eventCheckDue()) return;
    TamServeWinEvents(ctx);
    ProcessRequests();
}

void TamWaitForEvent(UnitContext* ctx) {
    LearnUnit* unit = ctx->learnUnit;
    if (!ctx->appContext || !unit) return;
    event* oldTail = unit->eventTail;
    while (!halted(ctx) && !inputQueuedSince(ctx, unit, oldTail))
        XtAppProcessEvent(ctx->appContext, XtIMAll);
}

void TamTimeOut(UnitContext* ctx, int milliseconds) {
    if (milliseconds < 0) milliseconds = 0;
    if (!ctx->appContext) {
        sleepMilliseconds(milliseconds);
        return;
    }
    // A program stopped meanwhile (Back, reload, exit) ends its wait at once;
    // the timer must not outlive the flag it would set.
    bool fired = false;
    XtIntervalId timer =
        XtAppAddTimeOut(ctx->appContext, static_cast<unsigned long>(milliseconds), onTimeout, &fired);
    while (!fired && !halted(ctx)) XtAppProcessEvent(ctx->appContext, XtIMAll);
    if (!fired) XtRemoveTimeOut(timer);
}
