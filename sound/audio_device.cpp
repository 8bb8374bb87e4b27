// Audio back ends. The file sink records exactly the converted samples a
// device would receive and takes them no faster than a device plays them,
// so that playback advances in real time and a stop cuts it short.
#include "sound/audio_device.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <linux/soundcard.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <ctime>

#ifdef TALVIX_HAVE_ALSA
#include <alsa/asoundlib.h>
#endif

namespace {

constexpr std::size_t kBlock = 4096;
constexpr double kSleepSlice = 0.02;
// The sink takes samples in blocks of this many per second of sound.
constexpr int kSinkBlocksPerSecond = 50;

double monotonicSeconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

bool writeAllTo(int fd, const unsigned char* bytes, std::size_t size, StopCheck stopped) {
    while (size > 0) {
        if (stopped()) return false;
        ssize_t done = ::write(fd, bytes, std::min(size, kBlock));
        if (done < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes += done;
        size -= static_cast<std::size_t>(done);
    }
    return true;
}

double secondsOf(std::size_t bytes, const AudioSettings& s) {
    double perSecond = static_cast<double>(s.rate) * static_cast<double>(s.channels) * (s.bits / 8);
    return perSecond > 0 ? static_cast<double>(bytes) / perSecond : 0;
}

// Whole frames, about 1/50 s of sound.
std::size_t sinkBlockBytes(const AudioSettings& s) {
    std::size_t frame = static_cast<std::size_t>(std::max(1L, s.channels)) * static_cast<std::size_t>(s.bits / 8);
    return frame * static_cast<std::size_t>(std::max(1, s.rate / kSinkBlocksPerSecond));
}

long envNumber(const char* name, long fallback) {
    const char* text = std::getenv(name);
    if (!text || !*text) return fallback;
    char* end = nullptr;
    long value = std::strtol(text, &end, 10);
    return *end ? fallback : value;
}

// Appends to the file named by TALVIX_AUDIO_SINK. TALVIX_AUDIO_SINK_BITS
// (8 or 16) and TALVIX_AUDIO_SINK_CHANNELS (most channels granted, 2 by
// default) let it act like devices of lesser abilities.
class FileSink : public AudioDevice {
public:
    FileSink(const char* path, StopCheck stopped) : path_(path), stopped_(stopped) {}
    ~FileSink() override { close(); }
    bool open(AudioSettings& settings) override {
        fd_ = ::open(path_, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        if (fd_ < 0) return false;
        if (envNumber("TALVIX_AUDIO_SINK_BITS", 16) == 8) settings.bits = 8;
        settings.channels = std::min(settings.channels, std::max(1L, envNumber("TALVIX_AUDIO_SINK_CHANNELS", 2)));
        granted_ = settings;
        return true;
    }
    // Each block is recorded, then its playing time waited out against a
    // clock started with the first, so no drift builds up.
    bool write(const unsigned char* bytes, std::size_t size) override {
        if (fd_ < 0) return false;
        std::size_t block = sinkBlockBytes(granted_);
        double start = monotonicSeconds(), played = 0;
        for (std::size_t done = 0; done < size;) {
            std::size_t n = std::min(block, size - done);
            if (!writeAllTo(fd_, bytes + done, n, stopped_)) return false;
            done += n;
            played += secondsOf(n, granted_);
            if (!sleepUnlessStopped(start + played - monotonicSeconds(), stopped_)) return false;
        }
        return true;
    }
    void reset() override { close(); }
    void close() override {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }

private:
    const char* path_;
    StopCheck stopped_;
    int fd_ = -1;
    AudioSettings granted_;
};

class OssDevice : public AudioDevice {
public:
    explicit OssDevice(StopCheck stopped) : stopped_(stopped) {}
    ~OssDevice() override { close(); }
    bool open(AudioSettings& settings) override {
        fd_ = ::open("/dev/dsp", O_WRONLY | O_CLOEXEC);
        if (fd_ < 0) return false;
        int format = settings.bits == 8 ? AFMT_U8 : AFMT_S16_LE;
        int channels = static_cast<int>(std::min(settings.channels, 0x7fffL));
        int rate = settings.rate;
        if (ioctl(fd_, SNDCTL_DSP_SETFMT, &format) < 0 || ioctl(fd_, SNDCTL_DSP_CHANNELS, &channels) < 0 ||
            ioctl(fd_, SNDCTL_DSP_SPEED, &rate) < 0 || (format != AFMT_U8 && format != AFMT_S16_LE) ||
            channels < 1) {
            close();
            return false;
        }
        settings.bits = format == AFMT_U8 ? 8 : 16;
        settings.channels = channels;
        settings.rate = rate;
        return true;
    }
    bool write(const unsigned char* bytes, std::size_t size) override {
        return fd_ >= 0 && writeAllTo(fd_, bytes, size, stopped_);
    }
    void reset() override {
        if (fd_ >= 0) ioctl(fd_, SNDCTL_DSP_RESET, nullptr);
        close();
    }
    void close() override {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }

private:
    StopCheck stopped_;
    int fd_ = -1;
};

#ifdef TALVIX_HAVE_ALSA
// The library reports a missing card on standard error, which belongs to
// the player; the server says nothing when it has no device.
void quietAlsa(const char*, int, const char*, int, const char*, ...) {}

class AlsaDevice : public AudioDevice {
public:
    explicit AlsaDevice(StopCheck stopped) : stopped_(stopped) { snd_lib_error_set_handler(quietAlsa); }
    ~AlsaDevice() override { close(); }
    bool open(AudioSettings& settings) override {
        if (settings.channels > 64) settings.channels = 2;
        if (snd_pcm_open(&pcm_, "default", SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK) < 0) {
            pcm_ = nullptr;
            return false;
        }
        snd_pcm_format_t format = settings.bits == 8 ? SND_PCM_FORMAT_U8 : SND_PCM_FORMAT_S16_LE;
        if (snd_pcm_nonblock(pcm_, 0) < 0 ||
            snd_pcm_set_params(pcm_, format, SND_PCM_ACCESS_RW_INTERLEAVED, static_cast<unsigned>(settings.channels),
                               static_cast<unsigned>(settings.rate), 1, 500000) < 0) {
            close();
            return false;
        }
        frameBytes_ = static_cast<std::size_t>(settings.channels) * (settings.bits / 8);
        return true;
    }
    bool write(const unsigned char* bytes, std::size_t size) override {
        std::size_t frames = size / frameBytes_;
        while (pcm_ && frames > 0) {
            if (stopped()) return false;
            snd_pcm_sframes_t done = snd_pcm_writei(pcm_, bytes, std::min<std::size_t>(frames, 1024));
            if (done < 0) {
                if (stopped() || snd_pcm_recover(pcm_, static_cast<int>(done), 1) < 0) return false;
                continue;
            }
            bytes += static_cast<std::size_t>(done) * frameBytes_;
            frames -= static_cast<std::size_t>(done);
        }
        if (pcm_ && !stopped()) snd_pcm_drain(pcm_);
        return pcm_ && !stopped();
    }
    void reset() override {
        if (pcm_) snd_pcm_drop(pcm_);
        close();
    }
    void close() override {
        if (pcm_) snd_pcm_close(pcm_);
        pcm_ = nullptr;
    }

private:
    bool stopped() const { return stopped_(); }
    StopCheck stopped_;
    snd_pcm_t* pcm_ = nullptr;
    std::size_t frameBytes_ = 1;
};
#endif

class NoDevice : public AudioDevice {
public:
    bool open(AudioSettings&) override { return false; }
    bool write(const unsigned char*, std::size_t) override { return false; }
    void reset() override {}
    void close() override {}
};

}  // namespace

bool sleepUnlessStopped(double seconds, StopCheck stopped) {
    double end = monotonicSeconds() + seconds;
    for (;;) {
        if (stopped()) return false;
        double left = end - monotonicSeconds();
        if (left <= 0) return true;
        double slice = std::min(left, kSleepSlice);
        timespec pause{static_cast<time_t>(slice), static_cast<long>((slice - static_cast<double>(static_cast<time_t>(slice))) * 1e9)};
        nanosleep(&pause, nullptr);
    }
}

std::unique_ptr<AudioDevice> chooseAudioDevice(StopCheck stopped) {
    if (const char* sink = std::getenv("TALVIX_AUDIO_SINK"); sink && *sink)
        return std::make_unique<FileSink>(sink, stopped);
    if (access("/dev/dsp", F_OK) == 0) return std::make_unique<OssDevice>(stopped);
#ifdef TALVIX_HAVE_ALSA
    return std::make_unique<AlsaDevice>(stopped);
#else
    return std::make_unique<NoDevice>();
#endif
}
