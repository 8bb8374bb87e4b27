// From X events to queued input events: key codes and characters, the
// modifier mask with its double-click rule, and the learn unit's event
// queue. Matching and dispatch of queued events live in present/dispatch.cpp.
#include "present/events.h"

#include <X11/keysym.h>

#include <array>
#include <utility>

#include "app/context.h"
#include "core/alloc.h"
#include "core/lists.h"
#include "core/messages.h"

namespace {

constexpr std::pair<KeySym, std::int32_t> kSpecialKeys[] = {
    {XK_Return, KC_RETURN},   {XK_BackSpace, KC_BACKSPACE}, {XK_Delete, KC_DELETE},
    {XK_Escape, KC_ESCAPE},   {XK_Shift_L, KC_SHIFT},       {XK_Shift_R, KC_SHIFT},
    {XK_Control_L, KC_CONTROL}, {XK_Control_R, KC_CONTROL}, {XK_Tab, KC_TAB},
    {XK_Left, KC_LEFT},       {XK_Right, KC_RIGHT},         {XK_Up, KC_UP},
    {XK_Down, KC_DOWN},       {XK_Home, KC_HOME},           {XK_End, KC_END},
    {XK_Prior, KC_PAGEUP},    {XK_Next, KC_PAGEDOWN},       {XK_Insert, KC_INSERT},
    {XK_F1, KC_F1},           {XK_F2, KC_F1 + 1},           {XK_F3, KC_F1 + 2},
    {XK_F4, KC_F1 + 3},       {XK_F5, KC_F1 + 4},           {XK_F6, KC_F1 + 5},
    {XK_F7, KC_F1 + 6},       {XK_F8, KC_F1 + 7},           {XK_F9, KC_F1 + 8},
    {XK_F10, KC_F1 + 9},
};

constexpr std::pair<unsigned int, std::uint8_t> kStateBits[] = {
    {Button1Mask, MM_BUTTON1}, {Button2Mask, MM_BUTTON2}, {Button3Mask, MM_BUTTON3},
    {ControlMask, MM_CTRL},    {ShiftMask, MM_SHIFT},     {Mod1Mask, MM_ALT},
    {Mod3Mask, MM_ALT},
};

constexpr unsigned kLastMouseButton = 3;

void warnUnknownEvent(UnitContext* ctx) {
    errorMsg(ctx, MSG_WARNING, "Warning: Received unknown event. Ignoring.");
}

// Each button remembers its last press, process-wide. A double click
// forgets it again, so that a third quick press starts a new pair.
std::uint8_t doubleClickMask(unsigned button, Time time) {
    static Time lastPress[kLastMouseButton + 1] = {};
    Time& last = lastPress[button];
    if (last != 0 && time - last <= kDoubleClickMs) {
        last = 0;
        return MM_DOUBLE;
    }
    last = time;
    return 0;
}

// The first byte the key gives under the event's state, 0 when none.
std::uint8_t characterOf(XKeyEvent key, KeySym* sym) {
    char buffer[8];
    int count = XLookupString(&key, buffer, sizeof buffer, sym, nullptr);
    return count > 0 ? static_cast<std::uint8_t>(buffer[0]) : 0;
}

// A converter fills the record from the X event; false drops the event.
using Converter = bool (*)(UnitContext* ctx, XEvent* xev, event* ev);

bool convertKey(UnitContext*, XEvent* xev, event* ev) {
    XKeyEvent key = xev->xkey;
    ev->kind = key.type == KeyPress ? EV_KEY_PRESS : EV_KEY_RELEASE;
    ev->x = key.x;
    ev->y = key.y;
    ev->mask = maskOfState(key.state);
    KeySym sym = NoSymbol;
    ev->detail = characterOf(key, &sym);
    key.state = 0;
    std::uint8_t plain = characterOf(key, &sym);
    ev->keycode = keyCodeOfKeysym(sym);
    if (ev->keycode == 0) ev->keycode = plain;
    return true;
}

bool convertButtonPress(UnitContext* ctx, XEvent* xev, event* ev) {
    const XButtonEvent& button = xev->xbutton;
    if (button.button < Button1 || button.button > kLastMouseButton) {
        warnUnknownEvent(ctx);
        return false;
    }
    ev->kind = EV_BUTTON_PRESS;
    ev->detail = static_cast<std::uint8_t>(button.button);
    ev->x = button.x;
    ev->y = button.y;
    ev->mask = maskOfState(button.state) | doubleClickMask(button.button, button.time);
    return true;
}

bool convertButtonRelease(UnitContext*, XEvent* xev, event* ev) {
    const XButtonEvent& button = xev->xbutton;
    ev->kind = EV_BUTTON_RELEASE;
    ev->detail = static_cast<std::uint8_t>(button.button);
    ev->x = button.x;
    ev->y = button.y;
    ev->mask = maskOfState(button.state);
    return true;
}

bool convertMotion(UnitContext* ctx, XEvent* xev, event* ev) {
    const XMotionEvent& motion = xev->xmotion;
    ev->kind = EV_MOTION;
    ev->x = ctx->mouseX = motion.x;
    ev->y = ctx->mouseY = motion.y;
    ev->mask = maskOfState(motion.state);
    return true;
}

bool convertResize(UnitContext*, XEvent*, event* ev) {
    ev->kind = EV_RESIZE;
    return true;
}

constexpr std::array<Converter, LASTEvent> kConverters = [] {
    std::array<Converter, LASTEvent> table{};
    table[KeyPress] = convertKey;
    table[KeyRelease] = convertKey;
    table[ButtonPress] = convertButtonPress;
    table[ButtonRelease] = convertButtonRelease;
    table[MotionNotify] = convertMotion;
    table[ConfigureNotify] = convertResize;
    return table;
}();

Converter converterFor(int type) {
    return type >= 0 && type < LASTEvent ? kConverters[static_cast<std::size_t>(type)] : nullptr;
}

}  // namespace

