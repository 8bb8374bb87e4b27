// System builtins that need neither the display nor the sound servers:
// program time, the random generator, exit, eval, and the
// variable clamps limVarLow and limVarHigh.
#include "builtins/system.h"

#include <sys/time.h>

#include <cstdlib>
#include <ctime>

#include "app/context.h"
#include "builtins/handlers.h"
#include "builtins/support.h"
#include "core/messages.h"
#include "interp/builtin_frame.h"
#include "interp/instantiate.h"
#include "interp/release.h"
#include "interp/simulate.h"
#include "lang/parser.h"
#include "present/objects.h"

std::uint32_t millitime(UnitContext* ctx) {
    timeval now{};
    if (gettimeofday(&now, nullptr) != 0) {
        errorMsg(ctx, MSG_ERROR, "Error: system call gettimeofday failed.");
        return 0xffffffffu;
    }
    return static_cast<std::uint32_t>(now.tv_sec) * 1000u + static_cast<std::uint32_t>(now.tv_usec / 1000);
}

std::int32_t elapsedMillis(UnitContext* ctx) {
    std::uint32_t start = ctx->learnUnit ? static_cast<std::uint32_t>(ctx->learnUnit->startTime) : 0;
    return static_cast<std::int32_t>(millitime(ctx) - start);
}

namespace {

void takeNoArguments(UnitContext* ctx, param* args, const char* name) { checkPars(ctx, args, 0, name); }

}  // namespace

std::int32_t sim_time(UnitContext* ctx, param* args) {
    takeNoArguments(ctx, args, "elapsedTime");
    return elapsedMillis(ctx);
}

std::int32_t set_start_time(UnitContext* ctx, param* args) {
    takeNoArguments(ctx, args, "startTime");
    if (ctx->learnUnit) ctx->learnUnit->startTime = millitime(ctx);
    return 0;
}

std::int32_t UnixTime(UnitContext* ctx, param* args) {
    takeNoArguments(ctx, args, "time");
    return static_cast<std::int32_t>(std::time(nullptr));
}

std::int32_t init_random(UnitContext* ctx, param* args) {
    param* cursor = args;
    std::int32_t seed = getIntPar(ctx, cursor, 1, "initRandom");
    checkPars(ctx, cursor, 1, "initRandom");
    srandom(static_cast<unsigned>(seed));
    return 1;
}

std::int32_t get_random(UnitContext* ctx, param* args) {
    param* cursor = args;
    std::int32_t low = getIntPar(ctx, cursor, 1, "random");
    std::int32_t high = getIntPar(ctx, cursor, 2, "random");
    checkPars(ctx, cursor, 2, "random");
    std::int64_t span = std::int64_t{high} - low;
    if (span < 1) return low;
    return static_cast<std::int32_t>(low + random() % (span + 1));
}

std::int32_t Sexit(UnitContext* ctx, param* args) {
    param* cursor = args;
    std::int32_t value = args ? getIntPar(ctx, cursor, 1, "exit") : 0;
    ctx->runState |= RS_BACK;
    return value;
}

// Parses the text as one statement in the scope of the running call and
// runs it there. Object declarations of the statement are left alive with
// it: objects it created may still refer to them.
std::int32_t EvalStatement(UnitContext* ctx, param* args) {
    param* cursor = args;
    OwnedText statement(getTextPar(ctx, cursor, 1, "eval"));
    checkPars(ctx, cursor, 1, "eval");
    if (!statement || halted(ctx) || !ctx->learnUnit) return 0;
    simaction* parsed = parse_statement(ctx, statement.get());
    if (!parsed) return 0;
    simaction* running = i_simactions(ctx, parsed, ctx->learnUnit->currentFrame);
    simulate(ctx, running);
    f_simulate(ctx, running, 0);
    f_simulate(ctx, parsed, 0);
    return 1;
}

namespace {

// Clamps every variable after the bound; tooLow decides the direction.
// Returns 0 after a text argument, which ends the walk.
std::int32_t clampVariables(UnitContext* ctx, param* args, bool raise, const char* typeError) {
    if (!args) return 0;
    int boundType = par_type(ctx, args);
    if (boundType != VT_INT && boundType != VT_FLOAT) {
        errorMsg(ctx, MSG_ERROR, typeError);
        return 0;
    }
    double bound = f_par_value(ctx, args);
    for (param* node = nextOf(args); node; node = nextOf(node)) {
        int type = par_type(ctx, node);
        if (type != VT_INT && type != VT_FLOAT) {
            errorMsg(ctx, MSG_ERROR, typeError);
            return 0;
        }
        double value = type == VT_INT ? par_value(ctx, node) : f_par_value(ctx, node);
        if (raise ? !(value < bound) : !(value > bound)) continue;
        if (type == VT_INT) set_par_value(ctx, node, truncTowardZero(bound));
        else f_set_par_value(ctx, node, bound);
    }
    return 1;
}

}  // namespace

std::int32_t lower_limit(UnitContext* ctx, param* args) {
    return clampVariables(ctx, args, true, "Error: Unknown parameter type in LimVarLow.");
}

std::int32_t upper_limit(UnitContext* ctx, param* args) {
    return clampVariables(ctx, args, false, "Error: Unknown parameter type in LimVarHig.");
}
