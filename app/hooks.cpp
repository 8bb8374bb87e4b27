// Weak defaults for entry points owned by other subsystems (declared in
// app/hooks.h and net/url.h). Each does the least that keeps the player
// consistent; a subsystem's own definition replaces it at link time, after
// which the default here can be deleted.
#include "app/hooks.h"

#include "app/context.h"
#include "core/alloc.h"
#include "core/lists.h"
#include "core/messages.h"
#include "net/url.h"

#define WEAK __attribute__((weak))

// A learn unit that holds nothing but its place on the stack and its URL.
WEAK LearnUnit* newLearnUnit(UnitContext* ctx, int, int, int) {
    auto* unit = mustNew<LearnUnit>(ctx);
    pushFront(ctx->learnUnit, unit);
    return unit;
}

WEAK void killLearnUnit(UnitContext* ctx) {
    LearnUnit* unit = ctx->learnUnit;
    if (!unit) return;
    unlinkFrom(ctx->learnUnit, unit);
    TamFree(unit->url);
    TamFree(unit);
}

WEAK int readsim(UnitContext*, KivStream*) { return 0; }
WEAK void start_sim(UnitContext*, LearnUnit*) {}

WEAK void initDefImg(UnitContext*) {}
WEAK void freeDefImg(UnitContext*) {}
WEAK void initStipples(UnitContext*) {}
WEAK void initRasters(UnitContext*) {}
WEAK void initDashes(UnitContext*) {}
WEAK void winsysCleanup(UnitContext*) {}
WEAK void kivthor_free(UnitContext*) {}

WEAK void parser_cleanup(UnitContext* ctx) {
    TamFree(ctx->scanFileName);
    ctx->scanFileName = nullptr;
}

WEAK std::int32_t PlStop(UnitContext*, param*) { return 0; }
WEAK std::int32_t SndStop(UnitContext*, param*) { return 0; }
WEAK std::int32_t TamCall(UnitContext*, param*) { return 0; }

WEAK void WWWFree() {}
WEAK void ProcessRequests() {}
WEAK int RemoveMapEntry(UnitContext*, const char*) { return 0; }
