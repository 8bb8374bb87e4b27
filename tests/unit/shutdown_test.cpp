// Cleanup: the servers are stopped and reaped, the standard-error file is
// removed, and a second cleanup releases nothing more.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>

#include "app/context.h"
#include "app/shutdown.h"
#include "core/strings.h"

namespace {

// A stand-in server: blocks forever, optionally deaf to SIGTERM.
pid_t startServer(bool ignoreTerm) {
    pid_t pid = fork();
    if (pid == 0) {
        if (ignoreTerm) std::signal(SIGTERM, SIG_IGN);
        for (;;) pause();
    }
    return pid;
}

bool isReaped(pid_t pid) { return waitpid(pid, nullptr, WNOHANG) < 0 && errno == ECHILD; }

TEST(Cleanup, StopsServersAndRemovesStderrFile) {
    UnitContext ctx;
    ctx.cleanupPending = 1;
    ctx.parseOnly = 1;
    pid_t sound = startServer(false);
    pid_t music = startServer(true);
    ASSERT_GT(sound, 0);
    ASSERT_GT(music, 0);
    usleep(50'000);  // lets the second one install its SIG_IGN
    ctx.soundServerPid = sound;
    ctx.musicServerPid = music;
    char name[] = "/tmp/talvix-unit-stderr-XXXXXX";
    int fd = mkstemp(name);
    ASSERT_GE(fd, 0);
    close(fd);
    ctx.stderrFileName = safestrdup(name);

    KivCleanup(&ctx);
    EXPECT_TRUE(isReaped(sound));
    EXPECT_TRUE(isReaped(music));
    EXPECT_NE(access(name, F_OK), 0);
    EXPECT_EQ(ctx.stderrFileName, nullptr);
    EXPECT_EQ(ctx.cleanupPending, 0);
}

TEST(Cleanup, RunsOnce) {
    UnitContext ctx;
    ctx.cleanupPending = 0;
    pid_t server = startServer(false);
    ctx.soundServerPid = server;
    KivCleanup(&ctx);
    EXPECT_FALSE(isReaped(server));
    kill(server, SIGKILL);
    waitpid(server, nullptr, 0);
}

}  // namespace
