// Stream builtins on real local files: who may open what, and which
// descriptors a program can reach.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <functional>

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

// Written files are data: read-write for whom the umask allows, never
// executable; and their descriptors do not reach programs the player starts.
TEST_F(Streams, WrittenFilesAreDataAndCloseOnExec) {
    UnitContext ctx;
    ctx.allowLocalWrite = 1;
    std::string path = dir + "/data.txt";
    mode_t old = umask(022);
    int fd = openFile(ctx, "file://" + path, "w");
    umask(old);
    ASSERT_GT(fd, 0);
    EXPECT_NE(fcntl(fd, F_GETFD) & FD_CLOEXEC, 0);
    close(fd);
    struct stat info;
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0644u);
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

}  // namespace
