// Weak defaults for routines the builtins call in subsystems that may not
// be linked in yet; the owner's definition replaces each at link time.
#include "lang/parser.h"

#define WEAK __attribute__((weak))

// Without the parser, eval finds no statement to run.
WEAK simaction* parse_statement(UnitContext*, const char*) { return nullptr; }
