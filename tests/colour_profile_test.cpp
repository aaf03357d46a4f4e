// Pictures with a colour description are shown in sRGB colours (the test
// display publishes no profile): profiles made here with Little CMS are
// embedded into small solid pictures whose stored numbers are an sRGB
// colour converted into that profile, and the helper must bring the colour
// back within 8 levels. Damaged and mismatched profiles leave the stored
// numbers; a 16-bit linear PNG is converted before it is narrowed.
#include <gtest/gtest.h>

#include <ImfChromaticities.h>
#include <ImfRgbaFile.h>
#include <ImfStandardAttributes.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <jpeglib.h>
#include <lcms2.h>
#include <zlib.h>

#include "platform/services.h"
#include "support/bytes.h"
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
    double gamma;  // 0: Rec. 709's camera curve
};

const cmsCIExyY d65 = {0.3127, 0.3290, 1.0};
const Space p3 = {"P3", d65, {{0.680, 0.320, 1}, {0.265, 0.690, 1}, {0.150, 0.060, 1}}, 0};
const Space rec2020 = {"Rec2020", d65, {{0.708, 0.292, 1}, {0.170, 0.797, 1}, {0.131, 0.046, 1}}, 0};
const Space linear709 = {"linear709", d65, {{0.64, 0.33, 1}, {0.30, 0.60, 1}, {0.15, 0.06, 1}}, 1};
const Space linear2020 = {"linear2020", d65, rec2020.primaries, 1};
const Space acescg = {"ACEScg", {0.32168, 0.33767, 1}, {{0.713, 0.293, 1}, {0.165, 0.830, 1}, {0.128, 0.044, 1}}, 1};
const Space p3Gamma22 = {"P3gamma2.2", d65, p3.primaries, 2.2};

