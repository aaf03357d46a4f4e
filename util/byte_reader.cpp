#include "util/byte_reader.h"

#include <climits>
#include <cstring>

ByteSource::ByteSource(std::string_view bytes) : memory(bytes.data()), inMemory(true) { size = bytes.size(); }

ByteSource::ByteSource(std::FILE* file) : file(file), window(new unsigned char[windowBytes]) {
    if (std::fseek(file, 0, SEEK_END) == 0) {
        long end = std::ftell(file);
        size = end > 0 ? uint64_t(end) : 0;
    }
}

bool ByteSource::read(uint64_t offset, size_t n, unsigned char* out) {
    if (offset > size || n > size - offset) return false;
    if (inMemory) {
        if (n > 0) std::memcpy(out, memory + offset, n);
        return true;
    }
    if (n > windowBytes) return false;
    if (offset < windowStart || offset + n > windowStart + windowLength) {
        if (offset > uint64_t(LONG_MAX) || std::fseek(file, long(offset), SEEK_SET) != 0) return false;
        windowStart = offset;
        windowLength = std::fread(window.get(), 1, windowBytes, file);
        if (windowLength < n) return false;
    }
    std::memcpy(out, window.get() + (offset - windowStart), n);
    return true;
}

uint32_t ByteReader::le(uint64_t offset, int width) {
    unsigned char b[4] = {};
    if (!bytes.read(offset, size_t(width), b)) ok = false;
    uint32_t value = 0;
    for (int i = width - 1; i >= 0; --i) value = value << 8 | b[i];
    return value;
}

uint32_t ByteReader::be(uint64_t offset, int width) {
    unsigned char b[4] = {};
    if (!bytes.read(offset, size_t(width), b)) ok = false;
    uint32_t value = 0;
    for (int i = 0; i < width; ++i) value = value << 8 | b[i];
    return value;
}

bool ByteReader::tagIs(uint64_t offset, const char* tag, size_t n) {
    unsigned char b[16] = {};
    return n <= sizeof b && bytes.read(offset, n, b) && std::memcmp(b, tag, n) == 0;
}

bool ByteReader::append(uint64_t offset, uint64_t n, std::string& out) {
    unsigned char chunk[4096];
    while (n > 0) {
        size_t part = n < sizeof chunk ? size_t(n) : sizeof chunk;
        if (!bytes.read(offset, part, chunk)) {
            ok = false;
            return false;
        }
        out.append(reinterpret_cast<const char*>(chunk), part);
        offset += part;
        n -= part;
    }
    return true;
}

uint64_t walkJpegHeaders(ByteReader& in, const std::function<bool(const JpegSegment&)>& visit) {
    if (!in.tagIs(0, "\xFF\xD8", 2)) return 0;
    uint64_t offset = 2;
    while (in.holds(offset, 4)) {
        if (in.be(offset, 1) != 0xFF) return 0;
        uint32_t marker = in.be(offset + 1, 1);
        if (marker == 0xFF) {  // fill byte
            ++offset;
            continue;
        }
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {  // no length
            offset += 2;
            continue;
        }
        if (marker == 0xDA || marker == 0xD9) return 0;  // scan or end
        uint32_t length = in.be(offset + 2, 2);
        if (length < 2) return 0;
        if (!visit(JpegSegment{marker, offset, length})) return offset;
        offset += 2 + length;
    }
    return 0;
}

uint64_t jpegFrameHeaderOffset(ByteReader& in) {
    return walkJpegHeaders(in, [](const JpegSegment& segment) {
        uint32_t marker = segment.marker;
        bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        return !frame;
    });
}
