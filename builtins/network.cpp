// Network and URL builtins: absoluteURL, contentType, post, call, link
// and setAnchor, thin layers over the URL layer.
#include <cstdio>
#include <cstring>
#include <string>

#include "app/context.h"
#include "app/driver.h"
#include "builtins/browser.h"
#include "builtins/handlers.h"
#include "builtins/support.h"
#include "core/messages.h"
#include "core/strings.h"
#include "interp/builtin_frame.h"
#include "lang/include.h"
#include "net/kivstream.h"
#include "net/sandbox.h"
#include "net/url.h"
#include "present/learnunit.h"
#include "present/objects.h"
#include "present/shell.h"
#include "present/update.h"

namespace {

constexpr const char* kProgramType = "application/x-talvix";
constexpr const char* kHtmlType = "text/html";
// Each called program is a learn unit on top of its caller's, with its
// own pictures on the server; a program that calls itself would otherwise
// nest until the server runs out of memory. The count includes the
// program the player started.
constexpr int kMaxNestedPrograms = 32;

int nestedPrograms(UnitContext* ctx) {
    int count = 0;
    for (LearnUnit* unit = ctx->learnUnit; unit; unit = nextOf(unit)) ++count;
    return count;
}

void setScanFileName(UnitContext* ctx, const char* name) {
    TamFree(ctx->scanFileName);
    ctx->scanFileName = safestrdup(name);
}

// The caller's URL is again the base of relative URLs and the name of
// the file being loaded.
void restoreCallerDocument(UnitContext* ctx) {
    if (!ctx->learnUnit) return;
    const char* url = ctx->learnUnit->url;
    NewAnchor(ctx, url, 0);
    setScanFileName(ctx, url);
}

// The caller becomes the current document again and its picture is shown.
void resumeCaller(UnitContext* ctx) {
    restoreCallerDocument(ctx);
    setURL(ctx, ctx->learnUnit->url);
    setStatus(ctx, "Continuing simulation");
    exposeArea(ctx, screenRect(ctx));
}

// Runs the program as a new learn unit above the caller's until it ends.
// The caller then goes on in the run state it had: neither an exit() of
// the called program nor an error that stopped it ends the caller.
void runCalledProgram(UnitContext* ctx, const char* url) {
    KivStream* stream = KivOpen(ctx, url);
    if (!stream) {
        reportUnopenable(ctx, url);
        restoreCallerDocument(ctx);
        return;
    }
    std::uint32_t callerState = ctx->runState;
    start_orvex_unit(ctx, stream, url);
    killLearnUnit(ctx);
    if (ctx->learnUnit) resumeCaller(ctx);
    ctx->runState = callerState & ~RS_BACK;
}

}  // namespace

char* absolute_url(UnitContext* ctx, param* args) {
    param* cursor = args;
    OwnedText base(getTextPar(ctx, cursor, 1, "absoluteURL"));
    OwnedText relative(getTextPar(ctx, cursor, 2, "absoluteURL"));
    if (!base || !relative) return emptyText(ctx);
    checkPars(ctx, cursor, 2, "absoluteURL");
    char* url = AbsoluteURL(base.get(), relative.get());
    return url ? url : emptyText(ctx);
}

char* content_type(UnitContext* ctx, param* args) {
    param* cursor = args;
    OwnedText url(getTextPar(ctx, cursor, 1, "contentType"));
    checkPars(ctx, cursor, 1, "contentType");
    if (!url) return emptyText(ctx);
    return newText(ctx, ContentType(ctx, url.get()));
}

char* Post(UnitContext* ctx, param* args) {
    param* cursor = args;
    OwnedText url(getTextPar(ctx, cursor, 1, "post"));
    OwnedText data(getTextPar(ctx, cursor, 2, "post"));
    checkPars(ctx, cursor, 2, "post");
    if (!url || !data) return emptyText(ctx);
    char* reply = nullptr;
    PostData(ctx, url.get(), data.get(), std::strlen(data.get()), &reply);
    return reply ? reply : emptyText(ctx);
}

void callURL(UnitContext* ctx, const char* url) {
    if (nestedPrograms(ctx) >= kMaxNestedPrograms) {
        std::string message =
            formatMsg("Error: Programs are nested %d deep; not calling %s", kMaxNestedPrograms, url);
        errorMsg(ctx, MSG_ERROR, message.c_str());
        return;
    }
    PlStop(ctx, nullptr);
    SndStop(ctx, nullptr);
    setScanFileName(ctx, url);
    OwnedText canon(canonizedURL(ctx, url));
    if (!canon) return;
    NewAnchor(ctx, canon.get(), 0);
    std::string type = ContentType(ctx, canon.get());
    if (type == kProgramType) {
        runCalledProgram(ctx, canon.get());
        return;
    }
    if (type == kHtmlType) {
        showInBrowser(canon.get());
    } else {
        std::fprintf(stderr, "Unsupported content-type '%s' in call(\"%s\")\n", type.c_str(), canon.get());
        std::fflush(stderr);
    }
    // Relative URLs of the caller stay relative to the caller.
    restoreCallerDocument(ctx);
}

std::int32_t TamCall(UnitContext* ctx, param* args) {
    param* cursor = args;
    OwnedText url(getTextPar(ctx, cursor, 1, "call"));
    checkPars(ctx, cursor, 1, "call");
    if (!url || !mayReadURL(ctx, url.get(), "call local file")) return 0;
    callURL(ctx, url.get());
    return 0;
}

std::int32_t link_url(UnitContext* ctx, param* args) {
    param* cursor = args;
    OwnedText url(getTextPar(ctx, cursor, 1, "link"));
    checkPars(ctx, cursor, 1, "link");
    if (!url) return 0;
    return LinkUrl(ctx, url.get()) ? 1 : 0;
}

std::int32_t SetAnchor(UnitContext* ctx, param* args) {
    param* cursor = args;
    OwnedText url(getTextPar(ctx, cursor, 1, "setAnchor"));
    checkPars(ctx, cursor, 1, "setAnchor");
    NewAnchor(ctx, url.get(), 0);
    setURL(ctx, url.get());
    return 1;
}
