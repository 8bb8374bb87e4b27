// MIDI playback through the event buffer of the sequencer interface. Every
// channel goes to the FM synthesizer; channel 10 is percussion, whose notes
// select their drum instrument before they sound.
#include "sound/midi_player.h"

#include <linux/soundcard.h>

#include <cstring>

namespace {

constexpr std::size_t kSeqBuf = 128;
constexpr double kLongestStep = 4096;
constexpr int kPercussionChannel = 9;
constexpr int kFirstDrum = 128;
constexpr unsigned char kReverb = 0;
constexpr unsigned char kChorus = 0;
constexpr unsigned char kGmReset[] = {0xf0, 0x7e, 0x7f, 0x09, 0x01, 0xf7};

// The 128-byte event buffer (_seqbuf) and its writing to the device.
class SeqBuf {
public:
    SeqBuf(SequencerDevice& device) : device_(device) {}
    SeqWrite status() const { return status_; }
    void dump() {
        if (used_ > 0 && status_ == SeqWrite::Ok) status_ = device_.write(buf_, used_);
        used_ = 0;
    }
    void record(const unsigned char (&bytes)[8]) {
        if (used_ + 8 > kSeqBuf) dump();
        std::memcpy(buf_ + used_, bytes, 8);
        used_ += 8;
    }
    void chnVoice(int dev, int event, int chn, int note, int parm) {
        record({EV_CHN_VOICE, u8(dev), u8(event), u8(chn), u8(note), u8(parm), 0, 0});
    }
    void chnCommon(int dev, int event, int chn, int p1, int p2, int w14) {
        record({EV_CHN_COMMON, u8(dev), u8(event), u8(chn), u8(p1), u8(p2), u8(w14 & 0xff), u8(w14 >> 8)});
    }
    void timer(int event, std::uint32_t parm) {
        unsigned char bytes[8] = {EV_TIMING, u8(event), 0, 0};
        std::memcpy(bytes + 4, &parm, sizeof parm);
        record(bytes);
    }
    // System exclusive messages go out six bytes per record, padded.
    void sysex(int dev, const unsigned char* data, std::size_t length) {
        for (std::size_t at = 0; at < length; at += 6) {
            unsigned char bytes[8] = {EV_SYSEX, u8(dev), 0xff, 0xff, 0xff, 0xff, 0xff, 0xff};
            for (std::size_t i = 0; i < 6 && at + i < length; ++i) bytes[2 + i] = data[at + i];
            record(bytes);
        }
    }

private:
    static unsigned char u8(int value) { return static_cast<unsigned char>(value); }
    SequencerDevice& device_;
    unsigned char buf_[kSeqBuf];
    std::size_t used_ = 0;
    SeqWrite status_ = SeqWrite::Ok;
};

void setupChannels(SeqBuf& out, int dev) {
    for (int chn = 0; chn < 16; ++chn) {
        out.chnCommon(dev, MIDI_CTL_CHANGE, chn, 91, 0, kReverb);
        out.chnCommon(dev, MIDI_CTL_CHANGE, chn, 93, 0, kChorus);
        out.chnCommon(dev, MIDI_CTL_CHANGE, chn, 7, 0, 127);
        out.chnCommon(dev, MIDI_CHN_PRESSURE, chn, 127, 0, 0);
        out.chnCommon(dev, MIDI_CTL_CHANGE, chn, 74, 0, 127);
    }
}

void sendChannelEvent(SeqBuf& out, int dev, const MidiEvent& e) {
    int chn = e.status & 0x0f;
    switch (e.status & 0xf0) {
        case 0x80: out.chnVoice(dev, MIDI_NOTEOFF, chn, e.data1, e.data2); break;
        case 0x90:
            if (chn == kPercussionChannel) out.chnCommon(dev, MIDI_PGM_CHANGE, chn, kFirstDrum + e.data1, 0, 0);
            out.chnVoice(dev, MIDI_NOTEON, chn, e.data1, e.data2);
            break;
        case 0xa0: out.chnVoice(dev, MIDI_KEY_PRESSURE, chn, e.data1, e.data2); break;
        case 0xb0: out.chnCommon(dev, MIDI_CTL_CHANGE, chn, e.data1, 0, e.data2); break;
        case 0xc0:
            if (chn != kPercussionChannel) out.chnCommon(dev, MIDI_PGM_CHANGE, chn, e.data1, 0, 0);
            break;
        case 0xd0: out.chnCommon(dev, MIDI_CHN_PRESSURE, chn, e.data1, 0, 0); break;
        default: out.chnCommon(dev, MIDI_PITCH_BEND, chn, 0, 0, e.data2 << 7 | e.data1); break;
    }
}

void sendSysex(SeqBuf& out, int dev, const MidiEvent& e) {
    if (e.length <= 1) return;
    if (e.status != 0xf0) {
        out.sysex(dev, e.bytes, e.length);
        return;
    }
    unsigned char message[512];
    std::size_t length = 0;
    message[length++] = 0xf0;
    for (std::size_t at = 0; at < e.length; ++at) {
        message[length++] = e.bytes[at];
        if (length == sizeof message) {
            out.sysex(dev, message, length);
            length = 0;
        }
    }
    out.sysex(dev, message, length);
}

void sendEvent(SeqBuf& out, int dev, const MidiEvent& e, long& tempo) {
    if (e.status < 0xf0)
        sendChannelEvent(out, dev, e);
    else if (e.status == 0xff && e.metaType == 0x51 && e.length >= 3)
        tempo = e.bytes[0] << 16 | e.bytes[1] << 8 | e.bytes[2];
    else if (e.status == 0xf0 || e.status == 0xf7)
        sendSysex(out, dev, e);
}

MidiTrack* earliestTrack(MidiSong& song) {
    MidiTrack* earliest = nullptr;
    for (MidiTrack& track : song.tracks)
        if (track.nextTime >= 0 && (!earliest || track.nextTime < earliest->nextTime)) earliest = &track;
    return earliest;
}

}  // namespace

