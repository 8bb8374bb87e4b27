// Weak defaults for entry points owned by other subsystems (declared in
// app/hooks.h and in their owners' headers). Each does the least that
// keeps the player consistent; a subsystem's own definition replaces it at
// link time, after which the default here can be deleted.
#include "app/hooks.h"

#include "app/context.h"
#include "core/alloc.h"
#include "lang/parser.h"
#include "net/url.h"

#define WEAK __attribute__((weak))

WEAK int readsim(UnitContext*, KivStream*) { return 0; }

WEAK void kivthor_free(UnitContext*) {}

WEAK void parser_cleanup(UnitContext* ctx) {
    TamFree(ctx->scanFileName);
    ctx->scanFileName = nullptr;
}

WEAK void WWWFree() {}
WEAK void ProcessRequests() {}
WEAK int RemoveMapEntry(UnitContext*, const char*) { return 0; }
