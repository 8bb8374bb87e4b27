// Cleanup and the exit paths. Whatever way the player ends, no server
// process is left running and no temporary file is left behind. The part
// of that which must also work inside a signal handler (stopping and
// reaping the servers, removing the standard-error file) uses only
// async-signal-safe calls.
#include "app/shutdown.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <initializer_list>

#include "app/context.h"
#include "app/hooks.h"
#include "app/signals.h"
#include "builtins/handlers.h"
#include "core/alloc.h"
#include "lang/parser.h"
#include "net/kivstream.h"
#include "net/url.h"
#include "present/display.h"
#include "present/learnunit.h"

namespace {

UnitContext* cleanupContext = nullptr;

// A server gets half a second to end after SIGTERM before it is killed.
// Both are told at once and looked at every half millisecond: a server
// usually ends within one, and every run of the player waits for them.
constexpr int kServerGraceSteps = 1000;
constexpr long kServerGraceStepNs = 500'000;

bool reaped(pid_t pid) {
    pid_t result;
    do {
        result = waitpid(pid, nullptr, WNOHANG);
    } while (result < 0 && errno == EINTR);
    return result != 0;
}

void stopServers(UnitContext* ctx) {
    pid_t* servers[] = {&ctx->soundServerPid, &ctx->musicServerPid};
    for (pid_t* pid : servers)
        if (*pid > 0) kill(*pid, SIGTERM);
    for (int step = 1;; ++step) {
        bool running = false;
        for (pid_t* pid : servers) {
            if (*pid > 0 && reaped(*pid)) *pid = 0;
            running = running || *pid > 0;
        }
        if (!running) return;
        if (step == kServerGraceSteps) break;
        timespec pause{0, kServerGraceStepNs};
        nanosleep(&pause, nullptr);
    }
    for (pid_t* pid : servers) {
        if (*pid <= 0) continue;
        kill(*pid, SIGKILL);
        while (waitpid(*pid, nullptr, 0) < 0 && errno == EINTR) {
        }
        *pid = 0;
    }
}

void closeServerPipes(UnitContext* ctx) {
    for (int* end : {&ctx->soundPipe[0], &ctx->soundPipe[1], &ctx->musicPipe[0], &ctx->musicPipe[1]}) {
        if (*end >= 0) close(*end);
        *end = -1;
    }
}

void closeDevices(UnitContext* ctx) {
    if (ctx->sequencerFd > 0) close(ctx->sequencerFd);
    if (ctx->audioFd > 0) close(ctx->audioFd);
    ctx->sequencerFd = ctx->audioFd = -1;
}

void removeStderrFile(UnitContext* ctx) {
    if (!ctx->stderrFileName) return;
    unlink(ctx->stderrFileName);
    TamFree(ctx->stderrFileName);
    ctx->stderrFileName = nullptr;
}

void releaseProgramState(UnitContext* ctx) {
    while (ctx->learnUnit) killLearnUnit(ctx);
    if (ctx->reloadStream) KivClose(ctx->reloadStream);
    ctx->reloadStream = nullptr;
    parser_cleanup(ctx);
    TamFree(ctx->libraryDir);
    ctx->libraryDir = nullptr;
    TamFree(ctx->lastProgramURL);
    ctx->lastProgramURL = nullptr;
}

// The default image belongs to the picture code and goes with the display.
void releaseDisplayState(UnitContext* ctx) {
    ctx->images = nullptr;
    ctx->imageCount = 0;
    TamFree(ctx->updateRects);
    ctx->updateRects = nullptr;
    ctx->updateCapacity = ctx->updateUsed = 0;
    closeMainWin(ctx);
}

// The part of the cleanup that is safe inside a signal handler.
void stopServersInHandler() {
    UnitContext* ctx = cleanupContext;
    if (!ctx || !ctx->cleanupPending) return;
    stopServers(ctx);
    if (ctx->stderrFileName) unlink(ctx->stderrFileName);
}

// Decimal digits of a non-negative number, without the C library's
// formatting (not async-signal-safe).
std::size_t appendNumber(char* text, std::size_t at, int number) {
    char digits[12];
    int count = 0;
    do {
        digits[count++] = static_cast<char>('0' + number % 10);
        number /= 10;
    } while (number > 0);
    while (count > 0) text[at++] = digits[--count];
    return at;
}

}  // namespace

void setCleanupContext(UnitContext* ctx) { cleanupContext = ctx; }

void KivCleanup(UnitContext* ctx) {
    if (!ctx) {
        WWWFree();
        return;
    }
    if (!ctx->cleanupPending) return;
    ctx->cleanupPending = 0;
    PlStop(ctx, nullptr);
    SndStop(ctx, nullptr);
    stopServers(ctx);
    closeServerPipes(ctx);
    closeDevices(ctx);
    releaseProgramState(ctx);
    removeStderrFile(ctx);
    releaseDisplayState(ctx);
    kivthor_free(ctx);
    WWWFree();
}

void c_exit(UnitContext* ctx, int status) {
    blockTerminationSignals();
    KivCleanup(ctx);
    std::exit(status);
}

void l_exit(int status) {
    blockTerminationSignals();
    KivCleanup(cleanupContext);
    std::exit(status);
}

void emergencyExit(int status) {
    stopServersInHandler();
    _exit(status);
}

void bibi(int signal) {
    stopServersInHandler();
    char text[64] = "Abnormal termination by signal ";
    std::size_t length = appendNumber(text, std::strlen(text), signal);
    text[length++] = '.';
    text[length++] = '\n';
    [[maybe_unused]] ssize_t ignored = write(STDERR_FILENO, text, length);
    std::abort();
}