double ticksToHundredths(long long ticks, long tempo, int division) {
    if (division > 0) return static_cast<double>(ticks) * (static_cast<double>(tempo) / 10000.0) / division;
    int frames = -static_cast<signed char>((division >> 8) & 0xff);
    int perFrame = division & 0xff;
    double framesPerSecond = frames == 29 ? 29.97 : frames;
    if (framesPerSecond <= 0 || perFrame == 0) return 0;
    return static_cast<double>(ticks) * 100.0 / (framesPerSecond * perFrame);
}

PlayResult playevents(MidiSong& song, SequencerDevice& device, StopCheck stopped) {
    int dev = device.fmDevice();
    SeqBuf out(device);
    device.reset();
    out.timer(TMR_START, 0);
    out.sysex(dev, kGmReset, sizeof kGmReset);
    startTracks(song);
    setupChannels(out, dev);
    long tempo = song.tempo;
    long long lastTick = 0;
    double now = 0;
    std::uint32_t lastSent = 0;
    while (!stopped() && out.status() == SeqWrite::Ok) {
        MidiTrack* track = earliestTrack(song);
        if (!track) break;
        double step = ticksToHundredths(track->nextTime - lastTick, tempo, song.division);
        if (step > kLongestStep) break;
        lastTick = track->nextTime;
        now += step;
        if (static_cast<std::uint32_t>(now) > lastSent) {
            lastSent = static_cast<std::uint32_t>(now);
            out.timer(TMR_WAIT_ABS, lastSent);
            out.dump();
        }
        MidiEvent event;
        if (!readEvent(*track, event)) {
            track->nextTime = -1;
            continue;
        }
        sendEvent(out, dev, event, tempo);
        advanceTrack(*track);
    }
    out.dump();
    if (out.status() == SeqWrite::Failed) return PlayResult::Failed;
    return stopped() || out.status() == SeqWrite::Stopped ? PlayResult::Stopped : PlayResult::Finished;
}
