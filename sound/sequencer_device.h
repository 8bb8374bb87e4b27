// The MIDI output of the music server. Events travel as the 8-byte records
// of the OSS sequencer interface; the OSS device takes them as they are,
// ALSA's sequencer gets them translated, and the file sink named by
// TALVIX_MIDI_SINK records them and keeps the timing their timer records
// ask for, as a device would.
#pragma once
#include <cstddef>
#include <memory>

#include "sound/audio_device.h"

enum class SeqWrite { Ok, Stopped, Failed };

class SequencerDevice {
public:
    virtual ~SequencerDevice() = default;
    // Synthesizer number that plays the FM channels; -1 when there is none
    // and nothing can be played.
    virtual int fmDevice() const = 0;
    virtual SeqWrite write(const unsigned char* records, std::size_t size) = 0;
    // Drops queued events; called before each playing and on stop.
    virtual void reset() = 0;
};

// The sink when TALVIX_MIDI_SINK is set, else /dev/sequencer when it can be
// opened, else the first ALSA sequencer port that takes MIDI, else null.
std::unique_ptr<SequencerDevice> chooseSequencer(StopCheck stopped);