cmsHPROFILE makeProfile(const Space& space) {
    // Rec. 709's camera curve for the gamma-encoded spaces.
    const cmsFloat64Number rec709[5] = {1 / 0.45, 1 / 1.099, 0.099 / 1.099, 1 / 4.5, 0.081};
    cmsToneCurve* curve = space.gamma > 0 ? cmsBuildGamma(nullptr, space.gamma) : cmsBuildParametricToneCurve(nullptr, 4, rec709);
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

// A solid side x side RGB PNG of 8 or 16 bits, with `chunks` before its
// data; grey when the three samples are one.
std::string solidPng(const std::array<uint16_t, 3>& samples, int bits, const std::string& chunks, bool grey = false) {
    std::string header = bigEndian32(side) + bigEndian32(side) + char(bits) + char(grey ? 0 : 2) + std::string(3, '\0');
    std::string pixel;
    for (uint16_t sample : samples) {
        if (grey && !pixel.empty()) break;
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

// A solid RGB (or, with four samples, plain CMYK) JPEG with the profile in
// APP2 segments of at most `chunkBytes` each (skipping chunk number
// `missing`, when not 0).
void writeSolidJpeg(const std::string& path, const std::vector<int>& pixel, const std::string& profile,
                    size_t chunkBytes, int missing = 0) {
    std::vector<std::pair<int, std::string>> segments;
    int count = int((profile.size() + chunkBytes - 1) / chunkBytes);
    for (int number = 1; number <= count; ++number) {
        if (number == missing) continue;
        segments.push_back({JPEG_APP0 + 2, std::string("ICC_PROFILE\0", 12) + char(number) + char(count) +
                                               profile.substr(size_t(number - 1) * chunkBytes, chunkBytes)});
    }
    writeSolidJpeg(path, side, side, pixel, pixel.size() == 4 ? JCS_CMYK : JCS_YCbCr, false, segments);
}

// A solid side x side 24-bit BMP whose header (108 or 124 bytes) ends in
// `colourSpace` (type, endpoints, gammas; v5: intent, profile offset and
// size); `profile` follows the rows.
std::string solidBmp(const Colour& colour, uint32_t headerBytes, const std::string& colourSpace, const std::string& profile) {
    std::string rows;
    for (uint32_t i = 0; i < side * side; ++i) rows += {char(colour[2]), char(colour[1]), char(colour[0])};
    std::string header = le32(headerBytes) + le32(side) + le32(side);
    put16(header, 1);
    put16(header, 24);
    header += le32(0) + le32(uint32_t(rows.size())) + std::string(16, '\0') + std::string(16, '\0');
    header += colourSpace;
    header.resize(headerBytes, '\0');
    uint32_t dataOffset = 14 + headerBytes;
    std::string file = "BM" + le32(uint32_t(dataOffset + rows.size() + profile.size())) + le32(0) + le32(dataOffset);
    return file + header + rows + profile;
}

// A solid side x side RGB Photoshop file, uncompressed, with `resources`.
std::string solidPsd(const Colour& colour, const std::string& resources) {
    std::string out = "8BPS" + std::string("\0\1", 2) + std::string(6, '\0') + std::string("\0\3", 2) +
                      bigEndian32(side) + bigEndian32(side) + std::string("\0\x08\0\3", 4);
    out += bigEndian32(0) + bigEndian32(uint32_t(resources.size())) + resources + bigEndian32(0) + std::string(2, '\0');
    for (int c = 0; c < 3; ++c) out += std::string(side * side, char(colour[c]));
    return out;
}

// The jp2h box of an ImageMagick JPEG 2000 file with its colr box made to
// hold `profile` (method 2).
std::string withJp2Profile(const std::string& file, const std::string& profile) {
    size_t header = file.find("jp2h") - 4, colour = file.find("colr") - 4;
    auto lengthAt = [&](size_t at) {
        return uint32_t(uint8_t(file[at])) << 24 | uint32_t(uint8_t(file[at + 1])) << 16 |
               uint32_t(uint8_t(file[at + 2])) << 8 | uint8_t(file[at + 3]);
    };
    std::string colr = "colr" + std::string("\2\0\0", 3) + profile;
    colr = bigEndian32(uint32_t(colr.size() + 4)) + colr;
    std::string inside = file.substr(header + 8, colour - header - 8) + colr +
                         file.substr(colour + lengthAt(colour), header + lengthAt(header) - colour - lengthAt(colour));
    return file.substr(0, header) + bigEndian32(uint32_t(inside.size() + 8)) + "jp2h" + inside +
           file.substr(header + lengthAt(header));
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
            Colour eight = narrowed(wide);
            writeSolidJpeg(name + ".jpg", {eight[0], eight[1], eight[2]}, profile, profile.size() / 2 + 1);
            expectShown(name + ".jpg", colour, 8);
            std::array<uint16_t, 3> samples = {uint16_t(eight[0]), uint16_t(eight[1]), uint16_t(eight[2])};
            writeBytes(name + ".png", space->gamma == 1 ? solidPng(wide, 16, iccpChunk(profile)) : solidPng(samples, 8, iccpChunk(profile)));
            expectShown(name + ".png", colour, 8);
        }
    }
    decodeServiceStop();
}

// gAMA with cHRM, gAMA alone (on 16 bits, where narrowing first would lose
// the dark colour), sRGB, which outranks gAMA, and gamma 1/2.2 with sRGB's
// primaries, which is sRGB.
TEST(ColourProfiles, PngGammaAndChromaticitiesDescribeTheColours) {
    TempDir dir;
    Colour out = narrowed(storedIn(p3Gamma22, skin));

    std::string chromaticities;
    for (double value : {0.3127, 0.3290, 0.680, 0.320, 0.265, 0.690, 0.150, 0.060})
        chromaticities += bigEndian32(uint32_t(value * 100000 + 0.5));
    std::string gamma = pngChunk("gAMA", bigEndian32(45455));
    writeBytes(dir.path() + "p3.png",
               solidPng({uint16_t(out[0]), uint16_t(out[1]), uint16_t(out[2])}, 8, gamma + pngChunk("cHRM", chromaticities)));
    expectShown(dir.path() + "p3.png", skin, 8);

    std::array<uint16_t, 3> linear = storedIn(linear709, dark);
    std::string linearGamma = pngChunk("gAMA", bigEndian32(100000));
    writeBytes(dir.path() + "linear16.png", solidPng(linear, 16, linearGamma));
    expectShown(dir.path() + "linear16.png", dark, 8);

    writeBytes(dir.path() + "srgb.png", solidPng({200, 30, 30}, 8, linearGamma + pngChunk("sRGB", std::string(1, '\0'))));
    expectShown(dir.path() + "srgb.png", red, 0);
    // ImageMagick's way of saying sRGB: gamma 1/2.2 and sRGB's primaries.
    std::string srgbChromaticities;
    for (double value : {0.3127, 0.3290, 0.64, 0.33, 0.30, 0.60, 0.15, 0.06})
        srgbChromaticities += bigEndian32(uint32_t(value * 100000 + 0.5));
    writeBytes(dir.path() + "magick.png", solidPng({12, 40, 90}, 8, gamma + pngChunk("cHRM", srgbChromaticities)));
    expectShown(dir.path() + "magick.png", dark, 0);
    decodeServiceStop();
}

// A damaged profile, one whose segments do not add up, a grey profile on
// RGB data and a deflate stream cut short: the numbers as stored. (The grey
// profile does convert grey samples.)
TEST(ColourProfiles, DamagedOrMismatchedProfilesLeaveTheStoredColours) {
    TempDir dir;
    std::string profile = profileBytes(makeProfile(p3));
    std::string damaged = profile;
    for (size_t i = 128; i < damaged.size(); i += 7) damaged[i] = char(0xA5);
    writeSolidJpeg(dir.path() + "damaged.jpg", {200, 30, 30}, damaged, damaged.size());
    expectShown(dir.path() + "damaged.jpg", red, 2);
    writeSolidJpeg(dir.path() + "missing.jpg", {200, 30, 30}, profile, profile.size() / 3 + 1, 2);
    expectShown(dir.path() + "missing.jpg", red, 2);

    cmsToneCurve* curve = cmsBuildGamma(nullptr, 1.0);
    std::string grey = profileBytes(cmsCreateGrayProfile(cmsD50_xyY(), curve));
    cmsFreeToneCurve(curve);
    writeBytes(dir.path() + "grey.png", solidPng({200, 30, 30}, 8, iccpChunk(grey)));
    expectShown(dir.path() + "grey.png", red, 0);
    // On grey samples it is the right kind: linear 50 is sRGB 124.
    writeBytes(dir.path() + "linear-grey.png", solidPng({50, 50, 50}, 8, iccpChunk(grey), true));
    expectShown(dir.path() + "linear-grey.png", {124, 124, 124}, 2);
    std::string cut = iccpChunk(profile);
    cut = pngChunk("iCCP", cut.substr(8, cut.size() - 8 - 4 - 10));
    writeBytes(dir.path() + "cut.png", solidPng({200, 30, 30}, 8, cut));
    expectShown(dir.path() + "cut.png", red, 0);
    decodeServiceStop();
}

// A BMP v5 with the profile embedded and a v4 with calibrated RGB (P3
// primaries, gamma 2.2), a Photoshop file with image resource 1039, a JPEG
// 2000 file whose colr box holds the profile, and an OpenEXR file with P3
// chromaticities.
TEST(ColourProfiles, OtherFormatsCarryTheirDescriptions) {
    TempDir dir;
    std::string profile = profileBytes(makeProfile(p3));
    Colour stored = narrowed(storedIn(p3, skin));
    std::string embedded = le32(0x4D424544) + std::string(48, '\0') + le32(4) + le32(124 + side * side * 3) +
                           le32(uint32_t(profile.size())) + le32(0);
    writeBytes(dir.path() + "v5.bmp", solidBmp(stored, 124, embedded, profile));
    expectShown(dir.path() + "v5.bmp", skin, 8);

    // The primaries' XYZ for a white of Y = 1, as 2.30 fixed point.
    cmsCIEXYZ white, primaries[3];
    cmsxyY2XYZ(&white, &d65);
    const cmsCIExyY* xy[3] = {&p3.primaries.Red, &p3.primaries.Green, &p3.primaries.Blue};
    double m[3][3];
    for (int i = 0; i < 3; ++i) {
        m[0][i] = xy[i]->x / xy[i]->y, m[1][i] = 1, m[2][i] = (1 - xy[i]->x - xy[i]->y) / xy[i]->y;
    }
    // Each primary's share of the white: Cramer's rule on m * s = white.
    auto det = [](double a[3][3]) {
        return a[0][0] * (a[1][1] * a[2][2] - a[1][2] * a[2][1]) - a[0][1] * (a[1][0] * a[2][2] - a[1][2] * a[2][0]) +
               a[0][2] * (a[1][0] * a[2][1] - a[1][1] * a[2][0]);
    };
    std::string calibrated = le32(0);
    for (int i = 0; i < 3; ++i) {
        double replaced[3][3];
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c) replaced[r][c] = c == i ? (&white.X)[r] : m[r][c];
        double share = det(replaced) / det(m);
        primaries[i] = {m[0][i] * share, m[1][i] * share, m[2][i] * share};
        for (double v : {primaries[i].X, primaries[i].Y, primaries[i].Z}) calibrated += le32(uint32_t(v * (1 << 30)));
    }
    for (int i = 0; i < 3; ++i) calibrated += le32(uint32_t(2.2 * 65536));
    writeBytes(dir.path() + "v4.bmp", solidBmp(narrowed(storedIn(p3Gamma22, skin)), 108, calibrated, ""));
    expectShown(dir.path() + "v4.bmp", skin, 8);

    std::string resource = "8BIM" + std::string("\x04\x0F\0\0", 4) + bigEndian32(uint32_t(profile.size())) + profile;
    if (resource.size() % 2) resource.push_back('\0');
    writeBytes(dir.path() + "p3.psd", solidPsd(stored, resource));
    expectShown(dir.path() + "p3.psd", skin, 8);

    char colour[64];
    std::snprintf(colour, sizeof colour, "xc:rgb(%d,%d,%d)", stored[0], stored[1], stored[2]);
    std::string plain = dir.path() + "plain.jp2";
    std::string command = "convert -size 16x16 '" + std::string(colour) + "' -define jp2:number-resolutions=1 'jp2:" + plain + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);
    writeBytes(dir.path() + "p3.jp2", withJp2Profile(readBytes(plain), profile));
    expectShown(dir.path() + "p3.jp2", skin, 8);

    // Linear values in P3, which the decoder gives sRGB's curve.
    std::array<uint16_t, 3> linear = storedIn({"linearP3", d65, p3.primaries, 1}, skin);
    Imf::Header header{int(side), int(side)};
    Imf::addChromaticities(header, Imf::Chromaticities(Imath::V2f(0.680f, 0.320f), Imath::V2f(0.265f, 0.690f),
                                                       Imath::V2f(0.150f, 0.060f), Imath::V2f(0.3127f, 0.3290f)));
    std::vector<Imf::Rgba> pixels(side * side, Imf::Rgba(linear[0] / 65535.0f, linear[1] / 65535.0f, linear[2] / 65535.0f, 1.0f));
    {
        Imf::RgbaOutputFile exr((dir.path() + "p3.exr").c_str(), header, Imf::WRITE_RGBA);
        exr.setFrameBuffer(pixels.data(), 1, side);
        exr.writePixels(int(side));
    }
    expectShown(dir.path() + "p3.exr", skin, 8);
    decodeServiceStop();
}

