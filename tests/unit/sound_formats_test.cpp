// Sound-file decoding and request headers on hand-made byte strings.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sound/request.h"
#include "sound/sound_formats.h"

namespace {

using Bytes = std::string;

Bytes le16(unsigned v) { return Bytes{char(v & 0xff), char(v >> 8)}; }
Bytes le32(unsigned v) { return le16(v & 0xffff) + le16(v >> 16); }
Bytes be32(unsigned v) { return Bytes{char(v >> 24), char(v >> 16), char(v >> 8), char(v)}; }

Bytes wav(unsigned channels, unsigned rate, unsigned bits, const Bytes& data, unsigned tag = 1,
          const Bytes& fmtExtra = "") {
    Bytes fmt = le16(tag) + le16(channels) + le32(rate) + le32(rate * channels * bits / 8) +
                le16(channels * bits / 8) + le16(bits) + fmtExtra;
    Bytes body = "WAVEfmt " + le32(unsigned(fmt.size())) + fmt + "data" + le32(unsigned(data.size())) + data;
    return "RIFF" + le32(unsigned(body.size())) + body;
}

struct Decoded {
    std::string error;
    DecodedSound sound;
};

Decoded decode(const char* type, const Bytes& bytes) {
    Decoded d;
    d.error = decodeSound(type, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), d.sound);
    return d;
}

std::vector<std::int32_t> shifted(std::vector<int> values, int shift) {
    std::vector<std::int32_t> out;
    for (int v : values) out.push_back(static_cast<std::int32_t>(static_cast<std::uint32_t>(v) << shift));
    return out;
}

TEST(SoundFormats, WaveSamplesAreSignedWordsOrUnsignedBytesLimitedByTheDataChunk) {
    Decoded words = decode("WAV", wav(2, 11025, 16, le16(1000) + le16(0xfc18) + le16(0x7fff)));
    ASSERT_EQ(words.error, "");
    EXPECT_EQ(words.sound.rate, 11025);
    EXPECT_EQ(words.sound.channels, 2);
    EXPECT_EQ(words.sound.samples, shifted({1000, -1000, 32767}, 16));

    Decoded bytes = decode("wav", wav(1, 8000, 8, Bytes("\x80\xff\x00", 3)) + "trailing");
    ASSERT_EQ(bytes.error, "");
    EXPECT_EQ(bytes.sound.samples, shifted({0, 127, -128}, 24));

    Decoded extended = decode("wav", wav(1, 8000, 16, le16(5), 1, le16(0)));
    ASSERT_EQ(extended.error, "");
    EXPECT_EQ(extended.sound.samples, shifted({5}, 16));
}

TEST(SoundFormats, DamagedWaveHeadersGiveTheirMessages) {
    Bytes good = wav(1, 8000, 16, le16(1));
    EXPECT_EQ(decode("wav", "RIFX" + good.substr(4)).error, "Not a RIFF file");
    EXPECT_EQ(decode("wav", good.substr(0, 8) + "WAVF" + good.substr(12)).error, "Not a WAVE file");
    EXPECT_EQ(decode("wav", good.substr(0, 12) + "LIST" + good.substr(16)).error, "Missing fmt spec");
    EXPECT_EQ(decode("wav", wav(1, 8000, 16, "", 3)).error, "Don't understand format");
    EXPECT_EQ(decode("wav", wav(1, 8000, 24, "abc")).error, "Don't understand size");
    EXPECT_EQ(decode("wav", good.substr(0, 36) + "fact").error, "Missing data portion");
    EXPECT_EQ(decode("wav", wav(1, 99, 16, "")).error, "Sampling rate 99 for input file is bogus\n");
    for (std::size_t cut = 0; cut < good.size(); ++cut) decode("wav", good.substr(0, cut));
}

TEST(SoundFormats, AbsurdWaveSizesDecodeOnlyTheBytesPresent) {
    Bytes huge = wav(0, 8000, 16, le16(7));
    huge.replace(huge.size() - 6, 4, le32(0xffffffff));
    Decoded d = decode("wav", huge);
    ASSERT_EQ(d.error, "");
    EXPECT_EQ(d.sound.channels, 1);
    EXPECT_EQ(d.sound.samples, shifted({7}, 16));
}

Bytes au(const Bytes& magic, bool big, unsigned headerSize, unsigned encoding, unsigned rate, unsigned channels) {
    auto field = [big](unsigned v) { return big ? be32(v) : le32(v); };
    return magic + field(headerSize) + field(0) + field(encoding) + field(rate) + field(channels);
}

