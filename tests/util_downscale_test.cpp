#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "util/downscale.h"
#include "util/shrink.h"

namespace {

std::vector<unsigned char> shrink(const std::vector<unsigned char>& source, uint32_t width, uint32_t height,
                                  uint32_t channels, uint32_t targetWidth, uint32_t targetHeight) {
    std::vector<unsigned char> target(size_t(targetWidth) * targetHeight * channels, 0xEE);
    downscaleBox(source.data(), width, height, channels, target.data(), targetWidth, targetHeight);
    return target;
}

// The mean of the source area each target pixel covers, in floating point.
std::vector<double> areaMeans(const std::vector<unsigned char>& source, uint32_t width, uint32_t height,
                              uint32_t channels, uint32_t targetWidth, uint32_t targetHeight) {
    std::vector<double> means(size_t(targetWidth) * targetHeight * channels, 0.0);
    double cellWidth = double(width) / targetWidth, cellHeight = double(height) / targetHeight;
    auto overlap = [](double begin, double end, uint32_t i) {
        return std::max(0.0, std::min(end, double(i + 1)) - std::max(begin, double(i)));
    };
    for (uint32_t ty = 0; ty < targetHeight; ++ty)
        for (uint32_t y = uint32_t(ty * cellHeight); y < height && y < (ty + 1) * cellHeight; ++y)
            for (uint32_t tx = 0; tx < targetWidth; ++tx)
                for (uint32_t x = uint32_t(tx * cellWidth); x < width && x < (tx + 1) * cellWidth; ++x) {
                    double share = overlap(ty * cellHeight, (ty + 1) * cellHeight, y) *
                                   overlap(tx * cellWidth, (tx + 1) * cellWidth, x) / (cellWidth * cellHeight);
                    for (uint32_t c = 0; c < channels; ++c)
                        means[(size_t(ty) * targetWidth + tx) * channels + c] +=
                            share * source[(size_t(y) * width + x) * channels + c];
                }
    return means;
}

}  // namespace

// Whole blocks average to their exact mean, partly covered pixels count by
// their share, and a plain colour stays exactly that colour at any ratio.
TEST(DownscaleBox, AveragesTheAreaEachTargetPixelCovers) {
    // 8 x 8 RGBA of four 4 x 4 blocks, each a checker of two colours.
    const unsigned char colours[4][2][4] = {{{255, 0, 0, 255}, {255, 0, 100, 255}},
                                            {{0, 200, 0, 255}, {0, 100, 0, 255}},
                                            {{10, 20, 30, 40}, {30, 40, 50, 60}},
                                            {{0, 0, 0, 0}, {255, 255, 255, 255}}};
    std::vector<unsigned char> blocks(8 * 8 * 4);
    for (uint32_t y = 0; y < 8; ++y)
        for (uint32_t x = 0; x < 8; ++x)
            for (uint32_t c = 0; c < 4; ++c) blocks[(y * 8 + x) * 4 + c] = colours[(y / 4) * 2 + x / 4][(x + y) % 2][c];
    EXPECT_EQ(shrink(blocks, 8, 8, 4, 2, 2),
              (std::vector<unsigned char>{255, 0, 50, 255, 0, 150, 0, 255, 20, 30, 40, 50, 128, 128, 128, 128}));

    // 3 -> 2: each target pixel takes one source pixel whole and half of the middle one.
    EXPECT_EQ(shrink({0, 90, 180}, 3, 1, 1, 2, 1), (std::vector<unsigned char>{30, 150}));
    EXPECT_EQ(shrink({0, 90, 180}, 1, 3, 1, 1, 2), (std::vector<unsigned char>{30, 150}));

    // Odd sizes in both directions, three channels.
    std::vector<unsigned char> plain;
    for (int i = 0; i < 7 * 5; ++i) plain.insert(plain.end(), {17, 130, 254});
    std::vector<unsigned char> expected;
    for (int i = 0; i < 3 * 2; ++i) expected.insert(expected.end(), {17, 130, 254});
    EXPECT_EQ(shrink(plain, 7, 5, 3, 3, 2), expected);
    EXPECT_EQ(shrink(plain, 7, 5, 3, 7, 5), plain);
}

