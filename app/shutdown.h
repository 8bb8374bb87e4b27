// Every way out of the player: the once-only cleanup and the exits.
#pragma once

struct UnitContext;

// Releases everything the player holds; runs at most once. Without a
// context only the URL layer's local copies are removed.
void KivCleanup(UnitContext* ctx);

// Cleanup, then exit with the status.
[[noreturn]] void c_exit(UnitContext* ctx, int status);
// The same for code that holds no context (fatal errors, signals): the
// context given to setCleanupContext is cleaned up.
[[noreturn]] void l_exit(int status);
// Handler of SIGBUS: safe part of the cleanup, a message, then abort.
[[noreturn]] void bibi(int signal);

// Inside a signal handler: stops the servers, removes the standard-error
// file and ends the process with the status. Only async-signal-safe calls.
[[noreturn]] void emergencyExit(int status);

// The context that l_exit and the signal handlers clean up with.
void setCleanupContext(UnitContext* ctx);
