// The run driver with a real window, parser and interpreter: a reload or
// Back from the shell while a program waits, a reload while idle, and the
// status line on the way. The shell's commands are simulated by toolkit
// timers, which run nested inside the program's wait as the shell's
// callbacks do.
#include <gtest/gtest.h>
#include <X11/StringDefs.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <string>

#include "app/context.h"
#include "app/driver.h"
#include "app/shutdown.h"
#include "net/kivstream.h"
#include "net/url.h"
#include "present/display.h"
#include "present/learnunit.h"
#include "present/shell.h"

namespace {

using Clock = std::chrono::steady_clock;

// A program that writes its tag to a file of that name and then waits.
std::string program(const std::string& dir, const std::string& tag, int waitMs) {
    return "int main()\n{\n    int out;\n    out = open(\"file://" + dir + "/" + tag + "\", \"w\");\n" +
           "    write(out, \"" + tag + "\", " + std::to_string(tag.size()) + ");\n" +
           "    wait(" + std::to_string(waitMs) + ");\n}\n";
}

class DriverTest : public testing::Test {
public:
    void SetUp() override {
        if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no X display";
        char dirName[] = "/tmp/talvix-driver-XXXXXX";
        ASSERT_NE(mkdtemp(dirName), nullptr);
        dir = dirName;
        source = dir + "/prog.kiv";
        std::string arg0 = "talvix";
        char* argv[] = {arg0.data(), nullptr};
        int argc = 1;
        openMainWin(&ctx, &argc, argv);
        ASSERT_NE(ctx.appContext, nullptr);
        ctx.allowLocalWrite = 1;
        ctx.cleanupPending = 1;
        url = canonizedURL(&ctx, source.c_str());
    }
    void TearDown() override {
        if (!ctx.cleanupPending) return;
        KivCleanup(&ctx);
        std::free(url);
        for (const char* name : {"prog.kiv", "first", "second"}) unlink((dir + "/" + name).c_str());
        rmdir(dir.c_str());
    }

    void writeSource(const std::string& text) { std::ofstream(source) << text; }

    std::string contents(const std::string& name) {
        std::ifstream in(dir + "/" + name);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    double runForSeconds() {
        auto start = Clock::now();
        start_orvex_unit(&ctx, KivOpen(&ctx, url), url);
        return std::chrono::duration<double>(Clock::now() - start).count();
    }

    std::string status() {
        String text = nullptr;
        XtVaGetValues(ctx.shell->status, XtNlabel, &text, nullptr);
        return text ? text : "";
    }

    // After the delay, the shell command runs on the test's context.
    void after(unsigned long ms, void (*command)(DriverTest*)) {
        pending = command;
        XtAppAddTimeOut(ctx.appContext, ms, [](XtPointer self, XtIntervalId*) {
            auto* test = static_cast<DriverTest*>(self);
            test->pending(test);
        }, this);
    }

    UnitContext ctx;
    std::string dir, source;
    char* url = nullptr;
    void (*pending)(DriverTest*) = nullptr;
};

TEST_F(DriverTest, ReloadWhileWaitingRestartsOnTheNewSource) {
    writeSource(program(dir, "first", 20000));
    after(300, [](DriverTest* t) {
        t->writeSource(program(t->dir, "second", 0));
        reload(&t->ctx);
    });
    EXPECT_LT(runForSeconds(), 10.0);
    EXPECT_EQ(contents("first"), "first");
    EXPECT_EQ(contents("second"), "second");
    EXPECT_EQ(ctx.runState & (RS_RELOAD | RS_RESTART), 0u);
    ASSERT_NE(ctx.learnUnit, nullptr);
    EXPECT_EQ(nextOf(ctx.learnUnit), nullptr) << "the first run's unit was not destroyed";
    EXPECT_EQ(status(), "Status : Simulation is done");
}

TEST_F(DriverTest, ReloadOfAMissingFileEndsTheRun) {
    writeSource(program(dir, "first", 20000));
    after(300, [](DriverTest* t) {
        unlink(t->source.c_str());
        reload(&t->ctx);
    });
    testing::internal::CaptureStderr();
    EXPECT_LT(runForSeconds(), 10.0);
    std::string message = "Could not open " + std::string(url) + ".";
    EXPECT_EQ(testing::internal::GetCapturedStderr(), message + "\n");
    EXPECT_EQ(status(), "Status : " + message);
    EXPECT_EQ(contents("first"), "first");
    EXPECT_EQ(ctx.runState & (RS_RELOAD | RS_RESTART), 0u);
    ASSERT_NE(ctx.learnUnit, nullptr) << "the caller destroys the unit it ran";
    killLearnUnit(&ctx);
    EXPECT_EQ(ctx.learnUnit, nullptr);
}

TEST_F(DriverTest, BackAbortsTheProgram) {
    writeSource(program(dir, "first", 20000));
    after(300, [](DriverTest* t) { back(&t->ctx); });
    EXPECT_LT(runForSeconds(), 10.0);
    EXPECT_NE(ctx.runState & RS_BACK, 0u);
    EXPECT_EQ(contents("second"), "");
}

TEST_F(DriverTest, ReloadWhileIdleRunsTheProgramAgain) {
    writeSource(program(dir, "first", 0));
    runForSeconds();
    ctx.runState = RS_IDLE;
    writeSource(program(dir, "second", 0));
    reload(&ctx);
    EXPECT_EQ(contents("second"), "second");
    EXPECT_EQ(ctx.runState, static_cast<std::uint32_t>(RS_IDLE));
    ASSERT_NE(ctx.learnUnit, nullptr);
    EXPECT_EQ(nextOf(ctx.learnUnit), nullptr) << "the reloaded unit was not destroyed";
}

// Once its unit is gone (main returned, or Back), Reload starts the last
// program again, and says so when it has disappeared meanwhile.
TEST_F(DriverTest, ReloadAfterTheProgramEnded) {
    writeSource(program(dir, "first", 0));
    runForSeconds();
    killLearnUnit(&ctx);
    ctx.runState = RS_IDLE;
    writeSource(program(dir, "second", 0));
    reload(&ctx);
    EXPECT_EQ(contents("second"), "second");
    EXPECT_EQ(ctx.learnUnit, nullptr);
    EXPECT_EQ(ctx.runState, static_cast<std::uint32_t>(RS_IDLE));

    unlink(source.c_str());
    testing::internal::CaptureStderr();
    reload(&ctx);
    std::string message = "Could not open " + std::string(url) + ".";
    EXPECT_EQ(testing::internal::GetCapturedStderr(), message + "\n");
    EXPECT_EQ(status(), "Status : " + message);
    EXPECT_EQ(ctx.learnUnit, nullptr);
    EXPECT_EQ(ctx.runState, static_cast<std::uint32_t>(RS_IDLE));
}

}  // namespace
