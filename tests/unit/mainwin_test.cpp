// Toolkit start-up: options leave the argument vector and land in the
// context, resources come from files and fallbacks, the status line and
// the URL field show what they are given. Parse-only runs need no display.
#include <gtest/gtest.h>
#include <X11/IntrinsicP.h>
#include <X11/StringDefs.h>
#include <X11/Xaw/AsciiText.h>
#include <X11/Xaw/Label.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <unistd.h>

#include "app/context.h"
#include "core/alloc.h"
#include "present/display.h"
#include "present/kivwidget.h"
#include "present/learnunit.h"
#include "present/palette.h"
#include "present/picture.h"
#include "present/shell.h"

namespace {

// Sets an environment variable for one test and restores it afterwards.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old, hadOld_ = true;
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~ScopedEnv() {
        if (hadOld_)
            setenv(name_.c_str(), old_.c_str(), 1);
        else
            unsetenv(name_.c_str());
    }

private:
    std::string name_, old_;
    bool hadOld_ = false;
};

class MainWinTest : public testing::Test {
protected:
    void TearDown() override { closeMainWin(&ctx); }

    // Runs openMainWin on the arguments; returns what it left of them.
    std::vector<std::string> open(std::vector<std::string> args) {
        args.insert(args.begin(), "talvix");
        std::vector<char*> argv;
        for (auto& arg : args) argv.push_back(arg.data());
        argv.push_back(nullptr);
        int argc = static_cast<int>(args.size());
        openMainWin(&ctx, &argc, argv.data());
        return {argv.begin() + 1, argv.begin() + argc};
    }

    std::string label() {
        String text = nullptr;
        XtVaGetValues(ctx.shell->status, XtNlabel, &text, nullptr);
        return text ? text : "";
    }

    UnitContext ctx;
};

TEST_F(MainWinTest, ParseOnlyNeedsNoDisplay) {
    ScopedEnv noDisplay("DISPLAY", nullptr);
    auto rest = open({"-po", "1", "-rd", "7", "-ala", "1", "-alw", "1", "-mb", "0", "-perfect",
                      "-url", "file:///start.kiv", "prog.kiv"});
    EXPECT_EQ(rest, std::vector<std::string>{"prog.kiv"});
    EXPECT_EQ(ctx.parseOnly, 1);
    EXPECT_EQ(ctx.redirectStderr, 7);
    EXPECT_EQ(ctx.allowLocalAccess, 1);
    EXPECT_EQ(ctx.allowLocalWrite, 1);
    EXPECT_EQ(ctx.menuBarOn, 0);
    EXPECT_TRUE(ctx.perfectCols);
    EXPECT_STREQ(ctx.defaultURL, "file:///start.kiv");
    EXPECT_EQ(ctx.appContext, nullptr);
    EXPECT_EQ(ctx.display, nullptr);
}

TEST_F(MainWinTest, ResourceFileAndCommandLine) {
    char name[] = "/tmp/talvix-unit-resources-XXXXXX";
    int fd = mkstemp(name);
    ASSERT_GE(fd, 0);
    std::string lines = "Talvix.DefaultURL: from-file\nTalvix.RedirectStderr: 3\nTalvix.parseOnly: 1\n";
    ASSERT_EQ(write(fd, lines.data(), lines.size()), static_cast<ssize_t>(lines.size()));
    close(fd);
    ScopedEnv file("XENVIRONMENT", name);
    ScopedEnv noDisplay("DISPLAY", nullptr);
    open({"-rd", "5"});
    EXPECT_EQ(ctx.parseOnly, 1);
    EXPECT_EQ(ctx.redirectStderr, 5);
    EXPECT_STREQ(ctx.defaultURL, "from-file");
    EXPECT_EQ(ctx.menuBarOn, 1);
    unlink(name);
}

TEST_F(MainWinTest, DefaultsWithoutAnyResourceFile) {
    ScopedEnv noDisplay("DISPLAY", nullptr);
    ScopedEnv home("HOME", "/nonexistent");
    open({"-po", "1"});
    EXPECT_EQ(ctx.redirectStderr, 0);
    EXPECT_EQ(ctx.menuBarOn, 1);
    EXPECT_FALSE(ctx.perfectCols);
    EXPECT_STREQ(ctx.defaultURL, "Local");
}

