// Pictures with a colour description are shown in sRGB colours (the test
// display publishes no profile): profiles made here with Little CMS are
// embedded into small solid pictures whose stored numbers are an sRGB
// colour converted into that profile, and the helper must bring the colour
// back within 8 levels. Damaged and mismatched profiles leave the stored
// numbers; a 16-bit linear PNG is converted before it is narrowed.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <string>
#include <vector>

#include <jpeglib.h>
#include <lcms2.h>
#include <zlib.h>

#include "platform/services.h"
#include "support/decode_waits.h"
#include "support/temp_dir.h"
#include "support/test_images.h"

namespace {

using Colour = std::array<int, 3>;
const uint32_t side = 16;
const Colour skin = {224, 172, 140}, red = {200, 30, 30}, dark = {12, 40, 90};

struct Space {
    const char* name;
    cmsCIExyY white;
    cmsCIExyYTRIPLE primaries;
    bool linear;
};

const cmsCIExyY d65 = {0.3127, 0.3290, 1.0};
const Space p3 = {"P3", d65, {{0.680, 0.320, 1}, {0.265, 0.690, 1}, {0.150, 0.060, 1}}, false};
const Space rec2020 = {"Rec2020", d65, {{0.708, 0.292, 1}, {0.170, 0.797, 1}, {0.131, 0.046, 1}}, false};
const Space linear709 = {"linear709", d65, {{0.64, 0.33, 1}, {0.30, 0.60, 1}, {0.15, 0.06, 1}}, true};
const Space linear2020 = {"linear2020", d65, rec2020.primaries, true};
const Space acescg = {"ACEScg", {0.32168, 0.33767, 1}, {{0.713, 0.293, 1}, {0.165, 0.830, 1}, {0.128, 0.044, 1}}, true};

cmsHPROFILE makeProfile(const Space& space) {
    // Rec. 709's camera curve for the gamma-encoded spaces.
    const cmsFloat64Number rec709[5] = {1 / 0.45, 1 / 1.099, 0.099 / 1.099, 1 / 4.5, 0.081};
    cmsToneCurve* curve = space.linear ? cmsBuildGamma(nullptr, 1.0) : cmsBuildParametricToneCurve(nullptr, 4, rec709);
    cmsToneCurve* curves[3] = {curve, curve, curve};
    cmsHPROFILE profile = cmsCreateRGBProfile(&space.white, &space.primaries, curves);
    cmsFreeToneCurve(curve);
    return profile;
}

std::string profileBytes(cmsHPROFILE profile) {
    cmsUInt32Number size = 0;
    cmsSaveProfileToMem(profile, nullptr, &size);
    std::string bytes(size, '\0');
    cmsSaveProfileToMem(profile, &bytes[0], &size);
    cmsCloseProfile(profile);
    return bytes;
}

// The sRGB colour's numbers in the space, 16 bits each.
std::array<uint16_t, 3> storedIn(const Space& space, const Colour& colour) {
    cmsHPROFILE srgb = cmsCreate_sRGBProfile(), target = makeProfile(space);
    cmsHTRANSFORM toSpace = cmsCreateTransform(srgb, TYPE_RGB_8, target, TYPE_RGB_16, INTENT_RELATIVE_COLORIMETRIC, 0);
    unsigned char in[3] = {uint8_t(colour[0]), uint8_t(colour[1]), uint8_t(colour[2])};
    std::array<uint16_t, 3> out;
    cmsDoTransform(toSpace, in, out.data(), 1);
    cmsDeleteTransform(toSpace);
    cmsCloseProfile(srgb);
    cmsCloseProfile(target);
    return out;
}

Colour narrowed(const std::array<uint16_t, 3>& wide) {
    return {(wide[0] * 255 + 32767) / 65535, (wide[1] * 255 + 32767) / 65535, (wide[2] * 255 + 32767) / 65535};
}

std::string bigEndian32(uint32_t value) {
    return {char(value >> 24), char(value >> 16 & 0xFF), char(value >> 8 & 0xFF), char(value & 0xFF)};
}

std::string pngChunk(const std::string& type, const std::string& data) {
    std::string typed = type + data;
    uint32_t crc = uint32_t(crc32(0, reinterpret_cast<const Bytef*>(typed.data()), uInt(typed.size())));
    return bigEndian32(uint32_t(data.size())) + typed + bigEndian32(crc);
}

std::string deflated(const std::string& bytes) {
    uLongf size = compressBound(uLong(bytes.size()));
    std::string out(size, '\0');
    compress(reinterpret_cast<Bytef*>(&out[0]), &size, reinterpret_cast<const Bytef*>(bytes.data()), uLong(bytes.size()));
    out.resize(size);
    return out;
}

std::string iccpChunk(const std::string& profile) { return pngChunk("iCCP", std::string("test\0\0", 6) + deflated(profile)); }

// A solid side x side RGB PNG of 8 or 16 bits, with `chunks` before its data.
std::string solidPng(const std::array<uint16_t, 3>& samples, int bits, const std::string& chunks) {
    std::string header = bigEndian32(side) + bigEndian32(side) + char(bits) + std::string("\2\0\0\0", 4);
    std::string pixel;
    for (uint16_t sample : samples) {
        if (bits == 16) pixel.push_back(char(sample >> 8));
        pixel.push_back(char(bits == 16 ? sample & 0xFF : sample));
    }
    std::string rows;
    for (uint32_t y = 0; y < side; ++y) {
        rows.push_back('\0');
        for (uint32_t x = 0; x < side; ++x) rows += pixel;
    }
    return "\x89PNG\r\n\x1A\n" + pngChunk("IHDR", header) + chunks + pngChunk("IDAT", deflated(rows)) +
           pngChunk("IEND", "");
}

// A solid JPEG with the profile in APP2 segments of at most `chunkBytes`
// each (skipping chunk number `missing`, when not 0).
void writeSolidJpeg(const std::string& path, const Colour& colour, const std::string& profile, size_t chunkBytes,
                    int missing = 0) {
    FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    jpeg_compress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, file);
    info.image_width = info.image_height = side;
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 100, TRUE);
    jpeg_start_compress(&info, TRUE);
    int count = int((profile.size() + chunkBytes - 1) / chunkBytes);
    for (int number = 1; number <= count; ++number) {
        if (number == missing) continue;
        std::string segment = std::string("ICC_PROFILE\0", 12) + char(number) + char(count) +
                              profile.substr(size_t(number - 1) * chunkBytes, chunkBytes);
        jpeg_write_marker(&info, JPEG_APP0 + 2, reinterpret_cast<const JOCTET*>(segment.data()),
                          unsigned(segment.size()));
    }
    std::vector<JSAMPLE> row(side * 3);
    for (size_t i = 0; i < row.size(); ++i) row[i] = JSAMPLE(colour[i % 3]);
    JSAMPROW rows[1] = {row.data()};
    while (info.next_scanline < info.image_height) jpeg_write_scanlines(&info, rows, 1);
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::fclose(file);
}

