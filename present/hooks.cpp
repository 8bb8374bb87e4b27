// Weak defaults for routines that learn units and objects call in modules
// still being written (present/hooks.h, and the display routines declared
// in present/draw.h, present/textlayout.h and present/update.h). Each does
// the least that keeps learn units and objects consistent; the owner's own
// definition replaces it at link time, after which the default here can be
// deleted.
#include "present/hooks.h"

#include "app/context.h"
#include "core/alloc.h"
#include "core/messages.h"
#include "interp/simulate.h"

#define WEAK __attribute__((weak))

WEAK void f_oper(UnitContext*, op*) {}
WEAK void f_simulate(UnitContext*, simaction*, int) {}
WEAK void freesim(UnitContext*, LearnUnit*) {}
WEAK void simulate(UnitContext*, simaction*) {}