TEST(SoundFormats, SunHeadersChooseTheByteOrderByTheirMagic) {
    Decoded big = decode("au", au(".snd", true, 28, 3, 8000, 2) + "info" + Bytes("\x12\x34\xff\xfe", 4));
    ASSERT_EQ(big.error, "");
    EXPECT_EQ(big.sound.channels, 2);
    EXPECT_EQ(big.sound.samples, shifted({0x1234, -2}, 16));

    Decoded swapped = decode("AU", au("dns.", false, 24, 3, 8000, 1) + Bytes("\x12\x34", 2));
    ASSERT_EQ(swapped.error, "");
    EXPECT_EQ(swapped.sound.samples, shifted({0x3412}, 16));

    Decoded dec = decode("au", au(Bytes(".sd\0", 4), true, 24, 2, 8000, 1) + "\x80");
    EXPECT_EQ(dec.sound.samples, shifted({-128}, 24));

    Decoded ulaw = decode("au", au(".snd", true, 24, 1, 8000, 1) + Bytes("\xff\x00\x80", 3));
    EXPECT_EQ(ulaw.sound.samples, shifted({0, -32124, 32124}, 16));
}

TEST(SoundFormats, DamagedSunHeadersGiveTheirMessages) {
    EXPECT_EQ(decode("au", "not a sound at all").error,
              "Sun/NeXT/DEC header doesn't start with magic word\n"
              "Try the '.ul' file type with '-t ul -r 8000 filename'");
    EXPECT_EQ(decode("au", au(".snd", true, 20, 1, 8000, 1)).error, "Sun/NeXT header size too small.");
    EXPECT_EQ(decode("au", au(".snd", true, 24, 5, 8000, 1)).error,
              "Unsupported encoding in Sun/NeXT header.\n"
              "Only U-law, signed bytes, and signed words are supported.");
    EXPECT_EQ(decode("au", au(".snd", true, 0xffffffff, 1, 8000, 1)).error, "Unexpected EOF in Sun/NeXT header info.");
    EXPECT_EQ(decode("au", au(".snd", true, 24, 1, 0, 1)).error, "Sampling rate 0 for input file is bogus\n");
}

TEST(SoundFormats, TypeTableDefaultsAndRefusals) {
    Decoded ub = decode("fssd", "\x80\x81");
    EXPECT_EQ(ub.sound.rate, 8000);
    EXPECT_EQ(ub.sound.samples, shifted({0, 1}, 24));
    EXPECT_EQ(decode("uw", le16(0x8001)).sound.samples, shifted({1}, 16));
    EXPECT_EQ(decode("sw", le16(0x8001)).sound.samples, shifted({-32767}, 16));
    EXPECT_EQ(decode("ul", "\xff").sound.samples, shifted({0}, 16));

    Decoded voc = decode("voc", "anything");
    EXPECT_EQ(voc.error, "");
    EXPECT_TRUE(voc.sound.samples.empty());
    EXPECT_EQ(decode("", "x").error, "Must give file type for input file, either as suffix or with -t option");
    EXPECT_EQ(decode("mp3", "x").error, "File type 'mp3' of input file is not known!");
    EXPECT_EQ(decode("raw", "x").error, "Data size was not given for input file\nUse one of -b/-w/-l/-f/-d/-D");
    EXPECT_EQ(decode("sndr", "x").error, "Sampling rate for input file was not given\n");
}

TEST(SoundFormats, ReducingChannelsAveragesAdjacentSamples) {
    std::vector<std::int32_t> samples{100, 300, -7, -8, 5};
    reduceChannels(samples);
    EXPECT_EQ(samples, (std::vector<std::int32_t>{200, -7}));
}

TEST(SoundRequestHeader, ParsesWellFormedHeadersAndRefusesGarbage) {
    PipeRequest r;
    long count = 0;
    ASSERT_TRUE(parseHeader("123 wav C", true, count, r));
    EXPECT_EQ(count, 123);
    EXPECT_EQ(r.type, "wav");
    EXPECT_EQ(r.mode, 'C');
    ASSERT_TRUE(parseHeader("5  S", true, count, r));
    EXPECT_EQ(r.type, "");
    ASSERT_TRUE(parseHeader("0 S", false, count, r));
    for (const char* garbage : {"", "x S", "-4 S", "99999999999999999999999 S", "12 S", "12 wav", "12 wav SS"})
        EXPECT_FALSE(parseHeader(garbage, true, count, r)) << garbage;
}

}  // namespace