TEST_F(MainWinTest, WindowWithStatusLineAndUrlField) {
    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no X display";
    auto rest = open({"-url", "typed-url", "prog.kiv"});
    EXPECT_EQ(rest, std::vector<std::string>{"prog.kiv"});
    ASSERT_NE(ctx.display, nullptr);
    ASSERT_NE(ctx.drawArea, nullptr);
    Dimension width = 0, height = 0;
    XtVaGetValues(ctx.drawArea, XtNwidth, &width, XtNheight, &height, nullptr);
    EXPECT_EQ(width, 640);
    EXPECT_EQ(height, 400);
    EXPECT_EQ(label(), "Status : Initializing...");
    setStatus(&ctx, "Parsing orvex-file");
    EXPECT_EQ(label(), "Status : Parsing orvex-file");

    ASSERT_NE(ctx.shell->urlField, nullptr);
    String url = nullptr;
    XtVaGetValues(ctx.shell->urlField, XtNstring, &url, nullptr);
    EXPECT_STREQ(url, "typed-url");
    setURL(&ctx, "file://localhost/tmp/prog.kiv");
    XtVaGetValues(ctx.shell->urlField, XtNstring, &url, nullptr);
    EXPECT_STREQ(url, "file://localhost/tmp/prog.kiv");
}

TEST_F(MainWinTest, NoUrlFieldWithoutMenuBar) {
    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no X display";
    open({"-mb", "0"});
    ASSERT_NE(ctx.shell, nullptr);
    EXPECT_EQ(ctx.shell->urlField, nullptr);
    setURL(&ctx, "ignored");
    setStatus(&ctx, "Simulation is done");
    EXPECT_EQ(label(), "Status : Simulation is done");
}

TEST_F(MainWinTest, ShellTreeAndDrawingAreaGeometry) {
    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no X display";
    open({});
    for (const char* name : {"main_w.menubar.File", "main_w.menubar.Help", "main_w.url", "main_w.kiv",
                             "main_w.status", "main_w.menubar.File.fileMenu.Print",
                             "main_w.menubar.Help.helpMenu.Acknowledgements"})
        EXPECT_NE(XtNameToWidget(ctx.toplevel, name), nullptr) << name;
    ASSERT_EQ(GetKivWidget(ctx.toplevel), ctx.drawArea);
    EXPECT_EQ(contextOfWidget(ctx.shell->status), &ctx);

    // Without a program the area prefers 640 by 400.
    XtWidgetGeometry request{}, preferred{};
    request.request_mode = CWWidth | CWHeight;
    request.width = 640;
    request.height = 10;
    EXPECT_EQ(XtQueryGeometry(ctx.drawArea, &request, &preferred), XtGeometryYes);
    EXPECT_EQ(preferred.width, 640);
    EXPECT_EQ(preferred.height, 400);
    request.request_mode = CWWidth;
    EXPECT_EQ(XtQueryGeometry(ctx.drawArea, &request, &preferred), XtGeometryNo);
    XtResizeWidget(ctx.drawArea, 300, 200, 0);
    EXPECT_EQ(XtQueryGeometry(ctx.drawArea, &request, &preferred), XtGeometryAlmost);
}

TEST_F(MainWinTest, ExposureCopiesTheScreenImageClippedToTheArea) {
    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no X display";
    open({"-mb", "0"});
    initDrawingResources(&ctx);
    LearnUnit* unit = newLearnUnit(&ctx, 640, 400, 0);
    Window window = XtWindow(ctx.drawArea);
    // The area may still grow to its full size after the first events; the
    // server would then clear what the growth uncovers, after the copies.
    for (int tries = 0; tries < 200; ++tries) {
        XSync(ctx.display, False);
        while (XtAppPending(ctx.appContext)) XtAppProcessEvent(ctx.appContext, XtIMAll);
        XWindowAttributes attributes;
        XGetWindowAttributes(ctx.display, window, &attributes);
        if (attributes.width >= 640 && attributes.height >= 400 && attributes.map_state == IsViewable) break;
        usleep(10000);
    }
    Screen* screen = XtScreen(ctx.drawArea);
    XClearWindow(ctx.display, window);
    GC gc = XCreateGC(ctx.display, unit->screen->pixmap, 0, nullptr);
    XSetForeground(ctx.display, gc, WhitePixelOfScreen(screen));
    XFillRectangle(ctx.display, unit->screen->pixmap, gc, 0, 0, 640, 400);
    XFreeGC(ctx.display, gc);

    // A rectangle reaching out left and above is cut at the area's origin.
    fakeExpose(&ctx, -10, -5, 30, 20);
    auto isWhite = [&](int x, int y) {
        XImage* img = XGetImage(ctx.display, window, x, y, 1, 1, AllPlanes, ZPixmap);
        bool white = XGetPixel(img, 0, 0) == WhitePixelOfScreen(screen);
        XDestroyImage(img);
        return white;
    };
    EXPECT_TRUE(isWhite(0, 0));
    EXPECT_TRUE(isWhite(19, 14));
    EXPECT_FALSE(isWhite(20, 5));
    EXPECT_FALSE(isWhite(5, 15));
    // Beyond the far edges nothing is copied, and nothing fails.
    fakeExpose(&ctx, 630, 390, 100, 100);
    EXPECT_TRUE(isWhite(639, 399));
    killLearnUnit(&ctx);
    TamFree(ctx.updateRects);
}

}  // namespace
