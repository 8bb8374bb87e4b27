// Stream builtins on real local files: permissions, writing, reading,
// single bytes, and the key of the current event.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>

#include "builtin_args.h"
#include "builtins/handlers.h"

namespace {

std::string stderrOf(const std::function<void()>& run) {
    testing::internal::CaptureStderr();
    run();
    return testing::internal::GetCapturedStderr();
}

class Streams : public testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/talvix-streams-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
    }
    void TearDown() override { std::system(("rm -rf " + dir).c_str()); }

    int openFile(UnitContext& ctx, const std::string& url, const char* mode) {
        Args a;
        a.ctx = ctx;
        int fd = url_open(&a.ctx, a.t(url.c_str()).t(mode).head());
        ctx.runState |= a.ctx.runState;
        return fd;
    }
    static std::string contents(const std::string& path) {
        std::ifstream in(path);
        std::stringstream all;
        all << in.rdbuf();
        return all.str();
    }
    std::string dir;
};

const char* kDenied =
    "Warning: Kiv program is trying to open local file for writing. Access to the local filesystem is "
    "disabled in the client.\n";

TEST_F(Streams, WritingNeedsPermission) {
    UnitContext ctx;
    std::string path = dir + "/out.txt";
    EXPECT_EQ(stderrOf([&] { EXPECT_EQ(openFile(ctx, "file://localhost" + path, "w"), -1); }), kDenied);
    ctx.allowLocalWrite = 1;
    EXPECT_EQ(stderrOf([&] { EXPECT_EQ(openFile(ctx, "file://" + path, "rw"), -1); }), kDenied);
    EXPECT_EQ(ctx.runState, 0u);
    ctx.allowLocalAccess = 1;
    int fd = openFile(ctx, "file://" + path, "rw");
    EXPECT_GT(fd, 0);
    close(fd);
    EXPECT_EQ(openFile(ctx, dir + "/missing.txt", "r"), -1);
}

TEST_F(Streams, WriteThenReadBack) {
    UnitContext ctx;
    ctx.allowLocalWrite = 1;
    std::string path = dir + "/data.txt";
    int out = openFile(ctx, "file://" + path, "w");
    ASSERT_GT(out, 0);
    Args w;
    EXPECT_EQ(WriteFD(&w.ctx, w.i(out).t("hello world").i(5).head()), 5);
    Args tooLong;
    EXPECT_EQ(WriteFD(&tooLong.ctx, tooLong.i(out).t("!").i(100).head()), 1);
    Args p;
    EXPECT_EQ(Putc(&p.ctx, p.i(out).i('\n' + 256).head()), 1);
    EXPECT_EQ(contents(path), "hello!\n");

    int in = openFile(ctx, path, "r");
    ASSERT_GT(in, 0);
    Args r;
    r.i(in);
    vinst* buffer = r.textVar("old");
    r.i(3);
    EXPECT_EQ(ReadFD(&r.ctx, r.head()), 3);
    EXPECT_STREQ(buffer->value.t, "hel");
    Args g;
    g.i(in);
    vinst* line = g.textVar(">");
    EXPECT_EQ(Getc(&g.ctx, g.head()), 'l');
    EXPECT_STREQ(line->value.t, ">l");
    Args rest;
    rest.i(in);
    vinst* tail = rest.textVar("");
    rest.i(1000000);
    EXPECT_EQ(ReadFD(&rest.ctx, rest.head()), 3);
    EXPECT_STREQ(tail->value.t, "o!\n");
    Args atEnd;
    atEnd.i(in);
    vinst* unchanged = atEnd.textVar("keep");
    atEnd.i(10);
    EXPECT_EQ(ReadFD(&atEnd.ctx, atEnd.head()), -1);
    EXPECT_STREQ(unchanged->value.t, "keep");
    Args eof;
    EXPECT_EQ(Getc(&eof.ctx, eof.i(in).head()), -1);
    Args closing;
    EXPECT_EQ(url_close(&closing.ctx, closing.i(in).head()), 1);
    close(in);
    close(out);
}

TEST_F(Streams, BadDescriptors) {
    Args negative;
    EXPECT_EQ(stderrOf([&] { EXPECT_EQ(Putc(&negative.ctx, negative.i(-1).i(65).head()), -1); }),
              "Error: Can't open file with negative file descriptor(-1).\n");
    EXPECT_TRUE(negative.ctx.runState & RS_STOP);
    Args zero;
    EXPECT_EQ(stderrOf([&] { EXPECT_EQ(Putc(&zero.ctx, zero.i(0).i(65).head()), -1); }), "");
    Args readZero;
    readZero.i(0);
    readZero.textVar("");
    readZero.i(1);
    EXPECT_EQ(stderrOf([&] { EXPECT_EQ(ReadFD(&readZero.ctx, readZero.head()), -1); }),
              "Error: Can't open file with negative file descriptor(0).\n");
    Args notOpened;
    EXPECT_EQ(WriteFD(&notOpened.ctx, notOpened.i(1000).t("x").i(1).head()), -1);
    Args extra;
    extra.i(1000);
    extra.textVar("");
    extra.i(1).i(2);
    EXPECT_EQ(stderrOf([&] { ReadFD(&extra.ctx, extra.head()); }),
              "Line 7: more than 2 args in function read. Ignoring redundant.\n");
}

TEST_F(Streams, KeyOfTheCurrentEvent) {
    Args outside;
    EXPECT_EQ(Getc(&outside.ctx, outside.i(0).head()), -1);
    EXPECT_EQ(get_char(&outside.ctx, nullptr), 0);

    event key;
    key.kind = EV_KEY_PRESS;
    key.detail = 8;
    Args backspace;
    backspace.ctx.learnUnit->currentEvent = &key;
    vinst* line = backspace.textVar("ab");
    EXPECT_EQ(get_char(&backspace.ctx, backspace.head()), 8);
    EXPECT_STREQ(line->value.t, "a");
    Args empty;
    empty.ctx.learnUnit->currentEvent = &key;
    vinst* nothing = empty.textVar("");
    EXPECT_EQ(get_char(&empty.ctx, empty.head()), 8);
    EXPECT_STREQ(nothing->value.t, "");

    key.detail = 0xe9;
    Args high;
    high.ctx.learnUnit->currentEvent = &key;
    high.i(0);
    vinst* typed = high.textVar("x");
    EXPECT_EQ(Getc(&high.ctx, high.head()), -23);
    EXPECT_STREQ(typed->value.t, "x\xe9");

    event click;
    click.kind = EV_BUTTON_PRESS;
    Args button;
    button.ctx.learnUnit->currentEvent = &click;
    EXPECT_EQ(get_char(&button.ctx, nullptr), 0);
}

}  // namespace
