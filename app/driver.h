// The run driver and the run-control operations of the shell.
#pragma once
#include "net/kivstream.h"

struct UnitContext;

// Parses the stream into a new learn unit and runs it; starts again on a
// reload requested meanwhile. Returns 0. The caller destroys the unit.
int start_orvex_unit(UnitContext* ctx, KivStream* stream, const char* url);

// Reloads the current program from its URL; once no program runs, the
// last one run at the bottom of the stack.
void reload(UnitContext* ctx);
// Tells the user on standard error and in the status line that a program
// could not be opened.
void reportUnopenable(UnitContext* ctx, const char* name);
// Aborts the running program.
void back(UnitContext* ctx);
// Runs the program at a URL typed into the shell as a nested run.
void goto_url(UnitContext* ctx, const char* url);
// The current program's source (newly allocated), the text "No Kiv file
// is loaded.\n" without a program, or null when it cannot be read.
char* get_source(UnitContext* ctx);
