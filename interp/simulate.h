// The statement interpreter: starting a program, running statement lists,
// calling user functions and object generators.
#pragma once
#include <cstdint>

#include "interp/eval.h"
#include "interp/records.h"

// Creates the global instances, takes the start time and calls main.
void start_sim(UnitContext* ctx, LearnUnit* unit);

// Runs a statement list until it ends or the run state halts it.
void simulate(UnitContext* ctx, simaction* list);

// Runs one statement of a list; false after a return statement, which
// ends the list whatever the run state.
bool runStatement(UnitContext* ctx, simaction* s);

// Holds the program while the URL field has the keyboard focus.
void waitWhileTyping(UnitContext* ctx);

// The display and the signals are looked at after every statement that
// called a builtin (which may have drawn, queued requests or waited) and
// otherwise every few statements: enough to answer the window within a
// clock tick, without the look's cost on every step of a tight loop.
namespace statement_service {
inline constexpr int kStatementsPerService = 16;
extern int countdown;
void serve(UnitContext* ctx);
}  // namespace statement_service

inline void serveEventsAfter(UnitContext* ctx, std::uint32_t builtinsBefore) {
    if (builtinCalls == builtinsBefore && --statement_service::countdown > 0) return;
    statement_service::countdown = statement_service::kStatementsPerService;
    statement_service::serve(ctx);
}

// The call a return statement ends, kept while a call runs: a return of
// the call sets the stop that the call itself clears again.
struct Returning {
    Frame* frame;
    std::uint64_t serial;
};
Returning returningOf(LearnUnit* unit);
// A return of this call ended the body: the stop it set is this call's to
// clear. Any other stop (an error, the shell) goes on unwinding.
void endReturn(UnitContext* ctx, LearnUnit* unit, Frame* frame, Returning saved);

// Frames are identified by serial as well as address: a freed frame's
// address may come back for a later one.
extern std::uint64_t lastFrameSerial;
inline std::uint64_t nextFrameSerial() { return ++lastFrameSerial; }
void tooDeepInFunction(UnitContext* ctx, function* fn);

// One call of a user function; the value is the function's return value
// (a text the caller owns).
Value callFunction(UnitContext* ctx, function* fn, param* args);

// One call of a user function; its return value stays in the function's
// return-value slot for IntFunc, FloatFunc and TextFunc to take.
void FUNC(UnitContext* ctx, function* fn, param* args);
std::int32_t IntFunc(UnitContext* ctx, function* fn, param* args);
double FloatFunc(UnitContext* ctx, function* fn, param* args);
char* TextFunc(UnitContext* ctx, function* fn, param* args);

// One call of an object generator; its objects join the caller's object
// context and its variable instances the caller's frame.
void GenObject(UnitContext* ctx, objectproto* proto, attrparam* args);

// Moves the simulation's start time to now.
void set_time(UnitContext* ctx);
