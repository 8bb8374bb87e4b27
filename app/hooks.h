// Entry points that start-up, the run driver and the cleanup call in
// subsystems that own them. app/hooks.cpp gives each a weak default so the
// player links and runs before the owning subsystem exists; the owner's
// definition (same signature) replaces the default at link time.
#pragma once
#include <cstdint>

#include "interp/simulate.h"
#include "lang/parser.h"
#include "present/learnunit.h"

// Images: the permanent default image at the head of the image list, and
// its release at cleanup.
void initDefImg(UnitContext* ctx);
void freeDefImg(UnitContext* ctx);

// Drawing resources made once after the main window opens.
void initStipples(UnitContext* ctx);
void initRasters(UnitContext* ctx);
void initDashes(UnitContext* ctx);

// Destroys what the display code still holds on the server.
void winsysCleanup(UnitContext* ctx);

// Releases the authoring model.
void kivthor_free(UnitContext* ctx);

// Frees the name of the file being scanned.
void parser_cleanup(UnitContext* ctx);

// The stopPlay and stopSound builtins; cleanup calls them without
// arguments.
std::int32_t PlStop(UnitContext* ctx, param* args);
std::int32_t SndStop(UnitContext* ctx, param* args);

// The call builtin: runs the program at the URL of its one argument as a
// nested learn unit.
std::int32_t TamCall(UnitContext* ctx, param* args);
