// GIF decoding (GIF87a and GIF89a, variable-length LZW of up to 12 bits)
// into colour indices and a colour table. Nothing here touches the
// display: the image code converts the result into pictures.
#pragma once
#include <array>
#include <cstdint>
#include <vector>

#include "net/kivstream.h"

struct UnitContext;

// Largest picture accepted from any image file: each side must fit X's
// 16-bit sizes and the pixel count bounds the memory one image may take.
inline constexpr int kMaxImageSide = 32767;
inline constexpr long long kMaxImagePixels = 16LL * 1024 * 1024;

struct GifImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels;   // width * height colour indices, rows from the top
    std::array<int, 256> rgb{};         // colour table as 0xRRGGBB; missing entries black
    int colours = 0;                    // entries the file's table held
    int transparent = -1;               // transparent index, -1 for none
};

// Decodes image number imageNumber (1 for the first) of the stream.
// Problems are reported on standard error; false when no image could be
// had. A graphic control extension updates the context's GIF extension
// state (transparent index, delay, input flag, disposal), which starts
// afresh for every stream.
bool decodeGif(UnitContext* ctx, KivStream* in, int imageNumber, GifImage* out);

// Reports and refuses a size no picture can have: "Error: image of %d by
// %d pixels is too large" or "... is empty".
bool imageSizeAcceptable(int width, int height);
