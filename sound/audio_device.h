// The audio output of the sound server: a file sink for tests, the OSS
// device when its node exists, ALSA otherwise, or nothing at all. Each
// request opens the device with the settings it wants and learns what the
// device granted; the server converts its samples to those settings.
#pragma once
#include <cstddef>
#include <memory>

struct AudioSettings {
    int bits = 16;  // 16: signed little-endian words; 8: unsigned bytes
    long channels = 1;
    int rate = 8000;
};

// Whether a stop request arrived; devices poll it between blocks so that
// playback ends promptly.
using StopCheck = bool (*)();

class AudioDevice {
public:
    virtual ~AudioDevice() = default;
    // Opens the device asking for `settings`; on success they hold what
    // the device granted.
    virtual bool open(AudioSettings& settings) = 0;
    // Plays the bytes in real time; false when stopped or failed.
    virtual bool write(const unsigned char* bytes, std::size_t size) = 0;
    // Drops what is queued and closes the device; safe when closed.
    virtual void reset() = 0;
    virtual void close() = 0;
};

// The file named by TALVIX_AUDIO_SINK when set, else /dev/dsp when it
// exists, else ALSA's default device. Never null: without any device the
// result accepts nothing and open() fails.
std::unique_ptr<AudioDevice> chooseAudioDevice(StopCheck stopped);

// Sleeps `seconds`, in short slices so a stop is noticed; false if stopped.
bool sleepUnlessStopped(double seconds, StopCheck stopped);
