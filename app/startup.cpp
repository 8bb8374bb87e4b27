// Start-up: creates the unit context and runs the program named on the
// command line.
#include "app/startup.h"

#include "app/context.h"
#include "app/shutdown.h"
#include "core/messages.h"

int talvixMain(int, char**) {
    auto* ctx = static_cast<UnitContext*>(mustAlloc(nullptr, sizeof(UnitContext)));
    new (ctx) UnitContext();
    setCleanupContext(ctx);
    ctx->cleanupPending = 1;
    c_exit(ctx, 0);
}
