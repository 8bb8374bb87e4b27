// Standard MIDI File parsing. Damaged files are taken as far as they make
// sense: a track whose length runs past the data is cut at its end, a
// missing track tag is searched for further on, and data without any
// header is played as a single track.
#include "sound/midi_file.h"

#include <cstring>

namespace {

constexpr int kHeaderlessDivision = 40;
constexpr std::size_t kRiffOffset = 20;
constexpr std::size_t kCtmfHeader = 14;

bool tagAt(const unsigned char* data, std::size_t size, std::size_t pos, const char* tag) {
    return pos <= size && size - pos >= 4 && std::memcmp(data + pos, tag, 4) == 0;
}

std::uint32_t Read32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
           static_cast<std::uint32_t>(p[2]) << 8 | p[3];
}

unsigned Read16(const unsigned char* p) { return static_cast<unsigned>(p[0]) << 8 | p[1]; }

std::size_t findTag(const unsigned char* data, std::size_t size, std::size_t from, const char* tag) {
    for (std::size_t pos = from; size >= 4 && pos <= size - 4; ++pos)
        if (tagAt(data, size, pos, tag)) return pos;
    return size;
}

MidiTrack trackOf(const unsigned char* data, std::size_t from, std::size_t to) {
    MidiTrack track;
    track.data = data + from;
    track.length = to - from;
    return track;
}

// Splits the data after the header into at most `wanted` tracks.
void readTracks(const unsigned char* data, std::size_t size, std::size_t pos, std::size_t wanted, MidiSong& song) {
    while (song.tracks.size() < wanted && pos < size) {
        if (!tagAt(data, size, pos, "MTrk")) {
            std::size_t next = findTag(data, size, pos, "MTrk");
            if (next == size) {
                song.tracks.push_back(trackOf(data, pos, size));
                return;
            }
            if (!song.tracks.empty()) {
                MidiTrack& previous = song.tracks.back();
                std::size_t previousStart = static_cast<std::size_t>(previous.data - data);
                if (previousStart + previous.length > next) previous.length = next - previousStart;
            }
            pos = next;
        }
        if (size - pos < 8) return;
        std::size_t start = pos + 8;
        std::size_t length = Read32(data + pos + 4);
        std::size_t end = length > size - start ? size : start + length;
        song.tracks.push_back(trackOf(data, start, end));
        pos = end;
    }
}

unsigned readLe16(const unsigned char* p) { return static_cast<unsigned>(p[1]) << 8 | p[0]; }

// A Creative Music File is one track of MIDI events; its header gives the
// music's offset, the ticks of a quarter note and the ticks of a second.
void readCreativeFile(const unsigned char* data, std::size_t size, MidiSong& song) {
    if (size < kCtmfHeader) return;
    std::size_t music = readLe16(data + 8);
    unsigned perQuarter = readLe16(data + 10);
    unsigned perSecond = readLe16(data + 12);
    if (perQuarter == 0 || perQuarter > 0x7fff || perSecond == 0) return;
    song.division = static_cast<int>(perQuarter);
    song.tempo = static_cast<long>(1000000.0 * perQuarter / perSecond);
    if (music < size) song.tracks.push_back(trackOf(data, music, size));
}

}  // namespace

MidiSong readmidi(const unsigned char* data, std::size_t size) {
    MidiSong song;
    if (tagAt(data, size, 0, "CTMF")) {
        readCreativeFile(data, size, song);
        return song;
    }
    std::size_t pos = tagAt(data, size, 0, "RIFF") ? kRiffOffset : 0;
    if (!tagAt(data, size, pos, "MThd") || size - pos < 14) {
        song.division = kHeaderlessDivision;
        if (pos < size) song.tracks.push_back(trackOf(data, pos, size));
        return song;
    }
    std::uint32_t headerLength = Read32(data + pos + 4);
    song.format = static_cast<int>(Read16(data + pos + 8));
    std::size_t announced = Read16(data + pos + 10);
    song.division = static_cast<std::int16_t>(Read16(data + pos + 12));
    if (song.division == 0) song.division = kHeaderlessDivision;
    if (announced > kMaxTracks) song.ignoredTracks = static_cast<int>(announced - kMaxTracks);
    std::size_t tracksAt = headerLength > size - pos - 8 ? size : pos + 8 + headerLength;
    readTracks(data, size, tracksAt, announced > kMaxTracks ? kMaxTracks : announced, song);
    return song;
}

std::uint32_t rvl(const MidiTrack& track, std::size_t& pos) {
    std::uint32_t value = 0;
    for (int i = 0; i < 4 && pos < track.length; ++i) {
        unsigned char byte = track.data[pos++];
        value = value << 7 | (byte & 0x7f);
        if (!(byte & 0x80)) break;
    }
    return value;
}

namespace {

// Data bytes of a channel message by its status's high nibble.
int cmdlen(unsigned char status) { return (status & 0xf0) == 0xc0 || (status & 0xf0) == 0xd0 ? 1 : 2; }

bool readCounted(MidiTrack& track, std::size_t& pos, MidiEvent& event) {
    std::uint32_t length = rvl(track, pos);
    if (length > track.length - pos) return false;
    event.bytes = track.data + pos;
    event.length = length;
    pos += length;
    return true;
}

}  // namespace

bool readEvent(MidiTrack& track, MidiEvent& event) {
    std::size_t pos = track.pos;
    if (pos >= track.length) return false;
    event = MidiEvent{};
    unsigned char first = track.data[pos];
    if (first < 0x80) {
        if (!track.running) return false;
        event.status = track.running;
    } else {
        event.status = first;
        ++pos;
        if (first < 0xf0) track.running = first;
    }
    if (event.status == 0xff) {
        if (pos >= track.length) return false;
        event.metaType = track.data[pos++];
        if (!readCounted(track, pos, event)) return false;
    } else if (event.status >= 0xf0) {
        if (!readCounted(track, pos, event)) return false;
    } else {
        int length = cmdlen(event.status);
        if (track.length - pos < static_cast<std::size_t>(length)) return false;
        event.data1 = track.data[pos] & 0x7f;
        if (length == 2) event.data2 = track.data[pos + 1] & 0x7f;
        pos += static_cast<std::size_t>(length);
    }
    track.pos = pos;
    return true;
}

void startTracks(MidiSong& song) {
    for (MidiTrack& track : song.tracks) {
        track.pos = 0;
        track.running = 0;
        track.nextTime = track.length > 0 ? rvl(track, track.pos) : -1;
    }
}

void advanceTrack(MidiTrack& track) {
    if (track.pos >= track.length) {
        track.nextTime = -1;
        return;
    }
    track.nextTime += rvl(track, track.pos);
}
