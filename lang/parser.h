// Entry points of the Orvex parser.
#pragma once
#include "net/kivstream.h"

struct UnitContext;
struct simaction;

// Scans and parses the whole stream into the current learn unit. Errors
// are reported and leave RS_STOP set, so the program does not start.
int readsim(UnitContext* ctx, KivStream* stream);

// Parses one statement from a text in the scope of the running call (the
// eval builtin); null for no text.
simaction* parse_statement(UnitContext* ctx, const char* text);

// Frees the name of the file being loaded (cleanup).
void parser_cleanup(UnitContext* ctx);
// The name of the file being loaded, or null.
const char* scanFileName(UnitContext* ctx);
