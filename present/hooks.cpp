// Weak defaults for the routines declared in present/hooks.h. Each does the
// least that keeps learn units and objects consistent without a display,
// an image cache or the interpreter's release family; the owner's own
// definition replaces it at link time, after which the default here can be
// deleted.
#include "present/hooks.h"

#define WEAK __attribute__((weak))

WEAK Picture* blankImage(UnitContext*, int, int, int) { return nullptr; }
WEAK void killImage(UnitContext*, Picture*) {}

WEAK void pictureSize(const Picture*, int* width, int* height) {
    *width = 0;
    *height = 0;
}

WEAK void resizeMainWin(UnitContext*, int, int) {}
WEAK void freeUnitImages(UnitContext*, LearnUnit*) {}
WEAK void releaseObjectImage(UnitContext*, Picture*) {}
WEAK void freeTextLayout(UnitContext*, TextLayout*) {}
WEAK void f_oper(UnitContext*, op*) {}
WEAK void f_simulate(UnitContext*, simaction*, int) {}
WEAK void freesim(UnitContext*, LearnUnit*) {}
