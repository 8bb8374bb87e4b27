// Sound-file decoding: the format table, the header readers and the sample
// decoders of the sound server. Every read goes through ByteReader, which
// yields zero bytes past the end, so damaged headers fall into the
// ordinary "don't understand" messages instead of reading out of bounds.
#include "sound/sound_formats.h"

#include <bit>
#include <cstring>
#include <strings.h>

#include "core/messages.h"

namespace {

constexpr const char* kFileName = "input";

enum SampleSize { kSizeUnset = -1, kByte = 1, kWord = 2, kLong = 4 };
enum SampleStyle { kStyleUnset = -1, kUnsigned = 1, kSigned = 2, kUlaw = 3, kAlaw = 4 };

class ByteReader {
public:
    ByteReader(const unsigned char* data, std::size_t size) : data_(data), size_(size) {}
    std::size_t left() const { return size_ - pos_; }
    bool atEnd() const { return pos_ >= size_; }
    bool startsWith(const char* tag) const {
        std::size_t n = std::strlen(tag);
        return left() >= n && std::memcmp(data_ + pos_, tag, n) == 0;
    }
    std::uint32_t take(int bytes, bool bigEndian) {
        std::uint32_t value = 0;
        for (int i = 0; i < bytes; ++i) {
            std::uint32_t byte = atEnd() ? 0 : data_[pos_++];
            value |= bigEndian ? byte << (8 * (bytes - 1 - i)) : byte << (8 * i);
        }
        return value;
    }
    bool skip(std::size_t bytes) {
        if (bytes > left()) {
            pos_ = size_;
            return false;
        }
        pos_ += bytes;
        return true;
    }

private:
    const unsigned char* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

struct Description {
    long rate = -1;
    int size = kSizeUnset;
    int style = kStyleUnset;
    long channels = -1;
    bool bigEndian = std::endian::native == std::endian::big;
    // Samples the WAVE data chunk still holds; negative means unlimited.
    long long remaining = -1;
};

using StartRead = std::string (*)(ByteReader&, Description&);

struct FormatRow {
    const char* names[8];
    StartRead start;
    bool producesSound;
};

void defaultRateAndChannels(Description& d) {
    if (d.rate < 0) d.rate = 8000;
    if (d.channels < 0) d.channels = 1;
}

std::string rawstartread(ByteReader&, Description& d) {
    defaultRateAndChannels(d);
    return {};
}

std::string nostartread(ByteReader&, Description&) { return {}; }

template <int Size, int Style>
std::string fixedstartread(ByteReader&, Description& d) {
    defaultRateAndChannels(d);
    d.size = Size;
    d.style = Style;
    return {};
}

// Sun/NeXT/DEC: the magic decides the byte order of every later field.
std::string austartread(ByteReader& in, Description& d) {
    std::uint32_t magic = in.take(4, true);
    if (magic == 0x2e736e64 || magic == 0x2e736400) {
        d.bigEndian = true;
    } else if (magic == 0x646e732e || magic == 0x0064732e) {
        d.bigEndian = false;
    } else {
        return "Sun/NeXT/DEC header doesn't start with magic word\n"
               "Try the '.ul' file type with '-t ul -r 8000 filename'";
    }
    std::uint32_t headerSize = in.take(4, d.bigEndian);
    if (headerSize < 24) return "Sun/NeXT header size too small.";
    in.take(4, d.bigEndian);
    switch (in.take(4, d.bigEndian)) {
        case 1: d.size = kByte, d.style = kUlaw; break;
        case 2: d.size = kByte, d.style = kSigned; break;
        case 3: d.size = kWord, d.style = kSigned; break;
        default:
            return "Unsupported encoding in Sun/NeXT header.\n"
                   "Only U-law, signed bytes, and signed words are supported.";
    }
    d.rate = in.take(4, d.bigEndian);
    d.channels = in.take(4, d.bigEndian);
    if (!in.skip(headerSize - 24)) return "Unexpected EOF in Sun/NeXT header info.";
    return {};
}

std::string wavstartread(ByteReader& in, Description& d) {
    d.bigEndian = false;
    if (!in.startsWith("RIFF")) return "Not a RIFF file";
    in.skip(8);
    if (!in.startsWith("WAVE")) return "Not a WAVE file";
    in.skip(4);
    if (!in.startsWith("fmt ")) return "Missing fmt spec";
    in.skip(4);
    std::uint32_t fmtLength = in.take(4, false);
    if (in.take(2, false) != 1) return "Don't understand format";
    d.channels = in.take(2, false);
    d.rate = in.take(4, false);
    in.take(4, false);
    in.take(2, false);
    std::uint32_t bits = in.take(2, false);
    if (bits != 8 && bits != 16 && bits != 32) return "Don't understand size";
    d.size = static_cast<int>(bits / 8);
    d.style = bits == 8 ? kUnsigned : kSigned;
    // A longer fmt chunk carries extension fields that PCM does not need.
    if (fmtLength > 16) in.skip(fmtLength - 16 + (fmtLength & 1));
    if (!in.startsWith("data")) return "Missing data portion";
    in.skip(4);
    d.remaining = in.take(4, false) / static_cast<std::uint32_t>(d.size);
    return {};
}

const FormatRow kFormats[] = {
    {{"raw"}, rawstartread, true},
    {{"au"}, austartread, true},
    {{"ub", "sou", "fssd"}, fixedstartread<kByte, kUnsigned>, true},
    {{"uw"}, fixedstartread<kWord, kUnsigned>, true},
    {{"sw"}, fixedstartread<kWord, kSigned>, true},
    {{"ul"}, fixedstartread<kByte, kUlaw>, true},
    {{"wav"}, wavstartread, true},
    {{"sndr"}, nostartread, true},
    {{"voc", "aiff", "aif", "8svx", "iff", "hcom", "sf", "sndt"}, nostartread, false},
};

const FormatRow* gettype(const char* type) {
    for (const FormatRow& row : kFormats)
        for (const char* name : row.names)
            if (name && strcasecmp(name, type) == 0) return &row;
    return nullptr;
}

std::string checkformat(Description& d) {
    if (d.rate < 0) return formatMsg("Sampling rate for %s file was not given\n", kFileName);
    if (d.rate < 100 || d.rate > 50000) return formatMsg("Sampling rate %ld for %s file is bogus\n", d.rate, kFileName);
    if (d.size == kSizeUnset)
        return formatMsg("Data size was not given for %s file\nUse one of -b/-w/-l/-f/-d/-D", kFileName);
    if (d.style == kStyleUnset)
        return formatMsg("Data style was not given for %s file\nUse one of -s/-u/-U/-A", kFileName);
    // A header claiming no channels at all is played as mono.
    if (d.channels < 1) d.channels = 1;
    return {};
}

// Styles a sample size cannot be decoded in, reported before reading.
std::string unsupportedStyle(const Description& d) {
    if (d.style == kAlaw) return "No A-Law support";
    if (d.style == kUlaw && d.size != kByte) return "No U-Law support for shorts";
    return {};
}

std::int32_t decodeSample(std::uint32_t raw, const Description& d) {
    switch (d.size) {
        case kByte:
            if (d.style == kUlaw) return static_cast<std::int32_t>(static_cast<std::uint32_t>(ulawToLinear(raw)) << 16);
            if (d.style == kUnsigned) raw ^= 0x80;
            return static_cast<std::int32_t>(raw << 24);
        case kWord:
            if (d.style == kUnsigned) raw ^= 0x8000;
            return static_cast<std::int32_t>(raw << 16);
        default:
            if (d.style == kUnsigned) raw ^= 0x80000000u;
            return static_cast<std::int32_t>(raw);
    }
}

void readSamples(ByteReader& in, const Description& d, std::vector<std::int32_t>& samples) {
    std::size_t count = in.left() / static_cast<std::size_t>(d.size);
    if (d.remaining >= 0 && static_cast<unsigned long long>(d.remaining) < count)
        count = static_cast<std::size_t>(d.remaining);
    samples.reserve(count);
    for (std::size_t i = 0; i < count; ++i) samples.push_back(decodeSample(in.take(d.size, d.bigEndian), d));
}

}  // namespace

int ulawToLinear(unsigned char code) {
    int inverted = static_cast<unsigned char>(~code);
    int magnitude = (((inverted & 0x0f) << 3) + 0x84) << ((inverted & 0x70) >> 4);
    return (inverted & 0x80) ? 0x84 - magnitude : magnitude - 0x84;
}

void reduceChannels(std::vector<std::int32_t>& samples) {
    std::size_t pairs = samples.size() / 2;
    for (std::size_t i = 0; i < pairs; ++i) samples[i] = samples[2 * i] / 2 + samples[2 * i + 1] / 2;
    samples.resize(pairs);
}

std::string decodeSound(const char* type, const unsigned char* data, std::size_t size, DecodedSound& sound) {
    if (!type || !*type)
        return formatMsg("Must give file type for %s file, either as suffix or with -t option", kFileName);
    const FormatRow* row = gettype(type);
    if (!row) return formatMsg("File type '%s' of %s file is not known!", type, kFileName);
    ByteReader in(data, size);
    Description d;
    std::string error = row->start(in, d);
    if (error.empty() && row->producesSound) error = checkformat(d);
    if (error.empty() && row->producesSound) error = unsupportedStyle(d);
    if (!error.empty() || !row->producesSound) return error;
    sound.rate = static_cast<int>(d.rate);
    sound.channels = d.channels;
    readSamples(in, d, sound.samples);
    return {};
}