TEST(CappedSize, KeepsTheAspectAndFitsTheLongerSide) {
    struct Case {
        uint32_t width, height, cappedWidth, cappedHeight;
    };
    for (Case c : {Case{6000, 4000, 2048, 1365}, Case{4000, 6000, 1365, 2048}, Case{3000, 1000, 2048, 683},
                   Case{5000, 5000, 2048, 2048}, Case{100000, 1, 2048, 1}, Case{2048, 10, 2048, 10},
                   Case{30, 20, 30, 20}}) {
        uint32_t width = 0, height = 0;
        cappedSize(c.width, c.height, 2048, &width, &height);
        EXPECT_EQ(width, c.cappedWidth) << c.width << "x" << c.height;
        EXPECT_EQ(height, c.cappedHeight) << c.width << "x" << c.height;
    }
}

// Noise is the hardest case for rounded weights: every shrink, at a photo's
// ratio and at ratios far beyond it, stays within two steps of the true mean.
TEST(DownscaleBox, NoiseStaysCloseToTheTrueMeanAtAnyRatio) {
    std::mt19937 random(7);
    struct Case {
        uint32_t width, height, channels, targetWidth, targetHeight;
    } cases[] = {{600, 400, 3, 205, 137}, {97, 61, 4, 96, 60}, {2000, 3, 1, 19, 1}, {5, 900, 2, 1, 7}};
    for (const Case& c : cases) {
        std::vector<unsigned char> noise(size_t(c.width) * c.height * c.channels);
        for (unsigned char& value : noise) value = (unsigned char)(random() & 0xFF);
        std::vector<unsigned char> got = shrink(noise, c.width, c.height, c.channels, c.targetWidth, c.targetHeight);
        std::vector<double> want = areaMeans(noise, c.width, c.height, c.channels, c.targetWidth, c.targetHeight);
        double worst = 0;
        for (size_t i = 0; i < got.size(); ++i) worst = std::max(worst, std::fabs(got[i] - want[i]));
        EXPECT_LE(worst, 2.0) << c.width << "x" << c.height << " -> " << c.targetWidth << "x" << c.targetHeight;
    }
}

TEST(PixelSideCap, RequestsAreKeptWithinTheCap) {
    EXPECT_EQ(pixelSideCap(0), textureSideCap);
    EXPECT_EQ(pixelSideCap(1280), 1280u);
    EXPECT_EQ(pixelSideCap(3840), textureSideCap);
    EXPECT_EQ(pixelSideCap(100), 100u) << "a small window's picture is shrunk to what it shows";
}

// A plain colour stays exact through the area pre-shrink and the filter;
// clear pixels lend the opaque ones none of their colour.
TEST(ShrinkPixels, PlainColoursStayExactAndClearPixelsLendNoColour) {
    const uint32_t width = 1000, height = 640, targetWidth = 250, targetHeight = 160;
    std::vector<unsigned char> rgb(size_t(width) * height * 3);
    for (size_t i = 0; i < rgb.size(); i += 3) rgb[i] = 200, rgb[i + 1] = 120, rgb[i + 2] = 40;
    std::vector<unsigned char> shrunk(size_t(targetWidth) * targetHeight * 3);
    shrinkPixels(rgb.data(), width, height, 3, shrunk.data(), targetWidth, targetHeight);
    for (size_t i = 0; i < shrunk.size(); i += 3) {
        ASSERT_EQ((std::vector<int>{shrunk[i], shrunk[i + 1], shrunk[i + 2]}), (std::vector<int>{200, 120, 40})) << i;
    }

    // Opaque amber stripes on clear black.
    std::vector<unsigned char> rgba(size_t(width) * height * 4, 0);
    for (size_t pixel = 0; pixel < size_t(width) * height; ++pixel) {
        if ((pixel % width) / 7 % 2) continue;
        unsigned char* p = &rgba[pixel * 4];
        p[0] = 200, p[1] = 120, p[2] = 40, p[3] = 255;
    }
    shrunk.assign(size_t(targetWidth) * targetHeight * 4, 0);
    shrinkPixels(rgba.data(), width, height, 4, shrunk.data(), targetWidth, targetHeight);
    for (size_t i = 0; i < shrunk.size(); i += 4) {
        if (shrunk[i + 3] < 8) continue;  // too clear for its colour to count
        ASSERT_NEAR(shrunk[i], 200, 3) << i;
        ASSERT_NEAR(shrunk[i + 1], 120, 3) << i;
        ASSERT_NEAR(shrunk[i + 2], 40, 3) << i;
    }
}
