// Fuzz target: the sound file readers. The same bytes are decoded as each
// file type the server plays (WAVE, Sun/NeXT, raw and the headerless
// sample types), and the samples mixed down to two channels as for a
// stereo device.
#include <cstdint>

#include "sound/sound_formats.h"

namespace {

constexpr const char* kTypes[] = {"wav", "au", "raw", "ub", "uw", "sw", "ul", "sndr", "voc"};
constexpr long kDeviceChannels = 2;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    for (const char* type : kTypes) {
        DecodedSound sound;
        if (!decodeSound(type, data, size, sound).empty()) continue;
        for (long channels = sound.channels; kDeviceChannels < channels && channels > 1; channels /= 2)
            reduceChannels(sound.samples);
    }
    return 0;
}