std::int32_t keyCodeOfKeysym(KeySym sym) {
    for (const auto& [keysym, code] : kSpecialKeys)
        if (keysym == sym) return code;
    return 0;
}

std::uint8_t maskOfState(unsigned int state) {
    std::uint8_t mask = 0;
    for (const auto& [bit, modifier] : kStateBits)
        if (state & bit) mask |= modifier;
    return mask;
}

void Input(UnitContext* ctx, XEvent* xev) {
    if (ctx && ctx->learnUnit) HandleInput(ctx, xev);
}

void HandleInput(UnitContext* ctx, XEvent* xev) {
    LearnUnit* unit = ctx->learnUnit;
    Converter convert = converterFor(xev->type);
    if (!convert) {
        warnUnknownEvent(ctx);
        return;
    }
    if (!unit) return;
    auto* ev = mustNew<event>(ctx);
    if (!convert(ctx, xev, ev)) {
        TamFree(ev);
        return;
    }
    queueEvent(unit, ev);
}

void queueEvent(LearnUnit* unit, event* ev) {
    if (unit->eventCount >= kMaxQueuedEvents) TamFree(takeEvent(unit));
    appendTo(unit->eventHead, unit->eventTail, ev);
    ++unit->eventCount;
    ++unit->eventSerial;
}

event* takeEvent(LearnUnit* unit) {
    event* ev = unit->eventHead;
    if (!ev) return nullptr;
    unit->eventHead = nextOf(ev);
    if (!unit->eventHead) unit->eventTail = nullptr;
    remove_at(ev);
    if (unit->eventCount > 0) --unit->eventCount;
    return ev;
}

void flushEvents(LearnUnit* unit) {
    while (event* ev = takeEvent(unit)) TamFree(ev);
    markEventsSeen(unit);
}

bool hasUnseenEvents(const LearnUnit* unit) { return unit->eventSerial != unit->seenSerial; }

void markEventsSeen(LearnUnit* unit) { unit->seenSerial = unit->eventSerial; }
