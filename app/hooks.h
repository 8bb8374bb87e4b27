// Entry points that the cleanup calls in subsystems that have no header of
// their own yet. app/hooks.cpp gives these, and other routines declared by
// their owners' headers, weak defaults so the player links and runs before
// the owning subsystem exists; the owner's definition (same signature)
// replaces the default at link time.
#pragma once

struct UnitContext;

// Releases the authoring model.
void kivthor_free(UnitContext* ctx);
