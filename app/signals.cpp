// Signal handlers and the hand-over of termination signals to the event
// loop through a self-pipe, which wakes the toolkit from any blocking wait.
#include "app/signals.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "app/context.h"

namespace signals_detail {
volatile std::sig_atomic_t noted = 0;
}

namespace {

using signals_detail::noted;

constexpr unsigned kGraceSeconds = 2;

volatile std::sig_atomic_t deferring = 0;
int wakePipe[2] = {-1, -1};

void onTermination(int signal) {
    if (deferring && !noted) {
        int savedErrno = errno;
        noted = signal;
        [[maybe_unused]] ssize_t ignored = write(wakePipe[1], "", 1);
        alarm(kGraceSeconds);
        errno = savedErrno;
        return;
    }
    emergencyExit(noted ? noted : signal);
}

void onGraceExpired(int) { emergencyExit(noted); }

// The termination signals and the grace alarm.
void addTerminationSignals(sigset_t* set) {
    for (int signal : kTerminationSignals) sigaddset(set, signal);
    sigaddset(set, SIGALRM);
}

void setHandler(int signal, void (*handler)(int)) {
    struct sigaction action = {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    addTerminationSignals(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(signal, &action, nullptr);
}

void onWake(XtPointer, int* fd, XtInputId*) {
    char buffer[16];
    while (read(*fd, buffer, sizeof buffer) > 0) {
    }
    serviceSignals();
}

}  // namespace

void installSignalHandlers() {
    for (int signal : kTerminationSignals) setHandler(signal, onTermination);
    setHandler(SIGALRM, onGraceExpired);
    setHandler(SIGBUS, bibi);
    // A server that died must not take the player with it when a request
    // is written to its pipe; the write then fails instead.
    std::signal(SIGPIPE, SIG_IGN);
}

void deferSignalsToEventLoop(UnitContext* ctx) {
    if (!ctx->appContext || pipe2(wakePipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    XtAppAddInput(ctx->appContext, wakePipe[0], reinterpret_cast<XtPointer>(XtInputReadMask),
                  onWake, ctx);
    deferring = 1;
}

void blockTerminationSignals(sigset_t* previous) {
    sigset_t set;
    sigemptyset(&set);
    addTerminationSignals(&set);
    sigprocmask(SIG_BLOCK, &set, previous);
}
