// The control records: if, while, for and switch. Each evaluates its
// condition or switch value and runs the statement lists hung on the
// record through the statement interpreter.
#include "interp/control.h"

#include <string>

#include "app/context.h"
#include "core/alloc.h"
#include "core/messages.h"
#include "interp/eval.h"
#include "interp/numeric.h"
#include "interp/simulate.h"

namespace {

// A missing condition is true; one that is neither int nor float is
// reported and counts as true.
bool condition(UnitContext* ctx, op* cond) {
    if (!cond) return true;
    switch (cond->valtype) {
    case VT_INT:
        return calculate(ctx, cond) != 0;
    case VT_FLOAT:
        return f_calculate(ctx, cond) != 0.0;
    default:
        errorMsg(ctx, MSG_ERROR, formatMsg("Internal error: eval_condition op->flag '%d'", cond->flag).c_str());
        return true;
    }
}

struct SwitchValue {
    std::uint8_t type;
    std::int32_t i;
    double f;
    std::string text;
};

SwitchValue switchValue(UnitContext* ctx, op* expr) {
    SwitchValue value{};
    value.type = expr ? expr->valtype : std::uint8_t(VT_FLOAT);
    if (value.type == VT_INT) {
        value.i = calculate(ctx, expr);
    } else if (value.type == VT_TEXT) {
        char* text = t_calc_dup(ctx, expr);
        if (text) value.text = text;
        TamFree(text);
    } else {
        value.type = VT_FLOAT;
        value.f = f_calculate(ctx, expr);
    }
    return value;
}

// Texts match texts only, numbers numbers only.
bool caseMatches(UnitContext* ctx, const SwitchValue& value, op* label) {
    if (!label) return false;
    bool textLabel = label->valtype == VT_TEXT;
    if (textLabel != (value.type == VT_TEXT)) return false;
    if (textLabel) {
        char* text = t_calc_dup(ctx, label);
        bool same = value.text == (text ? text : "");
        TamFree(text);
        return same;
    }
    bool isInt = value.type == VT_INT;
    if (label->valtype == VT_INT) {
        std::int32_t c = calculate(ctx, label);
        return isInt ? c == value.i : c == truncTowardZero(value.f);
    }
    if (label->valtype == VT_FLOAT) {
        double c = f_calculate(ctx, label);
        return isInt ? c == static_cast<double>(value.i) : c == value.f;
    }
    return false;
}

}  // namespace

void IF(UnitContext* ctx, simaction* control) {
    bool taken = condition(ctx, control->cond);
    if (halted(ctx)) return;
    simulate(ctx, taken ? control->nested : nextOf(control));
}

void WHILE(UnitContext* ctx, simaction* control) {
    while (!halted(ctx) && condition(ctx, control->cond)) simulate(ctx, control->nested);
}

// The parser put the initialisation before the loop and the step at the
// end of the body.
void FOR(UnitContext* ctx, simaction* control) {
    if (!condition(ctx, control->cond)) return;
    do {
        simulate(ctx, control->nested);
    } while (!halted(ctx) && condition(ctx, control->cond));
}

// The first case whose label equals the switch value runs, else the
// default branch; there is no fall-through.
void SWITCH(UnitContext* ctx, simaction* control) {
    SwitchValue value = switchValue(ctx, control->cond);
    simaction* fallback = nullptr;
    for (simaction* c = nextOf(control); c; c = nextOf(c)) {
        if (halted(ctx)) return;
        if (c->isDefault) {
            if (!fallback) fallback = c;
            continue;
        }
        if (caseMatches(ctx, value, c->cond)) {
            simulate(ctx, c->nested);
            return;
        }
    }
    if (fallback && !halted(ctx)) simulate(ctx, fallback->nested);
}
