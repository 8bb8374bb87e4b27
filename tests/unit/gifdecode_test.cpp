// GIF decoder on hand-made byte strings: real LZW strings (including the
// code that names the entry being built), code widths up to a full
// table, interlaced row order, several images, the graphic control
// extension, and damaged streams that must be refused without reading
// past what they hold.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/context.h"
#include "present/gifdecode.h"

namespace {

using Bytes = std::vector<unsigned char>;

void append(Bytes& out, std::initializer_list<int> bytes) {
    for (int b : bytes) out.push_back((unsigned char)b);
}

// Codes of the given widths packed least significant bit first, cut into
// sub-blocks and terminated.
Bytes codeBlocks(const std::vector<std::pair<int, int>>& codes) {
    Bytes data;
    unsigned acc = 0;
    int held = 0;
    for (auto [code, width] : codes) {
        acc |= unsigned(code) << held;
        held += width;
        while (held >= 8) {
            data.push_back((unsigned char)(acc & 0xFF));
            acc >>= 8;
            held -= 8;
        }
    }
    if (held) data.push_back((unsigned char)acc);
    Bytes out;
    for (size_t i = 0; i < data.size(); i += 255) {
        size_t n = std::min<size_t>(255, data.size() - i);
        out.push_back((unsigned char)n);
        out.insert(out.end(), data.begin() + long(i), data.begin() + long(i + n));
    }
    out.push_back(0);
    return out;
}

// Header with a 4-entry global table: black, red, green, blue.
Bytes header(int width, int height) {
    Bytes out{'G', 'I', 'F', '8', '9', 'a'};
    append(out, {width & 0xFF, width >> 8, height & 0xFF, height >> 8, 0x81, 0, 0});
    append(out, {0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0, 255});
    return out;
}

Bytes descriptor(int width, int height, int flags = 0) {
    Bytes out{','};
    append(out, {0, 0, 0, 0, width & 0xFF, width >> 8, height & 0xFF, height >> 8, flags});
    return out;
}

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

struct Decoded {
    bool ok;
    GifImage image;
    std::string err;
};

Decoded decode(UnitContext& ctx, Bytes bytes, int number = 1) {
    Decoded d;
    std::FILE* in = fmemopen(bytes.empty() ? nullptr : bytes.data(), bytes.size(), "rb");
    if (!in) in = std::tmpfile();
    testing::internal::CaptureStderr();
    d.ok = decodeGif(&ctx, in, number, &d.image);
    d.err = testing::internal::GetCapturedStderr();
    std::fclose(in);
    return d;
}

// Six zeros as 0, 00, 000: the second and third codes each name the
// entry the decoder is about to add, and the end code comes one bit wider.
Bytes sixZeros() {
    return Bytes{2} + codeBlocks({{4, 3}, {0, 3}, {6, 3}, {7, 3}, {5, 4}});
}

TEST(GifDecode, StringsThatNameTheEntryBeingBuilt) {
    UnitContext ctx;
    Decoded d = decode(ctx, header(3, 2) + descriptor(3, 2) + sixZeros() + Bytes{';'});
    ASSERT_TRUE(d.ok) << d.err;
    EXPECT_EQ(d.image.width, 3);
    EXPECT_EQ(d.image.pixels, (std::vector<std::uint8_t>(6, 0)));
    EXPECT_EQ(d.image.rgb[1], 0xFF0000);
    EXPECT_EQ(d.image.transparent, -1);
    EXPECT_EQ(d.err, "");
}

// Literal codes for the values after one clear code, with the widths a
// decoder uses as its table fills, then the end code.
std::vector<std::pair<int, int>> literalCodes(const std::vector<int>& values, int rootBits) {
    std::vector<std::pair<int, int>> codes{{1 << rootBits, rootBits + 1}};
    int next = (1 << rootBits) + 2, width = rootBits + 1;
    for (size_t i = 0; i < values.size(); ++i) {
        codes.push_back({values[i], width});
        if (i > 0 && next < 4096) {
            ++next;
            if (next == (1 << width) && width < 12) ++width;
        }
    }
    codes.push_back({(1 << rootBits) + 1, width});
    return codes;
}

// Without a clear code the widths grow from 9 to 12 bits and a full
// table stays at 12 bits.
TEST(GifDecode, FullTableKeepsTwelveBits) {
    std::vector<int> values;
    for (int i = 0; i < 5000; ++i) values.push_back(i % 4);
    UnitContext ctx;
    Decoded d = decode(ctx, header(100, 50) + descriptor(100, 50) + Bytes{8} +
                                codeBlocks(literalCodes(values, 8)) + Bytes{';'});
    ASSERT_TRUE(d.ok) << d.err;
    ASSERT_EQ(d.image.pixels.size(), values.size());
    for (size_t i = 0; i < values.size(); ++i) ASSERT_EQ(d.image.pixels[i], values[i]) << i;
}

// The second image of the stream, interlaced: rows arrive as 0, 8 / 4 /
// 2, 6 / 1, 3, 5, 7, 9, and each row holds its stream position.
TEST(GifDecode, InterlacedSecondImage) {
    const int order[10] = {0, 8, 4, 2, 6, 1, 3, 5, 7, 9};
    std::vector<int> values;
    for (int k = 0; k < 10; ++k) values.push_back(k % 4);
    Bytes second = descriptor(1, 10, 0x40) + Bytes{2} + codeBlocks(literalCodes(values, 2));
    UnitContext ctx;
    Decoded d = decode(ctx, header(3, 10) + descriptor(3, 2) + sixZeros() + second + Bytes{';'}, 2);
    ASSERT_TRUE(d.ok) << d.err;
    ASSERT_EQ(d.image.height, 10);
    for (int k = 0; k < 10; ++k) EXPECT_EQ(d.image.pixels[size_t(order[k])], k % 4) << k;
    Decoded third = decode(ctx, header(3, 10) + descriptor(3, 2) + sixZeros() + Bytes{';'}, 2);
    EXPECT_FALSE(third.ok);
    EXPECT_EQ(third.err, "Error: only 1 image found in file\n");
}

// The extension state comes from the stream's graphic control extension
// and starts afresh for the next stream.
TEST(GifDecode, GraphicControlExtension) {
    Bytes control{'!', 0xF9, 4, 0x0D, 0x02, 0x01, 2, 0};
    Bytes comment{'!', 0xFE, 3, 'a', 'b', 'c', 0};
    Bytes body = descriptor(3, 2) + sixZeros() + Bytes{';'};
    UnitContext ctx;
    Decoded d = decode(ctx, header(3, 2) + comment + control + body);
    ASSERT_TRUE(d.ok) << d.err;
    EXPECT_EQ(d.image.transparent, 2);
    EXPECT_EQ(ctx.gifDisposal, 3);
    EXPECT_EQ(ctx.gifInput, 0);
    EXPECT_EQ(ctx.gifDelay, 0x0102);
    d = decode(ctx, header(3, 2) + body);
    EXPECT_EQ(d.image.transparent, -1);
    EXPECT_EQ(ctx.gifTransparent, -1);
}

TEST(GifDecode, CodesThatNameNoString) {
    UnitContext ctx;
    for (auto codes : {std::vector<std::pair<int, int>>{{4, 3}, {7, 3}},
                       std::vector<std::pair<int, int>>{{4, 3}, {1, 3}, {7, 3}}}) {
        Decoded d = decode(ctx, header(3, 2) + descriptor(3, 2) + Bytes{2} + codeBlocks(codes) + Bytes{';'});
        EXPECT_FALSE(d.ok);
        EXPECT_EQ(d.err, "Error: circular GIF table entry BIG ERROR\n");
    }
    Decoded wide = decode(ctx, header(3, 2) + descriptor(3, 2) + Bytes{12, 0, ';'});
    EXPECT_FALSE(wide.ok);
    EXPECT_EQ(wide.err, "Error: error reading image\n");
}

// Every prefix of a good file is decoded or refused; a decoded one has
// all its pixels, and one cut inside the image data is refused.
TEST(GifDecode, EveryTruncationIsSafe) {
    std::vector<int> values(60, 3);
    Bytes file = header(10, 6) + descriptor(10, 6) + Bytes{2} + codeBlocks(literalCodes(values, 2)) + Bytes{';'};
    size_t dataStart = header(10, 6).size() + descriptor(10, 6).size();
    UnitContext ctx;
    for (size_t n = 0; n < file.size(); ++n) {
        Decoded d = decode(ctx, Bytes(file.begin(), file.begin() + long(n)));
        if (d.ok) {
            EXPECT_EQ(d.image.pixels.size(), 60u);
        }
        if (n < dataStart + 10) {
            EXPECT_FALSE(d.ok) << n;
        }
    }
}

}  // namespace
