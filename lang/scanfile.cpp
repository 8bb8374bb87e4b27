// The name of the program file being loaded, kept in the unit context for
// messages and freed at cleanup.
#include "app/context.h"
#include "core/alloc.h"
#include "lang/parser.h"

void parser_cleanup(UnitContext* ctx) {
    TamFree(ctx->scanFileName);
    ctx->scanFileName = nullptr;
}

const char* scanFileName(UnitContext* ctx) { return ctx->scanFileName; }
