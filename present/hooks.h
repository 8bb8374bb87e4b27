// Routines that learn units and objects call in modules that do not exist
// yet (image cache, the interpreter's release family), plus weak defaults
// (present/hooks.cpp) for display routines declared by their own modules.
// The owner's definition, with the same signature, replaces each default
// at link time.
#pragma once
#include "present/objects.h"

// Image cache: frees the entries the learn unit loaded; gives back a
// picture an object showed (the cache decides whether it is freed).
void freeUnitImages(UnitContext* ctx, LearnUnit* unit);
void releaseObjectImage(UnitContext* ctx, Picture* picture);

// Release family of the program records.
void f_oper(UnitContext* ctx, op* node);
void f_simulate(UnitContext* ctx, simaction* list, int kill);
// Frees the program records of the learn unit (declarations, functions,
// frames, global instances, forward calls and the unit's names).
void freesim(UnitContext* ctx, LearnUnit* unit);
