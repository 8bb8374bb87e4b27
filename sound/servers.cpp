// Sound and music servers. For now they only drain their pipe: requests
// are read and dropped, so the player can write to them at any time. A
// server ends when the player closes the pipe (also when the player dies
// without cleanup) or on SIGTERM, whose default action ends it.
#include "sound/servers.h"

#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <initializer_list>

#include "app/context.h"

namespace {

// Keeps only the read end of the server's own pipe, so that end of file
// arrives once the player's write end is gone.
void closeForeignEnds(UnitContext* ctx, int ownRead) {
    for (int fd : {ctx->soundPipe[0], ctx->soundPipe[1], ctx->musicPipe[0], ctx->musicPipe[1]})
        if (fd >= 0 && fd != ownRead) close(fd);
}

// A server that plays nothing has nothing to stop: the player's stop
// signal must not end it.
[[noreturn]] void drainPipe(UnitContext* ctx, int readEnd) {
    signal(SIGUSR1, SIG_IGN);
    closeForeignEnds(ctx, readEnd);
    char buffer[512];
    for (;;) {
        ssize_t got = readEnd >= 0 ? read(readEnd, buffer, sizeof buffer) : 0;
        if (got > 0 || (got < 0 && errno == EINTR)) continue;
        _exit(0);
    }
}

}  // namespace

void waveserver(UnitContext* ctx) { drainPipe(ctx, ctx->soundPipe[0]); }

void midiserver(UnitContext* ctx) { drainPipe(ctx, ctx->musicPipe[0]); }
