// The statement interpreter: starting a program, running statement lists,
// calling user functions and object generators.
#pragma once
#include <cstdint>

#include "interp/records.h"

// Creates the global instances, takes the start time and calls main.
void start_sim(UnitContext* ctx, LearnUnit* unit);

// Runs a statement list until it ends or the run state halts it.
void simulate(UnitContext* ctx, simaction* list);

std::int32_t IntFunc(UnitContext* ctx, function* fn, param* args);
double FloatFunc(UnitContext* ctx, function* fn, param* args);
char* TextFunc(UnitContext* ctx, function* fn, param* args);
