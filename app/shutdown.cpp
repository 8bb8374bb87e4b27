// Cleanup and the exit paths. Signal handlers reach the context through a
// process-wide pointer because a handler receives nothing else.
#include "app/shutdown.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

#include "app/context.h"

namespace {
UnitContext* cleanupContext = nullptr;
}

void setCleanupContext(UnitContext* ctx) { cleanupContext = ctx; }

void KivCleanup(UnitContext* ctx) {
    if (!ctx || !ctx->cleanupPending) return;
    ctx->cleanupPending = 0;
}

void c_exit(UnitContext* ctx, int status) {
    KivCleanup(ctx);
    std::exit(status);
}

void l_exit(int status) {
    KivCleanup(cleanupContext);
    std::_Exit(status);
}

void bibi(int signal) {
    KivCleanup(nullptr);
    std::fprintf(stderr, "Abnormal termination by signal %d.\n", signal);
    std::abort();
}
