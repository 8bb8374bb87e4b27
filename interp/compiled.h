// Function bodies compiled into trees of typed nodes. A function whose
// calls take a block of the frame stack is compiled at its first call;
// later calls run the compiled body on the instances of their block.
#pragma once
#include "interp/records.h"

// False when TALVIX_ENGINE is "tree": every body then runs through the
// statement interpreter. Read once, at the first call of a function.
bool compiledEngine();

// Runs the function's compiled body in the frame its call set up,
// compiling the body first when this is the call that decides it; false
// when the body must run through the statement interpreter instead.
bool runCompiledBody(UnitContext* ctx, function* fn, funcinst* frame);

void releaseCompiled(function* fn);
