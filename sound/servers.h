// The sound and music server processes. Start-up forks each one; the child
// runs its server and never returns into the player's code.
#pragma once

struct UnitContext;

// Serve the sound pipe and the music pipe respectively until the player
// closes its end or terminates the server with SIGTERM.
[[noreturn]] void waveserver(UnitContext* ctx);
[[noreturn]] void midiserver(UnitContext* ctx);