namespace {

// A CMYK press that prints half as much green as the formula says: the ink's
// colour is the formula's sRGB with green halved, as Lab.
int halfGreenPress(const cmsUInt16Number in[], cmsUInt16Number out[], void* toLab) {
    double left = 1 - in[3] / 65535.0;
    double rgb[3] = {(1 - in[0] / 65535.0) * left, (1 - in[1] / 65535.0) * left / 2, (1 - in[2] / 65535.0) * left};
    cmsCIELab lab;
    cmsDoTransform(static_cast<cmsHTRANSFORM>(toLab), rgb, &lab, 1);
    cmsFloat2LabEncoded(out, &lab);
    return 1;
}

std::string halfGreenPressProfile() {
    cmsHPROFILE srgb = cmsCreate_sRGBProfile(), lab = cmsCreateLab4Profile(nullptr);
    cmsHTRANSFORM toLab = cmsCreateTransform(srgb, TYPE_RGB_DBL, lab, TYPE_Lab_DBL, INTENT_RELATIVE_COLORIMETRIC, 0);
    cmsHPROFILE press = cmsCreateProfilePlaceholder(nullptr);
    cmsSetProfileVersion(press, 4.3);
    cmsSetDeviceClass(press, cmsSigOutputClass);
    cmsSetColorSpace(press, cmsSigCmykData);
    cmsSetPCS(press, cmsSigLabData);
    cmsPipeline* lut = cmsPipelineAlloc(nullptr, 4, 3);
    cmsStage* grid = cmsStageAllocCLut16bit(nullptr, 11, 4, 3, nullptr);
    cmsStageSampleCLut16bit(grid, halfGreenPress, toLab, 0);
    // Identity curves around the grid: the A, CLUT and B of an mAB tag.
    cmsPipelineInsertStage(lut, cmsAT_END, cmsStageAllocToneCurves(nullptr, 4, nullptr));
    cmsPipelineInsertStage(lut, cmsAT_END, grid);
    cmsPipelineInsertStage(lut, cmsAT_END, cmsStageAllocToneCurves(nullptr, 3, nullptr));
    cmsWriteTag(press, cmsSigAToB0Tag, lut);
    cmsWriteTag(press, cmsSigMediaWhitePointTag, cmsD50_XYZ());
    cmsPipelineFree(lut);
    cmsDeleteTransform(toLab);
    cmsCloseProfile(srgb);
    cmsCloseProfile(lab);
    return profileBytes(press);
}

}  // namespace

// (0, 100, 120, 20) ink is (235, 143, 124) by the formula; the press's
// profile makes it (235, 71, 124).
TEST(ColourProfiles, CmykJpegsAreShownThroughTheirProfile) {
    TempDir dir;
    std::string profile = halfGreenPressProfile();
    writeSolidJpeg(dir.path() + "press.jpg", {0, 100, 120, 20}, profile, std::min<size_t>(65519, profile.size() / 2 + 1));
    expectShown(dir.path() + "press.jpg", {235, 71, 124}, 8);
    decodeServiceStop();
}
