#include "model/decode_time_limit.h"

#include <cstdio>

#include "model/devil_load.h"
#include "platform/services.h"
#include "platform/win32.h"
#include "util/byte_reader.h"
#include "util/text.h"

namespace {

const uint32_t baseMs = 1000;
#if defined(__SANITIZE_ADDRESS__)
// The sanitized test build runs the decoder some three times slower.
const uint32_t slowdown = 3;
#else
const uint32_t slowdown = 1;
#endif
const uint32_t msPerMegapixel = 300 * slowdown;
const uint32_t msPerMegabyte = 150 * slowdown;
// Deflate packs at most 1032 bytes into one and a pixel takes at least a
// bit, so a PNG holds at most 8256 pixels a byte: a claim beyond that is
// no work the file can honestly need.
const uint64_t pngPixelsPerByte = 1032 * 8;
const char pngSignature[] = "\x89PNG\r\n\x1a\n";
// No picture with more pixels than this decodes: DevIL could not allocate
// even three bytes for each of them.
const uint64_t largestDecodablePixels = devilMaxAllocation / 3;

// The offset of the n-byte tag in the head, 0 when it is not there.
size_t find(const std::string& head, const char* tag, size_t n) {
    std::string::size_type at = head.find(std::string(tag, n));
    return at == std::string::npos ? 0 : at;
}

uint64_t area(uint64_t width, uint64_t height) { return width * height; }

uint64_t jpegPixels(ByteReader& head) {
    uint64_t frame = jpegFrameHeaderOffset(head);
    return frame && head.holds(frame, 9) ? area(head.be(frame + 7, 2), head.be(frame + 5, 2)) : 0;
}

uint64_t jpeg2000Pixels(ByteReader& head, const std::string& bytes) {
    if (head.tagIs(0, "\xFF\x4F\xFF\x51", 4)) {
        uint64_t width = head.be(8, 4), height = head.be(12, 4), left = head.be(16, 4), top = head.be(20, 4);
        return width > left && height > top ? area(width - left, height - top) : 0;
    }
    size_t header = find(bytes, "ihdr", 4);
    return header ? area(head.be(header + 8, 4), head.be(header + 4, 4)) : 0;
}

uint64_t exrPixels(ByteReader& head, const std::string& bytes) {
    const char tag[] = "dataWindow\0box2i\0";
    size_t at = find(bytes, tag, sizeof tag - 1);
    if (!at) return 0;
    size_t box = at + sizeof tag - 1 + 4;
    int64_t xMin = int32_t(head.le(box, 4)), yMin = int32_t(head.le(box + 4, 4));
    int64_t xMax = int32_t(head.le(box + 8, 4)), yMax = int32_t(head.le(box + 12, 4));
    return xMax >= xMin && yMax >= yMin ? area(uint64_t(xMax - xMin + 1), uint64_t(yMax - yMin + 1)) : 0;
}

// The first page's PCX header.
uint64_t dcxPixels(ByteReader& head) {
    size_t page = head.le(4, 4);
    if (!head.holds(page, 12)) return 0;
    uint32_t left = head.le(page + 4, 2), top = head.le(page + 6, 2);
    uint32_t right = head.le(page + 8, 2), bottom = head.le(page + 10, 2);
    return right >= left && bottom >= top ? area(right - left + 1, bottom - top + 1) : 0;
}

uint64_t bmpPixels(ByteReader& head) {
    if (head.le(14, 4) == 12) return area(head.le(18, 2), head.le(20, 2));
    int64_t width = int32_t(head.le(18, 4)), height = int32_t(head.le(22, 4));
    return area(uint64_t(width < 0 ? -width : width), uint64_t(height < 0 ? -height : height));
}

}  // namespace

uint64_t claimedPixelCount(const std::string& bytes, const std::string& extension) {
    ByteSource source(bytes);
    ByteReader head{source};
    if (head.tagIs(0, pngSignature, 8)) return area(head.be(16, 4), head.be(20, 4));
    if (head.tagIs(0, "\xFF\xD8", 2)) return jpegPixels(head);
    if (head.tagIs(0, "GIF8", 4)) return area(head.le(6, 2), head.le(8, 2));
    if (head.tagIs(0, "BM", 2)) return bmpPixels(head);
    if (head.tagIs(0, "8BPS", 4)) return area(head.be(18, 4), head.be(14, 4));
    if (head.tagIs(0, "DDS ", 4)) return area(head.le(16, 4), head.le(12, 4));
    if (head.tagIs(0, "\xFF\x4F\xFF\x51", 4) || head.tagIs(4, "jP  ", 4)) return jpeg2000Pixels(head, bytes);
    if (head.tagIs(0, "\x76\x2F\x31\x01", 4)) return exrPixels(head, bytes);
    if (head.tagIs(0, "\xB1\x68\xDE\x3A", 4)) return dcxPixels(head);
    std::string type = toLower(extension);
    if (type == "tga" && head.holds(0, 18)) return area(head.le(12, 2), head.le(14, 2));
    if (type == "cut" && head.holds(0, 6)) return area(head.le(0, 2), head.le(2, 2));
    if (type == "raw" && head.holds(0, 14)) return area(head.le(0, 4), head.le(4, 4));
    return 0;
}

uint32_t decodeTimeLimitFromSize(uint64_t fileBytes, uint64_t claimedPixels) {
    uint64_t pixels = claimedPixels < largestDecodablePixels ? claimedPixels : largestDecodablePixels;
    uint64_t ms = baseMs + pixels * msPerMegapixel / 1000000 + fileBytes / 1000000 * msPerMegabyte +
                  fileBytes % 1000000 * msPerMegabyte / 1000000;
    return ms > UINT32_MAX ? UINT32_MAX : uint32_t(ms);
}

uint32_t decodeTimeLimitForHead(const std::string& head, uint64_t fileBytes, const std::string& extension) {
    uint64_t pixels = claimedPixelCount(head, extension);
    if (head.compare(0, 8, pngSignature, 8) == 0 && pixels / pngPixelsPerByte > fileBytes) {
        pixels = fileBytes * pngPixelsPerByte;
    }
    return decodeTimeLimitFromSize(fileBytes, pixels);
}

uint32_t decodeTimeLimitMsFor(const char* path) {
    // A FIFO or a device would block the viewer here, and so would a file
    // still to be fetched; the helper reports the one and fetches the other,
    // whose limit then follows its size alone.
    if (!fileOpensForReading(path)) return decodeTimeLimitFromSize(0, 0);
    FileStamp stamp;
    if (!fileContentAtHand(path)) return decodeTimeLimitFromSize(fileStampOf(path, &stamp) ? stamp.size : 0, 0);
    std::FILE* file = std::fopen(path, "rb");
    if (!file) return decodeTimeLimitFromSize(0, 0);
    std::string head(claimHeadBytes, '\0');
    head.resize(std::fread(&head[0], 1, head.size(), file));
    uint64_t size = 0;
    if (std::fseek(file, 0, SEEK_END) == 0) {
        long end = std::ftell(file);
        size = end > 0 ? uint64_t(end) : 0;
    }
    std::fclose(file);
    return decodeTimeLimitForHead(head, size, extensionOf(path));
}
