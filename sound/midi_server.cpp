// The music server: takes MIDI files from its pipe and plays them once or
// until the player's stop signal (SIGUSR1). Without a sequencer it still
// takes every request, so the player can always write to it.
#include <unistd.h>

#include <csignal>
#include <cstdio>

#include "app/context.h"
#include "sound/midi_player.h"
#include "sound/request.h"
#include "sound/sequencer_device.h"
#include "sound/servers.h"

namespace {

// Playings left of the current request; SIGUSR1 sets it to -1.
volatile sig_atomic_t repeatCounter = 0;

void midiReset(int) { repeatCounter = -1; }

bool stopped() { return repeatCounter < 1; }

void installReset() {
    struct sigaction action {};
    action.sa_handler = midiReset;
    sigemptyset(&action.sa_mask);
    sigaction(SIGUSR1, &action, nullptr);
}

// Plays the request until its playings are used up or a stop arrives.
// False when the device failed and must be given up.
bool playmidi(SequencerDevice& device, const PipeRequest& request) {
    MidiSong song = readmidi(request.bytes.data(), request.bytes.size());
    if (song.ignoredTracks > 0) {
        std::fprintf(stderr, "\nWARNING: %d TRACKS IGNORED!\n", song.ignoredTracks);
        std::fflush(stderr);
    }
    while (repeatCounter >= 1) {
        PlayResult result = playevents(song, device, stopped);
        if (result == PlayResult::Failed) {
            std::perror("write /dev/sequencer");
            return false;
        }
        if (result == PlayResult::Stopped) break;
        if (request.mode == 'S') repeatCounter = repeatCounter - 1;
    }
    if (stopped()) device.reset();
    return true;
}

}  // namespace

void midiserver(UnitContext* ctx) {
    int pipe = ctx->musicPipe[0];
    installReset();
    prepareServer(ctx, pipe);
    std::unique_ptr<SequencerDevice> device = chooseSequencer(stopped);
    if (device && device->fmDevice() < 0) device = nullptr;
    for (;;) {
        if (!waitForRequest(pipe)) _exit(0);
        repeatCounter = 1;
        PipeRequest request;
        ReadResult result = readRequest(pipe, false, request);
        if (result == ReadResult::Closed) _exit(0);
        if (result != ReadResult::Ok || request.tooLarge || !device) continue;
        if (!playmidi(*device, request)) device = nullptr;
    }
}