void expectShown(const std::string& path, const Colour& expected, int tolerance) {
    SCOPED_TRACE(path);
    HelperPicture shown = decodeWithHelper(path);
    ASSERT_TRUE(shown.ok);
    std::array<int, 4> seen = shown.at(side / 2, side / 2);
    for (int c = 0; c < 3; ++c) EXPECT_NEAR(seen[c], expected[c], tolerance) << "channel " << c;
}

}  // namespace

// Each space's profile in a JPEG, split over two APP2 segments, and in a
// PNG's iCCP chunk; 8-bit PNGs for the gamma-encoded spaces, 16-bit for the
// linear ones.
TEST(ColourProfiles, EmbeddedProfilesShowTheColourTheyDescribe) {
    TempDir dir;
    for (const Space* space : {&p3, &rec2020, &linear709, &linear2020, &acescg}) {
        std::string profile = profileBytes(makeProfile(*space));
        for (const Colour& colour : {skin, red}) {
            std::string name = dir.path() + space->name + std::to_string(colour[0]);
            std::array<uint16_t, 3> wide = storedIn(*space, colour);
            writeSolidJpeg(name + ".jpg", narrowed(wide), profile, profile.size() / 2 + 1);
            expectShown(name + ".jpg", colour, 8);
            Colour eight = narrowed(wide);
            std::array<uint16_t, 3> samples = {uint16_t(eight[0]), uint16_t(eight[1]), uint16_t(eight[2])};
            writeBytes(name + ".png", space->linear ? solidPng(wide, 16, iccpChunk(profile)) : solidPng(samples, 8, iccpChunk(profile)));
            expectShown(name + ".png", colour, 8);
        }
    }
    decodeServiceStop();
}

