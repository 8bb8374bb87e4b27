// The sound server: takes sound requests from its pipe, decodes them and
// plays them once or until the player's stop signal (SIGUSR1). A format
// error is reported and that request dropped; the server goes on serving,
// so one damaged file does not silence the rest of the session.
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <vector>

#include "app/context.h"
#include "sound/audio_device.h"
#include "sound/request.h"
#include "sound/servers.h"
#include "sound/sound_formats.h"

namespace {

// Positive while the current request may play; SIGUSR1 sets it to 0.
volatile sig_atomic_t repeatCounter = 0;

void waveReset(int) { repeatCounter = 0; }

bool stopped() { return repeatCounter <= 0; }

void installReset() {
    struct sigaction action {};
    action.sa_handler = waveReset;
    sigemptyset(&action.sa_mask);
    sigaction(SIGUSR1, &action, nullptr);
}

// Granted sizes: 16-bit signed little-endian words or unsigned bytes.
std::vector<unsigned char> convertSamples(const std::vector<std::int32_t>& samples, int bits) {
    std::vector<unsigned char> bytes;
    if (bits == 8) {
        bytes.reserve(samples.size());
        for (std::int32_t s : samples) bytes.push_back(static_cast<unsigned char>((s / 16777216) ^ 0x80));
        return bytes;
    }
    bytes.reserve(samples.size() * 2);
    for (std::int32_t s : samples) {
        auto word = static_cast<std::uint16_t>(s / 65536);
        bytes.push_back(static_cast<unsigned char>(word & 0xff));
        bytes.push_back(static_cast<unsigned char>(word >> 8));
    }
    return bytes;
}

void play(AudioDevice& device, AudioSettings& asked, DecodedSound& sound, char mode) {
    AudioSettings granted{asked.bits, sound.channels, sound.rate};
    if (!device.open(granted)) return;
    asked.bits = granted.bits;
    for (long channels = sound.channels; granted.channels < channels && channels > 1; channels /= 2)
        reduceChannels(sound.samples);
    std::vector<unsigned char> bytes = convertSamples(sound.samples, granted.bits);
    while (device.write(bytes.data(), bytes.size()) && mode != 'S' && !stopped()) {
    }
    if (stopped())
        device.reset();
    else
        device.close();
}

void serve(int pipe, AudioDevice& device, AudioSettings& asked) {
    PipeRequest request;
    ReadResult result = readRequest(pipe, true, request);
    if (result == ReadResult::Closed) _exit(0);
    if (result != ReadResult::Ok || request.tooLarge) return;
    DecodedSound sound;
    std::string error = decodeSound(request.type.c_str(), request.bytes.data(), request.bytes.size(), sound);
    if (!error.empty()) {
        std::fprintf(stderr, "%s\n", error.c_str());
        std::fflush(stderr);
        return;
    }
    request.bytes.clear();
    request.bytes.shrink_to_fit();
    if (repeatCounter > 0 && !sound.samples.empty()) play(device, asked, sound, request.mode);
}

}  // namespace

void waveserver(UnitContext* ctx) {
    int pipe = ctx->soundPipe[0];
    installReset();
    prepareServer(ctx, pipe);
    std::unique_ptr<AudioDevice> device = chooseAudioDevice(stopped);
    AudioSettings asked;
    for (;;) {
        if (!waitForRequest(pipe)) _exit(0);
        repeatCounter = 1;
        serve(pipe, *device, asked);
    }
}
