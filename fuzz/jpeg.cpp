// Fuzz target: the JPEG reader on arbitrary bytes, through the player's
// source and error managers. Inputs of odd length are quantised to a grey
// palette, as on a grey display; even ones decode to RGB. Pictures are
// held to a million pixels here so that one input stays well under a
// second under the sanitizers; the player's own limit is larger.
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "present/jpegdecode.h"

namespace {

constexpr long long kFuzzMaxPixels = 1024 * 1024;
constexpr int kGreys = 16;

struct GreyPalette {
    unsigned char rgb[3 * kGreys];
    GreyPalette() {
        for (int i = 0; i < kGreys; ++i) std::memset(rgb + 3 * i, i * 255 / (kGreys - 1), 3);
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    std::FILE* in = fmemopen(const_cast<std::uint8_t*>(data), size, "rb");
    if (!in) return 0;
    static const GreyPalette greys;
    JpegPalette palette{greys.rgb, kGreys};
    JpegImage image;
    bool decoded = decodeJpeg(in, JpegLimits{kFuzzMaxPixels}, size % 2 ? &palette : nullptr, &image);
    std::size_t perPixel = image.rgb ? 3 : 1;
    if (decoded && image.samples.size() != perPixel * image.width * image.height) __builtin_trap();
    std::fclose(in);
    return 0;
}
