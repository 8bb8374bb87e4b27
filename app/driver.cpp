// The run driver: parse a program into a new learn unit, run it, and start
// over when the shell asked for a reload meanwhile. The shell acts on a
// running program only through the run-state word and the pending reload
// stream, because its callbacks run nested inside the interpreter.
#include "app/driver.h"

#include <cstring>
#include <string>

#include "app/context.h"
#include "builtins/handlers.h"
#include "interp/simulate.h"
#include "lang/parser.h"
#include "present/learnunit.h"
#include "app/shutdown.h"
#include "core/alloc.h"
#include "core/messages.h"
#include "core/strings.h"
#include "net/url.h"
#include "present/shell.h"

namespace {

constexpr int kUnitWidth = 640;
constexpr int kUnitHeight = 400;
constexpr int kBlack = 0x000000;
constexpr std::size_t kSourceChunk = 2048;

void showStatus(UnitContext* ctx, const char* text) {
    if (!ctx->parseOnly) setStatus(ctx, text);
}

void rememberProgram(UnitContext* ctx, const char* url) {
    char* copy = safestrdup(url);
    TamFree(ctx->lastProgramURL);
    ctx->lastProgramURL = copy;
}

void parseProgram(UnitContext* ctx, KivStream* stream, const char* url) {
    LearnUnit* unit = newLearnUnit(ctx, kUnitWidth, kUnitHeight, kBlack);
    unit->url = safestrdup(url);
    if (!nextOf(unit)) rememberProgram(ctx, url);
    showStatus(ctx, "Parsing orvex-file");
    ctx->runState = 0;
    readsim(ctx, stream);
    KivClose(stream);
}

// After a run that a reload interrupted: the stream to parse next, or null
// when the program could not be opened again (the run then simply ends,
// and says so only now, so that the end of the run does not hide it).
KivStream* takeReloadStream(UnitContext* ctx) {
    KivStream* stream = ctx->reloadStream;
    ctx->reloadStream = nullptr;
    if (stream) {
        killLearnUnit(ctx);
    } else {
        ctx->runState &= ~(RS_RELOAD | RS_RESTART);
        reportUnopenable(ctx, ctx->learnUnit->url);
    }
    return stream;
}

}  // namespace

int start_orvex_unit(UnitContext* ctx, KivStream* stream, const char* url) {
    for (bool firstPass = true;; firstPass = false) {
        if (firstPass || (ctx->runState & RS_RELOAD)) {
            parseProgram(ctx, stream, url);
            if (ctx->parseOnly) c_exit(ctx, 0);
        }
        showStatus(ctx, "Starting simulation");
        start_sim(ctx, ctx->learnUnit);
        showStatus(ctx, "Simulation is done");
        if (ctx->runState & RS_RELOAD) stream = takeReloadStream(ctx);
        if (!(ctx->runState & RS_RESTART)) return 0;
    }
}

void reportUnopenable(UnitContext* ctx, const char* name) {
    std::string message = formatMsg("Could not open %s.", name ? name : "");
    userMsg(message.c_str());
    showStatus(ctx, message.c_str());
}

void reload(UnitContext* ctx) {
    LearnUnit* unit = ctx->learnUnit;
    const char* current = unit ? unit->url : ctx->lastProgramURL;
    if (!current) return;
    bool wasIdle = !unit || ctx->runState == RS_IDLE;
    ctx->runState |= RS_RELOAD | RS_RESTART;
    char* url = safestrdup(current);
    RemoveMapEntry(ctx, url);
    KivStream* stream = KivOpen(ctx, url);
    if (wasIdle) {
        if (stream) {
            setURL(ctx, url);
            start_orvex_unit(ctx, stream, url);
            killLearnUnit(ctx);
        } else {
            reportUnopenable(ctx, url);
        }
        ctx->runState = RS_IDLE;
    } else {
        if (ctx->reloadStream) KivClose(ctx->reloadStream);
        ctx->reloadStream = stream;
    }
    TamFree(url);
}

void back(UnitContext* ctx) { ctx->runState |= RS_BACK; }

void goto_url(UnitContext* ctx, const char* url) {
    ctx->urlFieldHasFocus = false;
    callURL(ctx, url);
}

char* get_source(UnitContext* ctx) {
    LearnUnit* unit = ctx->learnUnit;
    if (!unit) return safestrdup("No Kiv file is loaded.\n");
    KivStream* stream = KivOpen(ctx, unit->url);
    if (!stream) return nullptr;
    std::size_t size = kSourceChunk + 1;
    auto* text = static_cast<char*>(TamMalloc(size));
    std::size_t used = 0;
    for (;;) {
        if (!text) outOfMemory(ctx);
        std::size_t got = KivRead(stream, text + used, kSourceChunk);
        used += got;
        if (got < kSourceChunk) break;
        size = used + kSourceChunk + 1;
        text = static_cast<char*>(TamRealloc(text, size));
    }
    text[used] = '\0';
    KivClose(stream);
    return text;
}
