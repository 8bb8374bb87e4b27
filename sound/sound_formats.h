// Sound-file decoding for the sound server: the table of file types, the
// WAVE and Sun/NeXT/DEC headers, and the sample decoders. Works on a
// resource already held in memory, so a truncated file simply runs out of
// bytes and nothing here can block or read past the data.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Decoded samples are 32-bit with the value in the high bits: a byte
// sample shifted left by 24, a word by 16.
struct DecodedSound {
    int rate = 0;
    long channels = 1;
    std::vector<std::int32_t> samples;
};

// Decodes `size` bytes of a file of the given type (the resource name's
// extension, compared ignoring case). Returns the empty string on success,
// else the format error exactly as the server reports it. Types that are
// accepted without being played succeed with no samples.
std::string decodeSound(const char* type, const unsigned char* data, std::size_t size, DecodedSound& sound);

// G.711 u-law byte to a 16-bit linear value.
int ulawToLinear(unsigned char code);

// Replaces each pair of adjacent samples by their average, halving the
// count, for a device that grants fewer channels than the file has.
void reduceChannels(std::vector<std::int32_t>& samples);
