// Every way out of the player: the once-only cleanup and the exits.
#pragma once

struct UnitContext;

// Releases everything the player holds; runs at most once. Without a
// context only the URL layer's local copies are removed.
void KivCleanup(UnitContext* ctx);

[[noreturn]] void c_exit(UnitContext* ctx, int status);
[[noreturn]] void l_exit(int status);
[[noreturn]] void bibi(int signal);

// The context that the signal handlers clean up with.
void setCleanupContext(UnitContext* ctx);
