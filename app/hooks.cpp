// Weak defaults for entry points owned by other subsystems (declared in
// app/hooks.h and in their owners' headers). Each does the least that
// keeps the player consistent; a subsystem's own definition replaces it at
// link time, after which the default here can be deleted.
#include "app/hooks.h"

#include "app/context.h"
#include "core/alloc.h"
#include "interp/builtin_frame.h"
#include "interp/simulate.h"
#include "lang/parser.h"
#include "net/url.h"
#include "present/draw.h"
#include "present/palette.h"

#define WEAK __attribute__((weak))

WEAK int readsim(UnitContext*, KivStream*) { return 0; }
WEAK void start_sim(UnitContext*, LearnUnit*) {}

WEAK void kivthor_free(UnitContext*) {}

WEAK void parser_cleanup(UnitContext* ctx) {
    TamFree(ctx->scanFileName);
    ctx->scanFileName = nullptr;
}

WEAK void WWWFree() {}
WEAK void ProcessRequests() {}
WEAK int RemoveMapEntry(UnitContext*, const char*) { return 0; }

// Argument access of builtin handlers; the cleanup's calls of stopPlay and
// stopSound link the builtins' shared helpers, which use these.
WEAK std::int32_t getIntPar(UnitContext*, param*&, int, const char*) { return 0; }
WEAK double getFltPar(UnitContext*, param*&, int, const char*) { return 0.0; }
WEAK char* getTextPar(UnitContext*, param*&, int, const char*) { return nullptr; }
WEAK void checkPars(UnitContext*, param*, int, const char*) {}
