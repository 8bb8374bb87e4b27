// Termination signals. SIGHUP, SIGINT, SIGQUIT and SIGTERM end the player
// with the signal number as exit status, always after stopping the servers
// and removing the temporary files; SIGBUS ends it through bibi.
#pragma once
#include <csignal>

#include "app/shutdown.h"

struct UnitContext;

// The signals that end the player through its cleanup.
inline constexpr int kTerminationSignals[] = {SIGHUP, SIGINT, SIGQUIT, SIGTERM};

namespace signals_detail {
extern volatile std::sig_atomic_t noted;
}

void installSignalHandlers();

// Once the event loop runs, a termination signal is only noted and the
// loop ends the player through the full cleanup (the handler interrupts
// arbitrary code, where that cleanup is not safe). Should the loop not
// take it up within a grace period, or a second signal arrive, the
// handler ends the player itself with the part of the cleanup that is safe
// inside a handler. Before this call the handler always does the latter.
void deferSignalsToEventLoop(UnitContext* ctx);

// Keeps termination signals away (while the player exits, or while a
// temporary file is created and recorded); the mask before is stored in
// previous when given.
void blockTerminationSignals(sigset_t* previous = nullptr);

// Ends the player through l_exit when a termination signal was noted. One
// load when none was: cheap enough for every interpreted statement.
inline void serviceSignals() {
    if (signals_detail::noted) l_exit(signals_detail::noted);
}
