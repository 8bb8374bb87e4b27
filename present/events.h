// Input events: X events of the drawing area become input events queued on
// the current learn unit; the input builtin later offers each queued event
// to the input areas, front level first, and runs the statements of the
// first translation whose pattern fits. Patterns are the same records,
// filled by the parser from the words of a translation.
#pragma once
#include <X11/Intrinsic.h>

#include <cstdint>

#include "present/objects.h"

struct UnitContext;

// Key codes of the keys that give no printable character; any other key
// is coded by the character it gives without modifiers.
enum KeyCodeId : std::int32_t {
    KC_RETURN = 1,
    KC_BACKSPACE = 2,
    KC_DELETE = 3,
    KC_ESCAPE = 4,
    KC_SHIFT = 5,
    KC_CONTROL = 6,
    KC_TAB = 7,
    KC_LEFT = 8,
    KC_RIGHT = 9,
    KC_UP = 10,
    KC_DOWN = 11,
    KC_HOME = 12,
    KC_END = 13,
    KC_PAGEUP = 14,
    KC_PAGEDOWN = 15,
    KC_INSERT = 16,
    KC_F1 = 17,  // F1 to F10 are 17 to 26
};

// Modifier mask of an input event or pattern.
enum ModMask : std::uint8_t {
    MM_BUTTON1 = 1,
    MM_BUTTON2 = 2,
    MM_BUTTON3 = 4,
    MM_CTRL = 8,
    MM_SHIFT = 16,
    MM_DOUBLE = 32,
    MM_ALT = 64,
};

// Two presses of one button at most this far apart (server time) make a
// double click.
inline constexpr unsigned long kDoubleClickMs = 249;

// Most events a learn unit holds; beyond it the oldest is dropped, so a
// program that never calls input cannot exhaust memory.
inline constexpr int kMaxQueuedEvents = 10000;

// The key code of a keysym from the table of special keys, 0 for others.
std::int32_t keyCodeOfKeysym(KeySym sym);
// The modifier mask of an X modifier and button state.
std::uint8_t maskOfState(unsigned int state);

// The drawing area's action for key, button, motion and configure events:
// queues the event when a learn unit is current, else drops it.
void Input(UnitContext* ctx, XEvent* xev);
// Converts one X event and appends it to the current learn unit's queue.
void HandleInput(UnitContext* ctx, XEvent* xev);

// Queue of the learn unit. Appending drops the oldest event when the queue
// is full; every taken or flushed event is freed by the taker.
void queueEvent(LearnUnit* unit, event* ev);
event* takeEvent(LearnUnit* unit);
// Frees every queued event; the program has then seen them all.
void flushEvents(LearnUnit* unit);

// Whether events arrived since the program last took note of the queue:
// by emptying it (input, flushInput) or by waiting for it (waitOnInput).
// An event that arrives between a program's input and its next wait must
// end that wait, not sit in the queue until the user acts again.
bool hasUnseenEvents(const LearnUnit* unit);
void markEventsSeen(LearnUnit* unit);

// The translation of the area whose pattern fits the event (coordinates
// relative to the area's window), or null. Inactive areas and points
// outside the hit region fit nothing, except window-resize events, which
// need no position.
translation* matchingTranslation(const event* ev, const InpObj* area);

// Runs the statements of the area's fitting translation with the event as
// the learn unit's current event. Returns 1 when the event was consumed, 0
// when nothing fits or the pattern was transparent, so that the event goes
// on to the next areas. The event stays the caller's to free.
int match_event(UnitContext* ctx, event* ev, InpObj* area);

// Offers every queued event to the input areas of the current learn unit
// until the queue is empty; events nobody consumes are dropped.
void dispatchEvents(UnitContext* ctx);
