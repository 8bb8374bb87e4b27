// The statement interpreter: starting a program, running statement lists,
// calling user functions and object generators.
#pragma once
#include <cstdint>

#include "interp/records.h"

// Creates the global instances, takes the start time and calls main.
void start_sim(UnitContext* ctx, LearnUnit* unit);

// Runs a statement list until it ends or the run state halts it.
void simulate(UnitContext* ctx, simaction* list);

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
