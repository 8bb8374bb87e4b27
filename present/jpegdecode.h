// JPEG decoding through libjpeg into samples, with nothing of the
// display: a source manager over the Kiv stream, an error manager that
// returns control instead of ending the process, and limits on the
// picture's size and on the number of scans a progressive file may ask
// for. present/imagejpeg.cpp turns the samples into a picture.
#pragma once
#include <vector>

#include "net/kivstream.h"

// A progressive file may split its coefficients over many scans, each of
// which passes over the whole picture; real files use a few dozen at most.
inline constexpr int kMaxJpegScans = 100;

struct JpegLimits {
    long long maxPixels;
    int maxScans = kMaxJpegScans;
};

// Quantisation to a fixed palette of `count` entries (RGB triples).
struct JpegPalette {
    const unsigned char* rgb = nullptr;
    int count = 0;
};

struct JpegImage {
    int width = 0;
    int height = 0;
    // RGB triples row by row, or palette indices when a palette was given.
    std::vector<unsigned char> samples;
    bool rgb = true;
};

// Decodes the stream; problems are reported on standard error in
// libjpeg's words. False when no picture could be had; a truncated file
// still gives what was decoded. palette may be null for RGB samples.
bool decodeJpeg(KivStream* in, const JpegLimits& limits, const JpegPalette* palette, JpegImage* out);
