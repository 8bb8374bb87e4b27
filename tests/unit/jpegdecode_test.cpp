// JPEG decoding on the fuzz seeds: RGB and quantised samples of the right
// size, and the limits that refuse a picture before it is decoded or give
// up a progressive file with too many scans.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "present/jpegdecode.h"

namespace {

struct Decoded {
    bool ok = false;
    JpegImage image;
    std::string err;
};

Decoded decode(const char* seed, const JpegLimits& limits, const JpegPalette* palette = nullptr) {
    std::string path = std::string(TALVIX_SOURCE_DIR) + "/fuzz/corpus/jpeg/" + seed;
    std::FILE* in = std::fopen(path.c_str(), "rb");
    EXPECT_NE(in, nullptr) << path;
    Decoded d;
    if (!in) return d;
    testing::internal::CaptureStderr();
    d.ok = decodeJpeg(in, limits, palette, &d.image);
    d.err = testing::internal::GetCapturedStderr();
    std::fclose(in);
    return d;
}

}  // namespace

TEST(JpegDecode, SamplesAreRgbTriplesOrPaletteIndices) {
    Decoded rgb = decode("baseline.jpg", JpegLimits{1000});
    ASSERT_TRUE(rgb.ok) << rgb.err;
    EXPECT_EQ(rgb.image.width, 16);
    EXPECT_EQ(rgb.image.height, 8);
    EXPECT_TRUE(rgb.image.rgb);
    EXPECT_EQ(rgb.image.samples.size(), 16u * 8 * 3);
    // The left end of the red-to-blue ramp is red.
    EXPECT_GT(rgb.image.samples[0], 200);
    EXPECT_LT(rgb.image.samples[2], 60);

    const unsigned char blackWhite[] = {0, 0, 0, 255, 255, 255};
    JpegPalette palette{blackWhite, 2};
    Decoded grey = decode("grey.jpg", JpegLimits{1000}, &palette);
    ASSERT_TRUE(grey.ok) << grey.err;
    EXPECT_FALSE(grey.image.rgb);
    EXPECT_EQ(grey.image.samples.size(), 9u * 7);
    for (unsigned char index : grey.image.samples) EXPECT_LT(index, 2);
}

TEST(JpegDecode, LimitsRefuseLargePicturesAndEndlessScans) {
    Decoded large = decode("baseline.jpg", JpegLimits{127});
    EXPECT_FALSE(large.ok);
    EXPECT_EQ(large.err, "Error: image of 16 by 8 pixels is too large\n");
    EXPECT_TRUE(large.image.samples.empty());

    EXPECT_TRUE(decode("progressive.jpg", JpegLimits{1000}).ok);
    Decoded scans = decode("progressive.jpg", JpegLimits{1000, 4});
    EXPECT_FALSE(scans.ok);
    EXPECT_EQ(scans.err, "Error: JPEG image has more than 4 scans\n");
    EXPECT_EQ(scans.image.width, 0);
}
