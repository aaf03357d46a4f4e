// The application icon's .ico file, decoded for SDL: the largest image stored
// as an uncompressed 32- or 24-bit bitmap (the AND mask giving transparency
// when no alpha is stored). PNG-compressed images and other bit depths are
// passed over.
#include "platform/linux/icon_file.h"

#include <cstring>

#include "util/little_endian.h"

namespace olvlinux {

namespace {

// Decodes one BMP-in-ICO image: a BITMAPINFOHEADER whose height counts the
// colour rows and the AND-mask rows, both stored bottom-up.
bool decodeBmpImage(const unsigned char* data, std::size_t size, IconImage& out) {
    if (size < 40 || littleEndian32(data) < 40) return false;
    std::int32_t width = static_cast<std::int32_t>(littleEndian32(data + 4));
    std::int32_t doubledHeight = static_cast<std::int32_t>(littleEndian32(data + 8));
    unsigned bitCount = littleEndian16(data + 14);
    std::uint32_t compression = littleEndian32(data + 16);
    // A doubled height below 2 leaves no row of colour.
    if (width <= 0 || width > 1024 || doubledHeight < 2 || doubledHeight > 2048 || compression != 0) return false;
    if (bitCount != 32 && bitCount != 24) return false;
    int height = doubledHeight / 2;
    std::size_t colourStride = ((static_cast<std::size_t>(width) * bitCount + 31) / 32) * 4;
    std::size_t maskStride = ((static_cast<std::size_t>(width) + 31) / 32) * 4;
    std::size_t colourStart = littleEndian32(data);
    std::size_t maskStart = colourStart + colourStride * height;
    bool hasMask = maskStart + maskStride * height <= size;
    if (maskStart > size) return false;

    out.width = width;
    out.height = height;
    out.argb.assign(static_cast<std::size_t>(width) * height, 0);
    bool anyAlpha = false;
    for (int row = 0; row < height; ++row) {
        const unsigned char* src = data + colourStart + colourStride * (height - 1 - row);
        for (int x = 0; x < width; ++x) {
            const unsigned char* px = src + x * (bitCount / 8);
            std::uint32_t alpha = bitCount == 32 ? px[3] : 0;
            anyAlpha = anyAlpha || alpha != 0;
            out.argb[static_cast<std::size_t>(row) * width + x] =
                alpha << 24 | static_cast<std::uint32_t>(px[2]) << 16 | static_cast<std::uint32_t>(px[1]) << 8 | px[0];
        }
    }
    if (anyAlpha) return true;
    // No alpha stored: the AND mask says which pixels are transparent.
    for (int row = 0; row < height; ++row) {
        const unsigned char* mask = hasMask ? data + maskStart + maskStride * (height - 1 - row) : nullptr;
        for (int x = 0; x < width; ++x) {
            bool transparent = mask && (mask[x / 8] & (0x80 >> (x % 8)));
            if (!transparent) out.argb[static_cast<std::size_t>(row) * width + x] |= 0xFF000000u;
        }
    }
    return true;
}

}  // namespace

bool decodeIcon(const unsigned char* data, std::size_t size, IconImage& out) {
    if (!data || size < 6 || littleEndian16(data) != 0 || littleEndian16(data + 2) != 1) return false;
    std::size_t count = littleEndian16(data + 4);
    if (count == 0 || 6 + count * 16 > size) return false;
    // Take the largest bitmap image (0 in the directory means 256 pixels).
    // Images stored as PNG, as Windows keeps its 256-pixel size, are passed
    // over: a smaller bitmap serves a window icon as well.
    std::size_t best = count;
    int bestArea = -1;
    for (std::size_t i = 0; i < count; ++i) {
        const unsigned char* entry = data + 6 + i * 16;
        int w = entry[0] ? entry[0] : 256, h = entry[1] ? entry[1] : 256;
        std::size_t offset = littleEndian32(entry + 12);
        bool isPng = offset <= size && size - offset >= 8 && std::memcmp(data + offset, "\x89PNG\r\n\x1a\n", 8) == 0;
        if (!isPng && w * h > bestArea) {
            bestArea = w * h;
            best = i;
        }
    }
    if (best == count) return false;
    const unsigned char* entry = data + 6 + best * 16;
    std::size_t length = littleEndian32(entry + 8), offset = littleEndian32(entry + 12);
    if (offset >= size || length > size - offset) return false;
    return decodeBmpImage(data + offset, length, out);
}

}  // namespace olvlinux
