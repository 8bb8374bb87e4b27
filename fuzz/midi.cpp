// Fuzz target: the MIDI file reader and the player's event generation,
// played into a sequencer that only counts what it is sent.
#include <cstdint>

#include "sound/midi_file.h"
#include "sound/midi_player.h"

namespace {

class CountingSequencer : public SequencerDevice {
public:
    int fmDevice() const override { return 0; }
    SeqWrite write(const unsigned char*, std::size_t size) override {
        if (size % 8 != 0) __builtin_trap();
        bytes += size;
        return SeqWrite::Ok;
    }
    void reset() override {}
    std::size_t bytes = 0;
};

bool neverStopped() { return false; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    MidiSong song = readmidi(data, size);
    CountingSequencer sequencer;
    playevents(song, sequencer, neverStopped);
    return 0;
}
