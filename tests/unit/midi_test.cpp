// MIDI file parsing and playback order on hand-made files, played into a
// device that records the event records it receives.
#include <gtest/gtest.h>

#include <cstring>
#include <list>
#include <string>
#include <vector>

#include "sound/midi_file.h"
#include "sound/midi_player.h"

namespace {

using Bytes = std::string;

Bytes be16(unsigned v) { return Bytes{char(v >> 8), char(v)}; }
Bytes be32(unsigned v) { return be16(v >> 16) + be16(v & 0xffff); }
Bytes header(unsigned format, unsigned tracks, unsigned division) {
    return "MThd" + be32(6) + be16(format) + be16(tracks) + be16(division);
}
Bytes track(const Bytes& events) { return "MTrk" + be32(unsigned(events.size())) + events; }

// A song points into its file's bytes, so the files parsed stay alive.
MidiSong parse(const Bytes& file) {
    static std::list<Bytes> files;
    const Bytes& kept = files.emplace_back(file);
    return readmidi(reinterpret_cast<const unsigned char*>(kept.data()), kept.size());
}

// Events of a track in order, as "status data1 data2" or "meta type".
std::vector<std::string> events(MidiTrack t) {
    std::vector<std::string> out;
    MidiSong song;
    song.tracks.push_back(t);
    startTracks(song);
    MidiEvent e;
    while (song.tracks[0].nextTime >= 0 && readEvent(song.tracks[0], e)) {
        out.push_back(e.status == 0xff ? "meta " + std::to_string(e.metaType)
                                       : std::to_string(e.status) + " " + std::to_string(e.data1) + " " +
                                             std::to_string(e.data2));
        advanceTrack(song.tracks[0]);
    }
    return out;
}

TEST(MidiFile, RunningStatusMetaEventsAndVariableLengthTimes) {
    Bytes body = Bytes("\x00\x90\x3c\x40\x81\x00\x3c\x00\x00\xff\x51\x03\x07\xa1\x20", 15);
    MidiSong song = parse(header(0, 1, 96) + track(body));
    ASSERT_EQ(song.tracks.size(), 1u);
    EXPECT_EQ(song.division, 96);
    EXPECT_EQ(events(song.tracks[0]), (std::vector<std::string>{"144 60 64", "144 60 0", "meta 81"}));
    startTracks(song);
    MidiEvent e;
    readEvent(song.tracks[0], e);
    advanceTrack(song.tracks[0]);
    EXPECT_EQ(song.tracks[0].nextTime, 128);
}

TEST(MidiFile, DamagedFilesAreTakenAsFarAsTheyGo) {
    Bytes notes = Bytes("\x00\x90\x3c\x40\x10\x80\x3c\x00", 8);
    MidiSong riff = parse("RIFF" + be32(0) + "RMIDdata" + be32(0) + header(0, 1, 96) + track(notes));
    ASSERT_EQ(riff.tracks.size(), 1u);
    EXPECT_EQ(events(riff.tracks[0]).size(), 2u);

    MidiSong untagged = parse(header(0, 1, 96) + notes);
    ASSERT_EQ(untagged.tracks.size(), 1u);
    EXPECT_EQ(events(untagged.tracks[0]).size(), 2u);

    MidiSong cut = parse(header(1, 2, 96) + "MTrk" + be32(1000) + notes);
    ASSERT_EQ(cut.tracks.size(), 1u);
    EXPECT_EQ(cut.tracks[0].length, notes.size());

    MidiSong skipped = parse(header(1, 2, 96) + track(notes) + "junk" + track(notes));
    ASSERT_EQ(skipped.tracks.size(), 2u);
    EXPECT_EQ(events(skipped.tracks[1]).size(), 2u);

    MidiSong bare = parse(notes);
    EXPECT_EQ(bare.division, 40);
    EXPECT_EQ(events(bare.tracks[0]).size(), 2u);

    MidiSong many = parse(header(1, 200, 96) + track(notes));
    EXPECT_EQ(many.ignoredTracks, 72);

    for (Bytes damaged : {Bytes("\x00\x90\x3c", 3), Bytes("\x00\xf0\x7f\x01", 4), Bytes("\x00\xff", 2)})
        EXPECT_TRUE(events(parse(header(0, 1, 96) + track(damaged)).tracks[0]).empty());
    Bytes noStatus = Bytes("\x00\x3c\x40", 3);
    EXPECT_TRUE(events(parse(header(0, 1, 96) + track(noStatus)).tracks[0]).empty());
    Bytes file = header(1, 2, 96) + track(notes) + track(notes);
    for (std::size_t size = 0; size < file.size(); ++size) {
        MidiSong part = parse(file.substr(0, size));
        for (MidiTrack& t : part.tracks) events(t);
    }
}

TEST(MidiFile, CreativeMusicFilesAreOneTrackTimedByTheirHeader) {
    Bytes music = Bytes("\x00\x90\x3c\x40\x30\x80\x3c\x00", 8);
    Bytes head = Bytes("CTMF\x01\x01\x00\x00", 8) + Bytes("\x10\x00\x30\x00\x60\x00", 6);
    Bytes file = head + Bytes(2, '\0') + music;
    MidiSong song = parse(file);
    ASSERT_EQ(song.tracks.size(), 1u);
    EXPECT_EQ(song.division, 48);
    EXPECT_EQ(song.tempo, 500000);
    EXPECT_EQ(events(song.tracks[0]).size(), 2u);
    EXPECT_TRUE(parse(head.substr(0, 10)).tracks.empty());
    EXPECT_TRUE(parse(head.substr(0, 10) + Bytes(4, '\0')).tracks.empty());
}

TEST(MidiFile, TicksBecomeHundredthsByTempoAndDivision) {
    EXPECT_DOUBLE_EQ(ticksToHundredths(96, 500000, 96), 50);
    EXPECT_DOUBLE_EQ(ticksToHundredths(96, 250000, 96), 25);
    EXPECT_DOUBLE_EQ(ticksToHundredths(50, 500000, -(25 << 8) + 4), 50);
    EXPECT_DOUBLE_EQ(ticksToHundredths(10, 500000, -32768), 0);
}

class Recorder : public SequencerDevice {
public:
    int fmDevice() const override { return 0; }
    SeqWrite write(const unsigned char* r, std::size_t size) override {
        records.append(reinterpret_cast<const char*>(r), size);
        return SeqWrite::Ok;
    }
    void reset() override {}
    // Records after the start-up ones, as "note <n> at <hundredths>".
    std::vector<std::string> notes() const {
        std::vector<std::string> out;
        std::uint32_t now = 0;
        for (std::size_t at = 0; at + 8 <= records.size(); at += 8) {
            const auto* r = reinterpret_cast<const unsigned char*>(records.data() + at);
            if (r[0] == 0x81 && r[1] == 2) std::memcpy(&now, r + 4, 4);
            if (r[0] == 0x93 && r[2] == 0x90) out.push_back("note " + std::to_string(r[4]) + " at " + std::to_string(now));
        }
        return out;
    }
    std::string records;
};

bool neverStopped() { return false; }

std::vector<std::string> play(const Bytes& file) {
    MidiSong song = parse(file);
    Recorder device;
    EXPECT_EQ(playevents(song, device, neverStopped), PlayResult::Finished);
    return device.notes();
}

TEST(MidiPlayback, TracksMergeInTimeOrderAtTheFileTempo) {
    Bytes first = Bytes("\x00\x90\x3c\x40\x60\x90\x3e\x40", 8);
    Bytes second = Bytes("\x30\x90\x40\x40\x60\x90\x41\x40", 8);
    EXPECT_EQ(play(header(1, 2, 96) + track(first) + track(second)),
              (std::vector<std::string>{"note 60 at 0", "note 64 at 25", "note 62 at 50", "note 65 at 75"}));
    Bytes faster = Bytes("\x00\xff\x51\x03\x03\xd0\x90", 7) + first;
    EXPECT_EQ(play(header(0, 1, 96) + track(faster)), (std::vector<std::string>{"note 60 at 0", "note 62 at 25"}));
}

TEST(MidiPlayback, StartsWithTimerSystemOnAndChannelSetup) {
    MidiSong song = parse(header(0, 1, 96) + track(Bytes("\x00\x99\x24\x40", 4)));
    Recorder device;
    playevents(song, device, neverStopped);
    ASSERT_EQ(device.records.size(), 8u * (2 + 16 * 5 + 2));
    EXPECT_EQ(device.records.substr(0, 16), Bytes("\x81\x04\0\0\0\0\0\0\x94\x00\xf0\x7e\x7f\x09\x01\xf7", 16));
    EXPECT_EQ(device.records.substr(16, 8), Bytes("\x92\x00\xb0\x00\x5b\x00\x00\x00", 8));
    EXPECT_EQ(device.records.substr(device.records.size() - 16),
              Bytes("\x92\x00\xc0\x09\xa4\0\0\0\x93\x00\x90\x09\x24\x40\0\0", 16));
}

}  // namespace
