// Dr. Halo CUT: a 6-byte header (width, height, a reserved word), then for
// every row a byte count and run-length packets up to a 0 byte: a packet
// byte with the top bit set repeats the next byte (count & 0x7F) times,
// otherwise that many literal bytes follow. The pixels are palette indices;
// the palette is a separate .pal file of the same base name, whose entries
// are 16-bit red, green, blue values out of the header's maxima, packed in
// 512-byte blocks that no entry crosses. Without a usable palette the
// indices are shown as grey levels.
#include <algorithm>
#include <array>
#include <cstddef>
#include <vector>

#include "decoders/formats.h"
#include "decoders/picture_files.h"
#include "util/little_endian.h"
#include "util/picture_companions.h"

namespace {

using Palette = std::array<unsigned char, 256 * 3>;

const size_t palHeaderBytes = 40;
const size_t palBlockBytes = 512;
const size_t palEntryBytes = 6;
// The file is read whole; a larger one (tens of millions of pixels) is refused.
const size_t cutFileLimit = size_t(64) << 20;

// The first `limit` bytes of a file (all of it when shorter); none when it
// is missing.
std::vector<unsigned char> readFile(const std::string& path, size_t limit) {
    std::shared_ptr<const std::string_view> file = pictureFileBytes(path);
    if (!file) return {};
    return std::vector<unsigned char>(file->begin(), file->begin() + std::ptrdiff_t(std::min(file->size(), limit)));
}

Palette greyLevels() {
    Palette grey;
    for (size_t i = 0; i < 256; ++i) grey[i * 3] = grey[i * 3 + 1] = grey[i * 3 + 2] = (unsigned char)i;
    return grey;
}

// Reads a Dr. Halo palette file; false when it is missing or not one.
bool readPalette(const std::string& path, Palette* palette) {
    std::vector<unsigned char> bytes = readFile(path, 64 * 1024);
    if (bytes.size() < palHeaderBytes || bytes[0] != 'A' || bytes[1] != 'H') return false;
    uint32_t maxIndex = littleEndian16(&bytes[12]);
    uint32_t maxima[3] = {littleEndian16(&bytes[14]), littleEndian16(&bytes[16]), littleEndian16(&bytes[18])};
    if (maxima[0] == 0 || maxima[1] == 0 || maxima[2] == 0) return false;
    palette->fill(0);
    size_t at = palHeaderBytes;
    for (uint32_t index = 0; index <= maxIndex && index < 256; ++index) {
        if (at % palBlockBytes > palBlockBytes - palEntryBytes) at += palBlockBytes - at % palBlockBytes;
        if (at + palEntryBytes > bytes.size()) return false;
        for (int c = 0; c < 3; ++c) {
            uint32_t value = littleEndian16(&bytes[at + size_t(c) * 2]);
            if (value > maxima[c]) value = maxima[c];
            (*palette)[index * 3 + size_t(c)] = (unsigned char)((value * 255 + maxima[c] / 2) / maxima[c]);
        }
        at += palEntryBytes;
    }
    return true;
}

// The picture's palette: the first of name.pal, name.PAL, ... that reads.
Palette paletteFor(const std::string& path) {
    Palette palette;
    for (const std::string& name : pictureCompanionNames(path)) {
        if (readPalette(name, &palette)) return palette;
    }
    return greyLevels();
}

// Unpacks the rows into indices, top row first; false unless every row
// holds exactly `width` pixels.
bool unpackRows(const std::vector<unsigned char>& bytes, uint32_t width, uint32_t height, std::vector<unsigned char>* indices) {
    indices->assign(size_t(width) * height, 0);
    size_t at = 6;
    for (uint32_t y = 0; y < height; ++y) {
        at += 2;  // the row's byte count; the 0 byte ends the row
        unsigned char* row = indices->data() + size_t(y) * width;
        size_t filled = 0;
        for (;;) {
            if (at >= bytes.size()) return false;
            unsigned char packet = bytes[at++];
            if (packet == 0) break;
            size_t count = packet & 0x7F;
            if (filled + count > width) return false;
            if (packet & 0x80) {
                if (at >= bytes.size()) return false;
                for (size_t i = 0; i < count; ++i) row[filled++] = bytes[at];
                ++at;
            } else {
                if (at + count > bytes.size()) return false;
                for (size_t i = 0; i < count; ++i) row[filled++] = bytes[at++];
            }
        }
        if (filled != width) return false;
    }
    return true;
}

}  // namespace

bool decodeCut(const std::string& path) {
    std::vector<unsigned char> bytes = readFile(path, cutFileLimit + 1);
    if (bytes.size() < 6 || bytes.size() > cutFileLimit) return false;
    uint32_t width = littleEndian16(&bytes[0]);
    uint32_t height = littleEndian16(&bytes[2]);
    // Every row takes at least its count and its end byte.
    if (!acceptableSize(width, height) || uint64_t(height) * 3 > bytes.size()) return false;
    std::vector<unsigned char> indices;
    if (!unpackRows(bytes, width, height, &indices)) return false;
    Palette palette = paletteFor(path);
    unsigned char* target = rgbaCanvas(width, height);
    if (!target) return false;
    for (unsigned char index : indices) {
        target[0] = palette[size_t(index) * 3];
        target[1] = palette[size_t(index) * 3 + 1];
        target[2] = palette[size_t(index) * 3 + 2];
        target[3] = 255;
        target += 4;
    }
    return true;
}