// gAMA with cHRM, gAMA alone (on 16 bits, where narrowing first would lose
// the dark colour), and sRGB, which outranks gAMA.
TEST(ColourProfiles, PngGammaAndChromaticitiesDescribeTheColours) {
    TempDir dir;
    Space p3Gamma22 = p3;
    cmsHPROFILE srgb = cmsCreate_sRGBProfile();
    const cmsFloat64Number gamma22 = 2.2;
    cmsToneCurve* curve = cmsBuildGamma(nullptr, gamma22);
    cmsToneCurve* curves[3] = {curve, curve, curve};
    cmsHPROFILE target = cmsCreateRGBProfile(&p3Gamma22.white, &p3Gamma22.primaries, curves);
    cmsFreeToneCurve(curve);
    cmsHTRANSFORM toP3 = cmsCreateTransform(srgb, TYPE_RGB_8, target, TYPE_RGB_8, INTENT_RELATIVE_COLORIMETRIC, 0);
    unsigned char in[3] = {uint8_t(skin[0]), uint8_t(skin[1]), uint8_t(skin[2])}, out[3];
    cmsDoTransform(toP3, in, out, 1);
    cmsDeleteTransform(toP3);
    cmsCloseProfile(target);
    cmsCloseProfile(srgb);

    std::string chromaticities;
    for (double value : {0.3127, 0.3290, 0.680, 0.320, 0.265, 0.690, 0.150, 0.060})
        chromaticities += bigEndian32(uint32_t(value * 100000 + 0.5));
    std::string gamma = pngChunk("gAMA", bigEndian32(45455));
    writeBytes(dir.path() + "p3.png", solidPng({out[0], out[1], out[2]}, 8, gamma + pngChunk("cHRM", chromaticities)));
    expectShown(dir.path() + "p3.png", skin, 8);

    std::array<uint16_t, 3> linear = storedIn(linear709, dark);
    std::string linearGamma = pngChunk("gAMA", bigEndian32(100000));
    writeBytes(dir.path() + "linear16.png", solidPng(linear, 16, linearGamma));
    expectShown(dir.path() + "linear16.png", dark, 8);

    writeBytes(dir.path() + "srgb.png", solidPng({200, 30, 30}, 8, linearGamma + pngChunk("sRGB", std::string(1, '\0'))));
    expectShown(dir.path() + "srgb.png", red, 0);
    decodeServiceStop();
}

// A damaged profile, one whose segments do not add up, a grey profile on
// RGB data and a deflate stream cut short: the numbers as stored.
TEST(ColourProfiles, DamagedOrMismatchedProfilesLeaveTheStoredColours) {
    TempDir dir;
    std::string profile = profileBytes(makeProfile(p3));
    std::string damaged = profile;
    for (size_t i = 128; i < damaged.size(); i += 7) damaged[i] = char(0xA5);
    writeSolidJpeg(dir.path() + "damaged.jpg", red, damaged, damaged.size());
    expectShown(dir.path() + "damaged.jpg", red, 2);
    writeSolidJpeg(dir.path() + "missing.jpg", red, profile, profile.size() / 3 + 1, 2);
    expectShown(dir.path() + "missing.jpg", red, 2);

    cmsToneCurve* curve = cmsBuildGamma(nullptr, 1.0);
    std::string grey = profileBytes(cmsCreateGrayProfile(cmsD50_xyY(), curve));
    cmsFreeToneCurve(curve);
    writeBytes(dir.path() + "grey.png", solidPng({200, 30, 30}, 8, iccpChunk(grey)));
    expectShown(dir.path() + "grey.png", red, 0);
    std::string cut = iccpChunk(profile);
    cut = pngChunk("iCCP", cut.substr(8, cut.size() - 8 - 4 - 10));
    writeBytes(dir.path() + "cut.png", solidPng({200, 30, 30}, 8, cut));
    expectShown(dir.path() + "cut.png", red, 0);
    decodeServiceStop();
}
