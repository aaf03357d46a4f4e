// The decode time limit a file earns: the size its header claims, read from
// each format's header, and the file's own size.
#include <gtest/gtest.h>

#include <string>

#include "model/decode_time_limit.h"
#include "platform/win32.h"
#include "support/bytes.h"
#include "support/temp_dir.h"
#include "support/test_images.h"

namespace {

std::string pngHead(uint32_t width, uint32_t height) {
    return std::string("\x89PNG\r\n\x1a\n", 8) + be32(13) + "IHDR" + be32(width) + be32(height) + "\x08\x02";
}

// An EXIF segment, fill bytes and a table before the frame header.
std::string jpegHead(uint32_t width, uint32_t height) {
    std::string out = "\xFF\xD8\xFF\xE1" + std::string{0, 0x10} + std::string(14, 'e');
    out += "\xFF\xFF\xFF\xC4" + std::string{0, 4} + std::string(2, 't');
    return out + "\xFF\xC2" + std::string{0, 17, 8} + char(height >> 8) + char(height & 0xFF) + char(width >> 8) +
           char(width & 0xFF) + std::string(12, '\x01');
}

}  // namespace

TEST(DecodeTimeLimit, HeadersClaimTheirPictureSize) {
    const uint64_t pixels = 6000ull * 4000;
    EXPECT_EQ(claimedPixelCount(pngHead(6000, 4000), "png"), pixels);
    EXPECT_EQ(claimedPixelCount(jpegHead(6000, 4000), "jpg"), pixels);
    EXPECT_EQ(claimedPixelCount("GIF89a" + le16(6000) + le16(4000), "gif"), pixels);
    EXPECT_EQ(claimedPixelCount("BM" + std::string(12, '\0') + le32(40) + le32(6000) + le32(uint32_t(-4000)), "bmp"),
              pixels);
    EXPECT_EQ(claimedPixelCount("8BPS" + std::string(10, '\0') + be32(4000) + be32(6000), "psd"), pixels);
    EXPECT_EQ(claimedPixelCount("DDS " + std::string(8, '\0') + le32(4000) + le32(6000), "dds"), pixels);
    std::string tga = std::string(12, '\0') + le16(6000) + le16(4000) + std::string(2, '\0');
    EXPECT_EQ(claimedPixelCount(tga, "TGA"), pixels) << "Targa has no signature: its extension decides";
    EXPECT_EQ(claimedPixelCount(tga, "png"), 0u);
    EXPECT_EQ(claimedPixelCount(jpegHead(6000, 4000).substr(0, 30), "jpg"), 0u) << "cut before the frame header";
    EXPECT_EQ(claimedPixelCount("", "png"), 0u);
}

// A 64-byte PNG gets little more than the base second, whatever its header
// claims; a real photo's claim and size buy more; a claim beyond any
// decodable picture buys no more than the largest one.
TEST(DecodeTimeLimit, FollowsTheWorkTheFileCanNeed) {
    TempDir dir;
    std::string small = dir.writeFile("truncated.png", (pngHead(64, 64) + std::string(64, 'x')).substr(0, 64));
    EXPECT_LT(decodeTimeLimitMsFor(small.c_str()), 1100u);
    std::string bold = dir.writeFile("bold.png", (pngHead(20000, 20000) + std::string(64, 'x')).substr(0, 64));
    EXPECT_LT(decodeTimeLimitMsFor(bold.c_str()), 2000u) << "64 bytes of PNG cannot hold 400 megapixels";
    EXPECT_LT(decodeTimeLimitMsFor((dir.path() + "missing.png").c_str()), 1100u);
    EXPECT_GT(decodeTimeLimitFromSize(7800000, 6000ull * 4000), 3 * decodeTimeLimitFromSize(64, 64 * 64));
    EXPECT_EQ(decodeTimeLimitFromSize(1000, 40000ull * 40000), decodeTimeLimitFromSize(1000, 30000ull * 30000));
}
