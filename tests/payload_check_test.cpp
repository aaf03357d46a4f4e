// Files too short for the picture their header claims are failed decodes,
// not pictures: small fixtures of each checked format, whole and cut short,
// judged by the check and decoded end to end through the helper.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "model/file_info.h"
#include "model/payload_check.h"
#include "support/bytes.h"
#include "support/gl_test_context.h"
#include "support/temp_dir.h"
#include "support/test_images.h"
#include "support/decode_waits.h"

namespace {

const uint32_t side = 16;

// A side x side DXT5 texture of one grey, its size field as given.
std::string dds(uint32_t sizeField) {
    std::string out = "DDS " + le32(124) + le32(0x81007) + le32(side) + le32(side) + le32(sizeField);
    out += std::string(4 + 4 + 44, '\0');
    out += le32(32) + le32(0x4) + "DXT5" + std::string(20, '\0');
    out += le32(0x1000) + std::string(16, '\0');
    std::string block = std::string("\xff\xff", 2) + std::string(6, '\0') + le16(0x8410) + le16(0x8410) + le32(0);
    for (uint32_t i = 0; i < (side / 4) * (side / 4); ++i) out += block;
    return out;
}

std::string bmp() {
    uint32_t rowBytes = side * 3;
    std::string out = "BM" + le32(54 + rowBytes * side) + le32(0) + le32(54);
    out += le32(40) + le32(side) + le32(side) + le16(1) + le16(24) + std::string(24, '\0');
    return out + std::string(rowBytes * side, '\x80');
}

// Each row one literal packet, so a cut anywhere loses pixels.
std::string rleTga() {
    std::string out = {0, 0, 10, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    out += le16(side) + le16(side) + std::string{24, 0};
    for (uint32_t row = 0; row < side; ++row) out += char(side - 1) + std::string(side * 3, '\x80');
    return out;
}

std::string psd(bool runLength) {
    std::string out = "8BPS" + be16(1) + std::string(6, '\0') + be16(3) + be32(side) + be32(side) + be16(8) + be16(3);
    out += be32(0) + be32(0) + be32(0) + be16(runLength ? 1 : 0);
    if (!runLength) return out + std::string(3 * side * side, '\x80');
    for (uint32_t row = 0; row < 3 * side; ++row) out += be16(side + 1);
    for (uint32_t row = 0; row < 3 * side; ++row) out += char(side - 1) + std::string(side, '\x80');
    return out;
}

std::string raw() {
    return le32(side) + le32(side) + le32(1) + char(3) + char(1) + std::string(side * side * 3, '\x80');
}

std::string dicom() {
    auto element = [](uint32_t group, uint32_t number, const char* vr, const std::string& value) {
        return le16(group) + le16(number) + vr + le16(uint32_t(value.size())) + value;
    };
    std::string out = std::string(128, '\0') + "DICM";
    out += element(2, 0x10, "UI", std::string("1.2.840.10008.1.2.1", 20));
    out += element(0x28, 0x02, "US", le16(1)) + element(0x28, 0x10, "US", le16(side));
    out += element(0x28, 0x11, "US", le16(side)) + element(0x28, 0x100, "US", le16(8));
    return out + le16(0x7FE0) + le16(0x10) + "OB" + std::string(2, '\0') + le32(side * side) +
           std::string(side * side, '\x80');
}

// 8-bit, one plane, each row two runs of half the row.
std::string pcx() {
    std::string out = {10, 5, 1, 8};
    out += le16(0) + le16(0) + le16(side - 1) + le16(side - 1) + std::string(48 + 4 + 1, '\0');
    out += char(1) + le16(side) + std::string(128 - 68, '\0');
    for (uint32_t row = 0; row < side; ++row) out += std::string{char(0xC0 | side / 2), 7, char(0xC0 | side / 2), 9};
    return out + char(12) + std::string(768, '\x40');
}

struct Fixture {
    const char* name;
    PayloadFormat format;
    std::string bytes;
};

std::vector<Fixture> fixtures() {
    return {{"dxt5.dds", PayloadFormat::dds, dds(side * side)},   {"plain.bmp", PayloadFormat::bmp, bmp()},
            {"runs.tga", PayloadFormat::tga, rleTga()},           {"runs.psd", PayloadFormat::psd, psd(true)},
            {"plain.psd", PayloadFormat::psd, psd(false)},        {"image.raw", PayloadFormat::raw, raw()},
            {"image.dcm", PayloadFormat::dicom, dicom()},         {"really-a-pcx.png", PayloadFormat::pcx, pcx()}};
}

// The file cut at 10 %, 50 %, 90 % and one byte
// short of its end.
std::vector<std::string> cuts(const std::string& whole) {
    size_t size = whole.size();
    return {whole.substr(0, size / 10), whole.substr(0, size / 2), whole.substr(0, size * 9 / 10),
            whole.substr(0, size - 1)};
}

}  // namespace

TEST(PayloadCheck, WholeFilesFitAndCutOnesDoNot) {
    for (const Fixture& f : fixtures()) {
        SCOPED_TRACE(f.name);
        EXPECT_TRUE(payloadFitsBytes(f.format, f.bytes));
        for (const std::string& cut : cuts(f.bytes)) EXPECT_FALSE(payloadFitsBytes(f.format, cut)) << cut.size();
    }
    // A DDS whose size field names less than its blocks need, though the
    // file holds them all: DevIL would decompress past what it read.
    EXPECT_FALSE(payloadFitsBytes(PayloadFormat::dds, dds(side * side / 2)));
    EXPECT_TRUE(payloadFitsBytes(PayloadFormat::dds, dds(0))) << "no size field: the blocks decide";
}

TEST(PayloadCheck, WhatItCannotJudgeItLetsThrough) {
    std::string runLengthBmp = bmp();
    runLengthBmp[30] = 1;  // BI_RLE8 may end early with an end-of-bitmap code
    std::string unknownDds = dds(side * side);
    unknownDds.replace(84, 4, "ABCD");
    EXPECT_TRUE(payloadFitsBytes(PayloadFormat::bmp, runLengthBmp.substr(0, 100)));
    EXPECT_TRUE(payloadFitsBytes(PayloadFormat::dds, unknownDds.substr(0, 130)));
    EXPECT_TRUE(payloadFitsBytes(PayloadFormat::other, "short"));
    EXPECT_TRUE(payloadFitsBytes(PayloadFormat::dds, "not a dds at all")) << "judged by its own decoder";
}

// Through the helper, as the viewer sees them: the whole fixtures show
// their size; cut ones, and the DDS with the short size field, are black
// with 0 x 0 in the info box.
TEST(PayloadCheck, CutFilesAreFailedDecodes) {
    SKIP_WITHOUT_DISPLAY();
    GLTestContext gl;
    TempDir dir;
    auto open = [&](const std::string& name, const std::string& bytes) {
        writeBytes(dir.path() + name, bytes);
        auto entry = std::make_unique<FileInfoImg>(dir.path() + name);
        openDecoded(*entry);
        return entry;
    };
    auto expectFailed = [](FileInfoImg& entry) {
        EXPECT_EQ(entry.texture, 0u);
        EXPECT_NE(entry.infoText().find("\nwidth:\t0px\nheight:\t0px"), std::string::npos) << entry.infoText();
    };
    for (const Fixture& f : fixtures()) {
        SCOPED_TRACE(f.name);
        if (f.format != PayloadFormat::raw) {  // the installed DevIL never dispatches .raw
            std::unique_ptr<FileInfoImg> whole = open(f.name, f.bytes);
            EXPECT_EQ(whole->width, side);
            EXPECT_NE(whole->texture, 0u);
        }
        for (size_t cut : {f.bytes.size() * 9 / 10, f.bytes.size() - 1})
            expectFailed(*open(f.name, f.bytes.substr(0, cut)));
    }
    expectFailed(*open("size-field.dds", dds(side * side / 2)));
}
