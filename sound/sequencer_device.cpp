// Sequencer back ends: the OSS sequencer device, ALSA's sequencer and the
// recording file sink. All receive whole 8-byte event records.
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

#include <vector>

#ifdef TALVIX_HAVE_ALSA
#include <alsa/asoundlib.h>
#endif

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

// Keeps the time that timer records ask for, for outputs without a timer
// of their own. False when a stop ended the wait.
class RecordClock {
public:
    bool keep(const unsigned char* record, StopCheck stopped) {
        if (record[0] != EV_TIMING) return true;
        if (record[1] == TMR_START) start_ = monotonicSeconds();
        if (record[1] != TMR_WAIT_ABS) return true;
        std::uint32_t hundredths;
        std::memcpy(&hundredths, record + 4, sizeof hundredths);
        return sleepUnlessStopped(start_ + hundredths / 100.0 - monotonicSeconds(), stopped);
    }

private:
    double start_ = 0;
};

class SequencerSink : public SequencerDevice {
public:
    SequencerSink(int fd, StopCheck stopped) : fd_(fd), stopped_(stopped) {}
    ~SequencerSink() override { close(fd_); }
    int fmDevice() const override { return 0; }
    SeqWrite write(const unsigned char* records, std::size_t size) override {
        SeqWrite result = writeRecords(fd_, records, size, stopped_);
        for (std::size_t at = 0; result == SeqWrite::Ok && at + kRecord <= size; at += kRecord)
            if (!clock_.keep(records + at, stopped_)) result = SeqWrite::Stopped;
        return result;
    }
    void reset() override {}

private:
    int fd_;
    StopCheck stopped_;
    RecordClock clock_;
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

#ifdef TALVIX_HAVE_ALSA
void quietAlsa(const char*, int, const char*, int, const char*, ...) {}

// Sends the records as ALSA sequencer events to the first port that takes
// MIDI (a synthesizer or a MIDI output), keeping their timing here.
class AlsaSequencer : public SequencerDevice {
public:
    explicit AlsaSequencer(StopCheck stopped) : stopped_(stopped) {}
    ~AlsaSequencer() override {
        if (seq_) snd_seq_close(seq_);
    }
    bool open() {
        snd_lib_error_set_handler(quietAlsa);
        if (snd_seq_open(&seq_, "default", SND_SEQ_OPEN_OUTPUT, 0) < 0) {
            seq_ = nullptr;
            return false;
        }
        port_ = snd_seq_create_simple_port(seq_, "talvix", SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ,
                                           SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
        return port_ >= 0 && connectToSynth();
    }
    int fmDevice() const override { return 0; }
    SeqWrite write(const unsigned char* records, std::size_t size) override {
        for (std::size_t at = 0; at + kRecord <= size; at += kRecord) {
            if (!clock_.keep(records + at, stopped_)) return SeqWrite::Stopped;
            send(records + at);
        }
        return snd_seq_drain_output(seq_) < 0 ? SeqWrite::Failed : SeqWrite::Ok;
    }
    void reset() override {
        snd_seq_drop_output(seq_);
        for (int channel = 0; channel < 16; ++channel) {
            snd_seq_event_t ev = event();
            snd_seq_ev_set_controller(&ev, channel, 123, 0);
            snd_seq_event_output(seq_, &ev);
        }
        snd_seq_drain_output(seq_);
        sysex_.clear();
    }

private:
    bool connectToSynth() {
        snd_seq_client_info_t* client;
        snd_seq_port_info_t* port;
        snd_seq_client_info_alloca(&client);
        snd_seq_port_info_alloca(&port);
        snd_seq_client_info_set_client(client, -1);
        while (snd_seq_query_next_client(seq_, client) >= 0) {
            int id = snd_seq_client_info_get_client(client);
            if (id == SND_SEQ_CLIENT_SYSTEM) continue;
            snd_seq_port_info_set_client(port, id);
            snd_seq_port_info_set_port(port, -1);
            while (snd_seq_query_next_port(seq_, port) >= 0) {
                unsigned caps = snd_seq_port_info_get_capability(port);
                unsigned wanted = SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE;
                if ((caps & wanted) == wanted &&
                    snd_seq_connect_to(seq_, port_, id, snd_seq_port_info_get_port(port)) >= 0)
                    return true;
            }
        }
        return false;
    }
    snd_seq_event_t event() const {
        snd_seq_event_t ev;
        snd_seq_ev_clear(&ev);
        snd_seq_ev_set_source(&ev, port_);
        snd_seq_ev_set_subs(&ev);
        snd_seq_ev_set_direct(&ev);
        return ev;
    }
    void send(const unsigned char* r) {
        snd_seq_event_t ev = event();
        int channel = r[3] & 0x0f;
        if (r[0] == EV_SYSEX) {
            collectSysex(r);
            return;
        }
        if (r[0] == EV_CHN_VOICE && r[2] == MIDI_NOTEON) snd_seq_ev_set_noteon(&ev, channel, r[4], r[5]);
        else if (r[0] == EV_CHN_VOICE && r[2] == MIDI_NOTEOFF) snd_seq_ev_set_noteoff(&ev, channel, r[4], r[5]);
        else if (r[0] == EV_CHN_VOICE && r[2] == MIDI_KEY_PRESSURE) snd_seq_ev_set_keypress(&ev, channel, r[4], r[5]);
        else if (r[0] != EV_CHN_COMMON) return;
        else if (r[2] == MIDI_CTL_CHANGE) snd_seq_ev_set_controller(&ev, channel, r[4], r[6] | r[7] << 8);
        else if (r[2] == MIDI_PGM_CHANGE && r[4] < 128) snd_seq_ev_set_pgmchange(&ev, channel, r[4]);
        else if (r[2] == MIDI_CHN_PRESSURE) snd_seq_ev_set_chanpress(&ev, channel, r[4]);
        else if (r[2] == MIDI_PITCH_BEND) snd_seq_ev_set_pitchbend(&ev, channel, (r[6] | r[7] << 8) - 8192);
        else return;
        snd_seq_event_output(seq_, &ev);
    }
    // Sysex records carry six bytes each, padded with 0xff; the message
    // goes out whole once its closing F7 has come.
    void collectSysex(const unsigned char* r) {
        for (int i = 2; i < 8 && r[i] != 0xff; ++i) sysex_.push_back(r[i]);
        if (sysex_.empty() || sysex_.back() != 0xf7) {
            if (sysex_.size() > 65536) sysex_.clear();
            return;
        }
        snd_seq_event_t ev = event();
        snd_seq_ev_set_sysex(&ev, sysex_.size(), sysex_.data());
        snd_seq_event_output(seq_, &ev);
        sysex_.clear();
    }
    StopCheck stopped_;
    snd_seq_t* seq_ = nullptr;
    int port_ = -1;
    RecordClock clock_;
    std::vector<unsigned char> sysex_;
};
#endif

}  // namespace

std::unique_ptr<SequencerDevice> chooseSequencer(StopCheck stopped) {
    if (const char* sink = std::getenv("TALVIX_MIDI_SINK"); sink && *sink) {
        int fd = open(sink, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        if (fd < 0) return nullptr;
        return std::make_unique<SequencerSink>(fd, stopped);
    }
    if (int fd = open("/dev/sequencer", O_WRONLY | O_CLOEXEC); fd >= 0) {
        auto device = std::make_unique<OssSequencer>(fd, stopped);
        if (!device->setup()) return nullptr;
        return device;
    }
#ifdef TALVIX_HAVE_ALSA
    if (auto device = std::make_unique<AlsaSequencer>(stopped); device->open()) return device;
#endif
    return nullptr;
}
