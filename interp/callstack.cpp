// A program runs on a thread whose only purpose is a large stack: the
// calling thread waits for it, so there is still one thread of control and
// the toolkit and the display are never used from two threads at once.
#include "interp/callstack.h"

#include <pthread.h>
#include <signal.h>

#include <cstddef>
#include <cstdint>
#include <initializer_list>

namespace {

// Address space only; pages are committed as the recursion touches them.
constexpr std::size_t kInterpreterStack = std::size_t{512} << 20;
// Room kept below the last program call for builtins, the toolkit and
// the sanitizers' own use of the stack.
constexpr std::uintptr_t kReserve = std::uintptr_t{2} << 20;

thread_local bool onInterpreterStack = false;
thread_local std::uintptr_t stackLow = 0;

std::uintptr_t lowestAddress() {
    if (stackLow) return stackLow;
    stackLow = 1;
    pthread_attr_t attr;
    if (pthread_getattr_np(pthread_self(), &attr) == 0) {
        void* address = nullptr;
        std::size_t size = 0;
        if (pthread_attr_getstack(&attr, &address, &size) == 0 && address)
            stackLow = reinterpret_cast<std::uintptr_t>(address);
        pthread_attr_destroy(&attr);
    }
    return stackLow;
}

struct Job {
    void (*body)(void*);
    void* arg;
};

void* runJob(void* data) {
    onInterpreterStack = true;
    auto* job = static_cast<Job*>(data);
    job->body(job->arg);
    return nullptr;
}

}  // namespace

void runOnInterpreterStack(void (*body)(void*), void* arg) {
    if (onInterpreterStack) {
        body(arg);
        return;
    }
    Job job{body, arg};
    pthread_attr_t attr;
    pthread_t thread;
    bool started = pthread_attr_init(&attr) == 0 && pthread_attr_setstacksize(&attr, kInterpreterStack) == 0 &&
                   pthread_create(&thread, &attr, runJob, &job) == 0;
    pthread_attr_destroy(&attr);
    if (!started) {
        body(arg);
        return;
    }
    // Termination signals must reach the thread that runs the program: a
    // handler running here while that thread is inside the cleanup would
    // end the process before the cleanup is done, and blocking signals
    // during the cleanup only holds them back from the thread that blocks.
    sigset_t termination, previous;
    sigemptyset(&termination);
    for (int signal : {SIGINT, SIGTERM, SIGALRM}) sigaddset(&termination, signal);
    pthread_sigmask(SIG_BLOCK, &termination, &previous);
    pthread_join(thread, nullptr);
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
}

namespace callstack {

constinit thread_local std::uintptr_t stackFloor = 0;

std::uintptr_t computeFloor() {
    std::uintptr_t low = lowestAddress();
    // Without a known stack the test never fires.
    stackFloor = low > 1 ? low + kReserve : 1;
    return stackFloor;
}

}  // namespace callstack
