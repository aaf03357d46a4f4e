// The formats DevIL cannot read, or reads wrongly, decoded in the helper by
// our own decoders: every listed extension shows its quarters at its size,
// four-channel JPEGs get their colours by the Adobe marker, and damaged
// files of each new format fail or show a picture of the file's own size,
// without taking the viewer with them.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "platform/services.h"
#include "platform/win32.h"
#include "support/decode_waits.h"
#include "support/temp_dir.h"
#include "support/test_images.h"

namespace {

using Rgba = std::array<int, 4>;
const uint32_t sampleWidth = 40, sampleHeight = 30;
const Rgba red = {255, 0, 0, 255}, green = {0, 255, 0, 255}, blue = {0, 0, 255, 255}, white = {255, 255, 255, 255};

void expectPicture(const HelperPicture& shown, uint32_t width, uint32_t height, const std::array<Rgba, 4>& quarters, int tolerance) {
    ASSERT_TRUE(shown.ok);
    ASSERT_EQ(shown.pictureWidth, width);
    ASSERT_EQ(shown.pictureHeight, height);
    for (int i = 0; i < 4; ++i) {
        Rgba seen = shown.at(i % 2 ? shown.width * 3 / 4 : shown.width / 4, i / 2 ? shown.height * 3 / 4 : shown.height / 4);
        for (int c = 0; c < 4; ++c)
            EXPECT_NEAR(seen[c], quarters[i][c], tolerance) << "quarter " << i << " channel " << c;
    }
}

std::string writeSamples(const TempDir& dir) {
    std::string script = std::string(OLVISTRA_TEST_SOURCE_DIR) + "/tests/support/make_format_samples";
    EXPECT_EQ(std::system((script + " '" + dir.path() + "'").c_str()), 0);
    return dir.path();
}

// A solid four-channel JPEG written by libjpeg: plain CMYK without the Adobe
// marker, or CMYK or YCCK with it (libjpeg then stores the inverted values
// Adobe's applications write).
void writeFourChannelJpeg(const std::string& path, J_COLOR_SPACE stored, bool adobeMarker, const unsigned char ink[4]) {
    std::vector<int> samples;
    for (int c = 0; c < 4; ++c) samples.push_back(adobeMarker ? 255 - ink[c] : ink[c]);
    writeSolidJpeg(path, 32, 16, samples, stored, adobeMarker, {});
}

// Where the pixel data begins: damage behind it cannot change the size.
size_t dataStart(const std::string& name, const std::string& bytes) {
    auto after = [&](const char* marker, size_t length) {
        size_t at = bytes.find(std::string(marker, length));
        return at == std::string::npos ? bytes.size() : at + length;
    };
    auto u32 = [&](size_t at) {
        return uint32_t(uint8_t(bytes[at])) | uint32_t(uint8_t(bytes[at + 1])) << 8 |
               uint32_t(uint8_t(bytes[at + 2])) << 16 | uint32_t(uint8_t(bytes[at + 3])) << 24;
    };
    std::string extension = name.substr(name.rfind('.') + 1);
    if (extension == "bmp") return u32(10);
    if (extension == "cut") return 6;
    if (extension == "raw") return 14;
    if (extension == "dcx") return u32(4) + 128;
    if (extension == "jpg") {
        size_t scan = after("\xFF\xDA", 2);
        return scan + (size_t(uint8_t(bytes[scan])) << 8 | uint8_t(bytes[scan + 1]));
    }
    if (extension == "jp2") return after("\xFF\x93", 2);
    // OpenEXR: attributes (name, type, size, value) up to an empty name,
    // then the offset table of one entry a scan line.
    size_t at = 8;
    while (bytes[at] != '\0') {
        at = bytes.find('\0', bytes.find('\0', at) + 1) + 1;
        at += 4 + u32(at);
    }
    return at + 1 + 8 * sampleHeight;
}

}  // namespace

