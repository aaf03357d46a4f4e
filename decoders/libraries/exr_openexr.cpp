// OpenEXR through the library's RGBA interface, which also reads luminance
// and chroma files, tiled files and the first part of a multi-part file, and
// gives alpha 1 where the file has none. Half values (float ones arrive
// narrowed to half by that interface) become 8 bits by the simplest tone
// mapping: no exposure change, clamp to [0, 1], then the sRGB transfer
// curve; alpha is clamped and kept linear. The library reads with no threads
// of its own (its global thread count stays 0).
#include <array>
#include <cmath>
#include <cstdint>
#include <exception>
#include <stdexcept>
#include <vector>

#include <ImfHeader.h>
#include <ImfIO.h>
#include <ImfRgbaFile.h>

#include "decoders/formats.h"
#include "decoders/picture_files.h"

namespace {

unsigned char srgbByte(float linear) {
    if (!(linear > 0.0f)) return 0;  // also NaN
    if (linear >= 1.0f) return 255;
    float encoded = linear <= 0.0031308f ? linear * 12.92f : 1.055f * std::pow(linear, 1.0f / 2.4f) - 0.055f;
    return (unsigned char)(encoded * 255.0f + 0.5f);
}

unsigned char alphaByte(float alpha) {
    if (!(alpha > 0.0f)) return 0;
    if (alpha >= 1.0f) return 255;
    return (unsigned char)(alpha * 255.0f + 0.5f);
}

// Every half value's byte, worked out once: a table look-up per sample
// instead of a power function.
struct HalfTables {
    std::array<unsigned char, 65536> colour;
    std::array<unsigned char, 65536> alpha;
    HalfTables() {
        for (uint32_t bits = 0; bits < 65536; ++bits) {
            half value;
            value.setBits(uint16_t(bits));
            colour[bits] = srgbByte(float(value));
            alpha[bits] = alphaByte(float(value));
        }
    }
};

// The file's bytes as the library's input stream.
class MemoryStream : public Imf::IStream {
public:
    MemoryStream(const std::string& name, std::string_view bytes) : Imf::IStream(name.c_str()), bytes(bytes) {}

    bool read(char c[], int n) override {
        if (n < 0 || uint64_t(n) > bytes.size() - at) throw std::runtime_error("the file ends early");
        bytes.copy(c, size_t(n), size_t(at));
        at += uint64_t(n);
        return at < bytes.size();
    }
    uint64_t tellg() override { return at; }
    void seekg(uint64_t position) override { at = position < bytes.size() ? position : bytes.size(); }

private:
    std::string_view bytes;
    uint64_t at = 0;
};

// Headers that claim more are refused by the library before it allocates
// for them; the picture's area is checked again below.
const int maxSide = 1 << 17;
const int maxTileSide = 1 << 13;

}  // namespace

bool decodeOpenExr(const std::string& path) {
    static const HalfTables tables;
    try {
        Imf::Header::setMaxImageSize(maxSide, maxSide);
        Imf::Header::setMaxTileSize(maxTileSide, maxTileSide);
        std::shared_ptr<const std::string_view> bytes = pictureFileBytes(path);
        if (!bytes) return false;
        MemoryStream stream(path, *bytes);
        Imf::RgbaInputFile file(stream, 0);
        const Imath::Box2i window = file.dataWindow();
        int64_t width = int64_t(window.max.x) - window.min.x + 1;
        int64_t height = int64_t(window.max.y) - window.min.y + 1;
        if (width <= 0 || height <= 0 || !acceptableSize(uint64_t(width), uint64_t(height))) return false;
        // One row at a time: the half pixels of a whole picture would double
        // the memory the decode needs.
        // A y stride of 0 lays every row over the same buffer.
        std::vector<Imf::Rgba> row(static_cast<size_t>(width));
        unsigned char* target = rgbaCanvas(uint32_t(width), uint32_t(height));
        if (!target) return false;
        file.setFrameBuffer(row.data() - window.min.x, 1, 0);
        for (int y = window.min.y; y <= window.max.y; ++y) {
            file.readPixels(y);
            for (const Imf::Rgba& pixel : row) {
                target[0] = tables.colour[pixel.r.bits()];
                target[1] = tables.colour[pixel.g.bits()];
                target[2] = tables.colour[pixel.b.bits()];
                target[3] = tables.alpha[pixel.a.bits()];
                target += 4;
            }
        }
        return true;
    } catch (const std::exception&) {
        return false;
    }
}
