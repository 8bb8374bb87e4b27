// Event serving: the idle loop and the primitives that keep the display
// alive while a program runs.
#pragma once

struct UnitContext;

// Run state := RS_IDLE, then the toolkit's loop; never returns (the
// player ends from a callback or a signal).
[[noreturn]] void mainLoop(UnitContext* ctx);

// Dispatches the X events that are pending; never blocks.
void TamServeWinEvents(UnitContext* ctx);

// Called after every interpreted statement: serves pending X events and
// advances transfers. Nearly free when called again within the same clock
// tick, so that a computing program pays almost nothing for it while the
// display still reacts within a tick.
void TamServeEvents(UnitContext* ctx);

// Blocks, dispatching events, until an input event has been queued on the
// current learn unit or the run state halts the program.
void TamWaitForEvent(UnitContext* ctx);

// Processes all kinds of toolkit input until the given time has passed.
void TamTimeOut(UnitContext* ctx, int milliseconds);