// Every listed extension, as ImageMagick or the format's description writes
// it, plus a BMP with alpha, a top-down bit-field BMP and a CMYK JPEG; the
// Paint Shop Pro file is read by DevIL itself.
TEST(OwnDecoders, EveryListedFormatShowsItsQuartersAtItsSize) {
    TempDir dir;
    std::string samples = writeSamples(dir);
    std::rename((samples + "quad.cut").c_str(), (samples + "grey.cut").c_str());
    std::string cut = readBytes(samples + "grey.cut");
    writeBytes(samples + "quad.cut", cut);
    const std::array<Rgba, 4> quarters = {red, green, blue, white};
    const struct {
        const char* name;
        std::array<Rgba, 4> expected;
        int tolerance;
    } cases[] = {
        {"quad.bmp", quarters, 0},     {"alpha.bmp", {{{255, 0, 0, 127}, {0, 255, 0, 127}, {0, 0, 255, 127}, {255, 255, 255, 127}}}, 1},
        {"topdown.bmp", quarters, 0},  {"quad.jpg", quarters, 12},  {"quad.jpe", quarters, 12},  {"quad.jpeg", quarters, 12},
        {"cmyk.jpg", quarters, 12},    {"quad.jp2", quarters, 0},   {"quad.png", quarters, 0},   {"quad.gif", quarters, 0},
        {"quad.tga", quarters, 0},     {"quad.psd", quarters, 0},   {"quad.raw", quarters, 0},   {"quad.cut", quarters, 0},
        {"quad.dcx", quarters, 0},     {"quad.dds", quarters, 0},   {"quad.psp", quarters, 0},
        {"quad.dcm", {{{64, 64, 64, 255}, {128, 128, 128, 255}, {192, 192, 192, 255}, {255, 255, 255, 255}}}, 0},
        {"quad.exr", {{red, green, blue, {255, 255, 128, 128}}}, 1},
        {"grey.cut", {{{1, 1, 1, 255}, {2, 2, 2, 255}, {3, 3, 3, 255}, {4, 4, 4, 255}}}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        expectPicture(decodeWithHelper(samples + c.name), sampleWidth, sampleHeight, c.expected, c.tolerance);
    }
    decodeServiceStop();
}

// (0, 215, 235, 55) ink leaves red 255 * 200 / 255, green 40 * 200 / 255 and
// blue 20 * 200 / 255: the same colour from all three ways of storing it.
TEST(OwnDecoders, FourChannelJpegsAreReadByTheirAdobeMarker) {
    TempDir dir;
    const unsigned char ink[4] = {0, 215, 235, 55};
    const struct {
        const char* name;
        J_COLOR_SPACE stored;
        bool adobe;
    } cases[] = {{"plain-cmyk.jpg", JCS_CMYK, false}, {"adobe-cmyk.jpg", JCS_CMYK, true}, {"adobe-ycck.jpg", JCS_YCCK, true}};
    const Rgba expected = {200, 31, 16, 255};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        writeFourChannelJpeg(dir.path() + c.name, c.stored, c.adobe, ink);
        expectPicture(decodeWithHelper(dir.path() + c.name), 32, 16, {expected, expected, expected, expected}, 3);
    }
    decodeServiceStop();
}

// A JPEG far larger than it is drawn is decoded at a reduced size: the
// quarters come back upright, the full size is told, and the pixels are the
// size asked for whichever reduction (an eighth or a half, then shrunk; none)
// applies. A copy cut short decodes as the whole decode takes it.
TEST(OwnDecoders, LargeJpegDecodedReducedKeepsItsQuartersAndSize) {
    TempDir dir;
    std::string path = dir.path() + "large.jpg";
    std::string make = "convert -size 1200x900 xc:'#FF0000' -size 1200x900 xc:'#00FF00' +append '(' -size 1200x900 "
                       "xc:'#0000FF' -size 1200x900 xc:'#FFFFFF' +append ')' -append -quality 95 jpg:- >'" +
                       path + "'";
    ASSERT_EQ(std::system(make.c_str()), 0);
    const std::array<Rgba, 4> quarters = {red, green, blue, white};
    const struct {
        uint32_t maxSide, width, height;
    } cases[] = {{100, 100, 75}, {700, 700, 525}, {0, 2048, 1536}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.maxSide);
        HelperPicture shown = decodeWithHelper(path, c.maxSide);
        expectPicture(shown, 2400, 1800, quarters, 12);
        EXPECT_EQ(shown.width, c.width);
        EXPECT_EQ(shown.height, c.height);
    }
    std::string whole = readBytes(path);
    writeBytes(path, whole.substr(0, whole.size() * 3 / 5));
    HelperPicture reduced = decodeWithHelper(path, 300), full = decodeWithHelper(path, 0);
    EXPECT_EQ(reduced.ok, full.ok) << "shown " << full.ok;
    EXPECT_EQ(reduced.pictureWidth, full.pictureWidth);
    decodeServiceStop();
}

// 120 damaged copies of each new format's sample: cut short (must fail),
// damaged in their pixel data (may show, at the sample's size) and damaged
// anywhere (may show). Each ends within the time limit, by the helper's
// answer or its end, and the viewer goes on to the next file.
TEST(OwnDecoders, DamagedFilesFailOrShowTheFilesOwnSize) {
    TempDir dir;
    std::string samples = writeSamples(dir);
    std::mt19937 random(15);
    for (const char* name : {"quad.bmp", "alpha.bmp", "topdown.bmp", "cmyk.jpg", "quad.jp2", "quad.exr", "quad.dcx",
                             "quad.cut", "quad.raw"}) {
        SCOPED_TRACE(name);
        std::string good = readBytes(samples + name);
        size_t start = dataStart(name, good);
        ASSERT_LT(start, good.size());
        std::string damagedPath = samples + "damaged" + std::string(name).substr(std::string(name).rfind('.'));
        int shown = 0;
        for (int round = 0; round < 120; ++round) {
            std::string bytes = good;
            int kind = round % 3;
            if (kind == 0) {
                bytes.resize(random() % (bytes.size() * 9 / 10));
            } else {
                size_t from = kind == 1 ? start : 0;
                for (int flips = 1 + int(random() % 8); flips > 0; --flips)
                    bytes[from + random() % (bytes.size() - from)] = char(random());
            }
            writeBytes(damagedPath, bytes);
            HelperPicture result = decodeWithHelper(damagedPath);
            if (kind == 0) {
                EXPECT_FALSE(result.ok) << "cut to " << bytes.size() << " bytes";
            } else if (kind == 1 && result.ok) {
                EXPECT_TRUE(result.pictureWidth == sampleWidth && result.pictureHeight == sampleHeight);
            }
            if (result.ok) ++shown;
        }
        RecordProperty(std::string("shown_") + name, shown);
        HelperPicture after = decodeWithHelper(samples + name);
        EXPECT_TRUE(after.ok && after.pictureWidth == sampleWidth && after.pictureHeight == sampleHeight);
    }
    decodeServiceStop();
}
