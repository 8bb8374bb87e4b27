// Sequencer back ends: the OSS sequencer device and the recording file
// sink. Both receive whole 8-byte event records.
#include "sound/sequencer_device.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <linux/soundcard.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "sound/fm_patches.h"

namespace {

constexpr std::size_t kRecord = 8;

double monotonicSeconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

SeqWrite writeRecords(int fd, const unsigned char* bytes, std::size_t size, StopCheck stopped) {
    while (size > 0) {
        if (stopped()) return SeqWrite::Stopped;
        ssize_t done = ::write(fd, bytes, size);
        if (done < 0) {
            if (errno == EINTR) continue;
            return SeqWrite::Failed;
        }
        bytes += done;
        size -= static_cast<std::size_t>(done);
    }
    return SeqWrite::Ok;
}

class SequencerSink : public SequencerDevice {
public:
    SequencerSink(int fd, StopCheck stopped) : fd_(fd), stopped_(stopped) {}
    ~SequencerSink() override { close(fd_); }
    int fmDevice() const override { return 0; }
    SeqWrite write(const unsigned char* records, std::size_t size) override {
        SeqWrite result = writeRecords(fd_, records, size, stopped_);
        for (std::size_t at = 0; result == SeqWrite::Ok && at + kRecord <= size; at += kRecord)
            if (!keepTime(records + at)) result = SeqWrite::Stopped;
        return result;
    }
    void reset() override {}

private:
    bool keepTime(const unsigned char* record) {
        if (record[0] != EV_TIMING) return true;
        if (record[1] == TMR_START) start_ = monotonicSeconds();
        if (record[1] != TMR_WAIT_ABS) return true;
        std::uint32_t hundredths;
        std::memcpy(&hundredths, record + 4, sizeof hundredths);
        return sleepUnlessStopped(start_ + hundredths / 100.0 - monotonicSeconds(), stopped_);
    }
    int fd_;
    StopCheck stopped_;
    double start_ = 0;
};

class OssSequencer : public SequencerDevice {
public:
    OssSequencer(int fd, StopCheck stopped) : fd_(fd), stopped_(stopped) {}
    ~OssSequencer() override { close(fd_); }
    bool setup() {
        int synths = 0;
        if (ioctl(fd_, SNDCTL_SEQ_NRSYNTHS, &synths) < 0 || synths <= 0) {
            std::fputs("there is no soundcard\n", stderr);
            return false;
        }
        for (int device = 0; device < synths; ++device) {
            synth_info info{};
            info.device = device;
            if (ioctl(fd_, SNDCTL_SYNTH_INFO, &info) < 0) {
                std::fputs("cannot get info on soundcard\n", stderr);
                return false;
            }
            if (info.synth_type == SYNTH_TYPE_FM && fm_ < 0) fm_ = device;
        }
        if (fm_ >= 0) loadfm(fd_, fm_);
        return true;
    }
    int fmDevice() const override { return fm_; }
    SeqWrite write(const unsigned char* records, std::size_t size) override {
        return writeRecords(fd_, records, size, stopped_);
    }
    void reset() override { ioctl(fd_, SNDCTL_SEQ_RESET, nullptr); }

private:
    int fd_;
    StopCheck stopped_;
    int fm_ = -1;
};

}  // namespace

std::unique_ptr<SequencerDevice> chooseSequencer(StopCheck stopped) {
    if (const char* sink = std::getenv("TALVIX_MIDI_SINK"); sink && *sink) {
        int fd = open(sink, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        if (fd < 0) return nullptr;
        return std::make_unique<SequencerSink>(fd, stopped);
    }
    int fd = open("/dev/sequencer", O_WRONLY | O_CLOEXEC);
    if (fd < 0) return nullptr;
    auto device = std::make_unique<OssSequencer>(fd, stopped);
    if (!device->setup()) return nullptr;
    return device;
}
