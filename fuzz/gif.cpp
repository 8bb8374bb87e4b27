// Fuzz target: the GIF decoder on arbitrary bytes, asked for the first
// picture and for the third (which makes it read past two).
#include <cstdint>
#include <cstdio>

#include "app/context.h"
#include "present/gifdecode.h"

namespace {

void decodeImage(const std::uint8_t* data, std::size_t size, int imageNumber) {
    std::FILE* in = fmemopen(const_cast<std::uint8_t*>(data), size, "rb");
    if (!in) return;
    UnitContext ctx;
    GifImage image;
    if (decodeGif(&ctx, in, imageNumber, &image) &&
        image.pixels.size() != static_cast<std::size_t>(image.width) * image.height)
        __builtin_trap();
    std::fclose(in);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    decodeImage(data, size, 1);
    decodeImage(data, size, 3);
    return 0;
}
