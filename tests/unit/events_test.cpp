// The per-statement event check: nearly free when nothing is pending, yet
// a pending X event is dispatched within a few milliseconds while a
// program computes. Needs the suite's X server.
#include <gtest/gtest.h>
#include <X11/Intrinsic.h>
#include <X11/Shell.h>
#include <X11/StringDefs.h>
#include <X11/Xatom.h>

#include <chrono>

#include "app/context.h"
#include "app/events.h"

namespace {

using Clock = std::chrono::steady_clock;

class EventsTest : public testing::Test {
protected:
    void SetUp() override {
        if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no X display";
        XtToolkitInitialize();
        ctx.appContext = XtCreateApplicationContext();
        int argc = 0;
        ctx.display = XtOpenDisplay(ctx.appContext, nullptr, "events", "Talvix", nullptr, 0, &argc, nullptr);
        ASSERT_NE(ctx.display, nullptr);
        shell = XtVaAppCreateShell("events", "Talvix", applicationShellWidgetClass, ctx.display,
                                   XtNwidth, 10, XtNheight, 10, nullptr);
        XtAddEventHandler(shell, PropertyChangeMask, False, onProperty, &seen);
        XtRealizeWidget(shell);
        XSync(ctx.display, False);
        while (XtAppPending(ctx.appContext)) XtAppProcessEvent(ctx.appContext, XtIMAll);
    }
    void TearDown() override {
        if (ctx.appContext) XtDestroyApplicationContext(ctx.appContext);
    }

    static void onProperty(Widget, XtPointer seen, XEvent*, Boolean*) { *static_cast<bool*>(seen) = true; }

    UnitContext ctx;
    Widget shell = nullptr;
    bool seen = false;
};

TEST_F(EventsTest, CheckIsCheapWhenNothingIsPending) {
    constexpr int kCalls = 2'000'000;
    auto start = Clock::now();
    for (int i = 0; i < kCalls; ++i) TamServeEvents(&ctx);
    auto perCall = std::chrono::duration<double, std::nano>(Clock::now() - start).count() / kCalls;
    EXPECT_LT(perCall, 200.0) << "nanoseconds per call";
}

TEST_F(EventsTest, PendingEventIsServedWhileComputing) {
    // Another connection changes a property of the window, as a window
    // manager or the user's input would.
    Display* other = XOpenDisplay(nullptr);
    ASSERT_NE(other, nullptr);
    long value = 1;
    XChangeProperty(other, XtWindow(shell), XA_WM_NAME, XA_STRING, 8, PropModeReplace,
                    reinterpret_cast<unsigned char*>(&value), 1);
    XSync(other, False);
    auto start = Clock::now();
    while (!seen && Clock::now() - start < std::chrono::seconds(2)) TamServeEvents(&ctx);
    auto waited = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    XCloseDisplay(other);
    EXPECT_TRUE(seen);
    EXPECT_LT(waited, 20.0) << "milliseconds until the event was served";
}

TEST_F(EventsTest, TimeOutWaitsAtLeastItsTime) {
    auto start = Clock::now();
    TamTimeOut(&ctx, 30);
    auto waited = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    EXPECT_GE(waited, 29.0);
    EXPECT_LT(waited, 500.0);
}

}  // namespace
