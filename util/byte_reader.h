// Numbers out of a file's header: its bytes read through one window (or
// bytes already in memory), little- or big-endian, each read checked
// against the end, so format walkers never read past what is there.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

// Random access to a file's bytes, or to bytes in memory, through one window,
// so that byte-at-a-time walks do not cost a read call each.
class ByteSource {
public:
    // The bytes must outlive the source.
    explicit ByteSource(std::string_view bytes);
    explicit ByteSource(std::FILE* file);

    uint64_t size = 0;

    // Copies n bytes from offset; false when they lie beyond the end.
    bool read(uint64_t offset, size_t n, unsigned char* out);

private:
    static const size_t windowBytes = 64 * 1024;
    const char* memory = nullptr;
    bool inMemory = false;
    std::FILE* file = nullptr;
    std::unique_ptr<unsigned char[]> window;
    uint64_t windowStart = 0;
    size_t windowLength = 0;
};

// Reads numbers of 1 to 4 bytes; a read beyond the end gives 0 and clears ok.
struct ByteReader {
    ByteSource& bytes;
    bool ok = true;

    uint32_t le(uint64_t offset, int width);
    uint32_t be(uint64_t offset, int width);
    // True when the n bytes from offset are there.
    bool holds(uint64_t offset, uint64_t n) const { return offset <= bytes.size && n <= bytes.size - offset; }
    // True when the n bytes at offset are the tag's.
    bool tagIs(uint64_t offset, const char* tag, size_t n);
    // Appends the n bytes from offset to `out`; false (and ok cleared) when
    // they are not all there.
    bool append(uint64_t offset, uint64_t n, std::string& out);
};

// One marker segment of a JPEG's headers: its marker byte (0xE2 for APP2),
// where its 0xFF lies and its length field (which counts itself).
struct JpegSegment {
    uint32_t marker;
    uint64_t offset;
    uint32_t length;
};

// Walks a JPEG's marker segments from the start of image by their lengths,
// up to the first scan, calling `visit` for each until it returns false.
// Returns the offset of the segment it stopped at; 0 when the file is no
// JPEG or the scan or end came first.
uint64_t walkJpegHeaders(ByteReader& in, const std::function<bool(const JpegSegment&)>& visit);

// The offset of a JPEG's first frame header (its SOFn marker), found by
// walking the segments from the start of image by their lengths; 0 when
// the file is no JPEG or its scan or end comes before any frame header.
uint64_t jpegFrameHeaderOffset(ByteReader& in);
