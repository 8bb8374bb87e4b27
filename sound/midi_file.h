// Standard MIDI File parsing for the music server: finds the header (also
// inside a RIFF wrapper, or the one track of a Creative Music File), splits the data into tracks tolerantly, and reads
// events one at a time without ever passing the end of a track.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

inline constexpr std::size_t kMaxTracks = 128;

struct MidiTrack {
    const unsigned char* data = nullptr;
    std::size_t length = 0;
    std::size_t pos = 0;
    unsigned char running = 0;
    // Absolute time of the next event in ticks; -1 once the track ended.
    long long nextTime = 0;
};

struct MidiSong {
    int format = 0;
    int division = 40;
    // Microseconds per quarter note at the start of every playing.
    long tempo = 500000;
    std::vector<MidiTrack> tracks;
    // Tracks beyond kMaxTracks that the header announced.
    int ignoredTracks = 0;
};

// One event as read from a track. For channel messages `status` is the
// status byte and data1/data2 its data; for 0xF0/0xF7 `bytes` is the
// system exclusive message; for 0xFF `metaType` and `bytes` the meta event.
struct MidiEvent {
    unsigned char status = 0;
    unsigned char data1 = 0;
    unsigned char data2 = 0;
    unsigned char metaType = 0;
    const unsigned char* bytes = nullptr;
    std::size_t length = 0;
};

// Parses the file held in `data` (which must outlive the song).
MidiSong readmidi(const unsigned char* data, std::size_t size);

// Variable-length quantity at `pos`; stops at the track's end.
std::uint32_t rvl(const MidiTrack& track, std::size_t& pos);

// Reads the event at the track's position and advances past it. False
// when the track holds no complete event there any more.
bool readEvent(MidiTrack& track, MidiEvent& event);

// Starts every track: its next time becomes its first delta time.
void startTracks(MidiSong& song);

// After an event: adds the following delta time, or ends the track.
void advanceTrack(MidiTrack& track);
