// Weak defaults for entry points owned by other subsystems (declared in
// app/hooks.h and in their owners' headers). Each does the least that
// keeps the player consistent; a subsystem's own definition replaces it at
// link time, after which the default here can be deleted.
#include "app/hooks.h"

#include "app/context.h"

#define WEAK __attribute__((weak))

WEAK void kivthor_free(UnitContext*) {}
