// Decides from the origin of the running program what it may do with
// local files. The decision is made here and only here; the builtins and
// the include code only say what they are about to do.
#include "net/sandbox.h"

#include <cctype>
#include <string>

#include "app/context.h"
#include "core/alloc.h"
#include "core/messages.h"
#include "net/url.h"
#include "present/objects.h"

namespace {

void refuse(UnitContext* ctx, const char* what) {
    errorMsg(ctx, MSG_WARNING,
             formatMsg("Warning: Kiv program is trying to %s. Access to the local filesystem is disabled in "
                       "the client.",
                       what)
                 .c_str());
}

// A scheme is a letter followed by letters, digits, '+', '-' or '.',
// closed by ':'.
bool hasScheme(const char* url) {
    if (!std::isalpha(static_cast<unsigned char>(url[0]))) return false;
    for (const char* c = url + 1; *c; ++c) {
        if (*c == ':') return true;
        if (!std::isalnum(static_cast<unsigned char>(*c)) && *c != '+' && *c != '-' && *c != '.') return false;
    }
    return false;
}

}  // namespace

bool urlIsLocal(const char* url) { return url && (isFileURL(url) || !hasScheme(url)); }

// A unit without a URL was not loaded from anywhere: the player made it.
bool programIsLocal(const UnitContext* ctx) {
    const LearnUnit* unit = ctx->learnUnit;
    if (!unit || !unit->url) return true;
    return urlIsLocal(unit->url);
}

bool mayReadLocal(UnitContext* ctx, const char* what) {
    if (programIsLocal(ctx) || ctx->allowLocalAccess) return true;
    refuse(ctx, what);
    return false;
}

bool mayWriteLocal(UnitContext* ctx, const char* what) {
    if (ctx->allowLocalWrite) return true;
    refuse(ctx, what);
    return false;
}

bool mayReadWriteLocal(UnitContext* ctx, const char* what) {
    if (ctx->allowLocalAccess && ctx->allowLocalWrite) return true;
    refuse(ctx, what);
    return false;
}

bool mayReadURL(UnitContext* ctx, const char* url, const char* what) {
    if (!url || programIsLocal(ctx) || ctx->allowLocalAccess) return true;
    char* canonical = simplifyURL(ctx, url);
    bool local = !canonical || isFileURL(canonical);
    TamFree(canonical);
    if (!local) return true;
    refuse(ctx, what);
    return false;
}
