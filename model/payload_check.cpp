#include "model/payload_check.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include <IL/il.h>

#include "decoders/picture_files.h"
#include "util/byte_reader.h"

namespace {

// a x b, or the largest value when that does not fit: no file holds it.
uint64_t times(uint64_t a, uint64_t b) { return b != 0 && a > UINT64_MAX / b ? UINT64_MAX : a * b; }

bool tagIs(ByteReader& in, uint64_t offset, const char* tag) { return in.tagIs(offset, tag, std::strlen(tag)); }

// ---- DDS --------------------------------------------------------------------

const uint32_t ddsLinearSizeFlag = 0x80000;
const uint32_t ddsFourCcFlag = 0x4;

constexpr uint32_t fourCc(const char (&code)[5]) {
    return uint32_t(uint8_t(code[0])) | uint32_t(uint8_t(code[1])) << 8 | uint32_t(uint8_t(code[2])) << 16 |
           uint32_t(uint8_t(code[3])) << 24;
}

// Bytes of the first surface (the picture shown), 0 when the pixel format
// is not one whose size is known here.
uint64_t ddsSurfaceBytes(uint32_t width, uint32_t height, uint32_t formatFlags, uint32_t code, uint32_t bitCount) {
    uint64_t blocks = uint64_t(width / 4 + (width % 4 != 0)) * uint64_t(height / 4 + (height % 4 != 0));
    uint64_t pixels = uint64_t(width) * height;
    if (!(formatFlags & ddsFourCcFlag)) return bitCount % 8 == 0 ? times(pixels, bitCount / 8) : 0;
    switch (code) {
        case fourCc("DXT1"): case fourCc("ATI1"): return times(blocks, 8);
        case fourCc("DXT2"): case fourCc("DXT3"): case fourCc("DXT4"): case fourCc("DXT5"):
        case fourCc("ATI2"): case fourCc("RXGB"): return times(blocks, 16);
        case 111: return times(pixels, 2);                       // R16F
        case 112: case 114: return times(pixels, 4);             // G16R16F, R32F
        case 36: case 113: case 115: return times(pixels, 8);    // A16B16G16R16(F), G32R32F
        case 116: return times(pixels, 16);                      // A32B32G32R32F
        default: return 0;
    }
}

// A size field smaller than the surface makes DevIL read that many bytes
// and decompress the whole surface from them, past the end of its buffer.
bool ddsFits(ByteReader& in) {
    if (!tagIs(in, 0, "DDS ")) return true;
    uint32_t flags = in.le(8, 4), height = in.le(12, 4), width = in.le(16, 4), linearSize = in.le(20, 4);
    uint32_t formatFlags = in.le(80, 4), code = in.le(84, 4), bitCount = in.le(88, 4);
    if (!in.ok) return false;
    uint64_t surface = ddsSurfaceBytes(width, height, formatFlags, code, bitCount);
    if (surface == 0) return true;
    if ((flags & ddsLinearSizeFlag) && linearSize != 0 && linearSize < surface) return false;
    return in.holds(128, surface);
}

// ---- BMP --------------------------------------------------------------------

// Rows of an uncompressed bitmap follow its headers, each padded to 4 bytes.
// Run-length and embedded JPEG/PNG data have no fixed size.
bool bmpFits(ByteReader& in) {
    if (!tagIs(in, 0, "BM")) return true;
    uint32_t headerSize = in.le(14, 4);
    uint64_t width = 0, height = 0, bitCount = 0, compression = 0;
    if (headerSize == 12) {
        width = in.le(18, 2);
        height = in.le(20, 2);
        bitCount = in.le(24, 2);
    } else if (headerSize >= 40) {
        int32_t signedWidth = int32_t(in.le(18, 4)), signedHeight = int32_t(in.le(22, 4));
        width = signedWidth < 0 ? 0 : uint64_t(signedWidth);
        height = signedHeight < 0 ? uint64_t(-int64_t(signedHeight)) : uint64_t(signedHeight);
        bitCount = in.le(28, 2);
        compression = in.le(30, 4);
    } else {
        return true;
    }
    if (!in.ok) return false;
    bool plain = compression == 0 || compression == 3 || compression == 6;
    if (!plain || bitCount == 0) return true;
    uint64_t rowBytes = (width * bitCount + 31) / 32 * 4;
    return in.holds(14 + uint64_t(headerSize), times(rowBytes, height));
}

// ---- Targa ------------------------------------------------------------------

// Where the pixels start and how many bytes one takes; false for a header
// that names no picture type judged here.
bool tgaLayout(ByteReader& in, uint64_t* start, uint64_t* pixelBytes, uint64_t* pixels, bool* runLength) {
    uint32_t idLength = in.le(0, 1), mapType = in.le(1, 1), imageType = in.le(2, 1);
    uint32_t mapLength = in.le(5, 2), mapBits = in.le(7, 1);
    uint32_t width = in.le(12, 2), height = in.le(14, 2), bits = in.le(16, 1);
    if (!in.ok || mapType > 1) return false;
    if (imageType != 1 && imageType != 2 && imageType != 3 && imageType != 9 && imageType != 10 && imageType != 11)
        return false;
    if (bits == 0 || width == 0 || height == 0) return false;
    *start = 18 + uint64_t(idLength) + (mapType == 1 ? uint64_t(mapLength) * ((mapBits + 7) / 8) : 0);
    *pixelBytes = (bits + 7) / 8;
    *pixels = uint64_t(width) * height;
    *runLength = imageType >= 9;
    return true;
}

// Walks the packets (a count byte, then one pixel repeated or that many
// literal pixels) until every pixel is accounted for.
bool tgaRunsFit(ByteReader& in, uint64_t offset, uint64_t pixelBytes, uint64_t pixels) {
    uint64_t counted = 0;
    while (counted < pixels) {
        uint32_t packet = in.le(offset, 1);
        if (!in.ok) return false;
        uint64_t count = (packet & 0x7F) + 1;
        offset += 1 + (packet & 0x80 ? pixelBytes : count * pixelBytes);
        if (offset > in.bytes.size) return false;
        counted += count;
    }
    return true;
}

// Targa has no signature; it is judged when its decoder is chosen.
bool tgaFits(ByteReader& in) {
    uint64_t start = 0, pixelBytes = 0, pixels = 0;
    bool runLength = false;
    if (!tgaLayout(in, &start, &pixelBytes, &pixels, &runLength)) return in.ok;
    if (runLength) return tgaRunsFit(in, start, pixelBytes, pixels);
    return in.holds(start, times(pixels, pixelBytes));
}

// ---- Photoshop --------------------------------------------------------------

// The merged picture follows three length-prefixed sections. Plain data
// holds every channel in full; RLE data starts with a table of each row's
// packed length, whose sum it must hold.
bool psdFits(ByteReader& in) {
    if (!tagIs(in, 0, "8BPS") || in.be(4, 2) != 1) return true;
    uint64_t channels = in.be(12, 2), height = in.be(14, 4), width = in.be(18, 4), depth = in.be(22, 2);
    uint64_t offset = 26;
    for (int section = 0; section < 3 && in.ok; ++section) offset += 4 + uint64_t(in.be(offset, 4));
    uint32_t compression = in.be(offset, 2);
    if (!in.ok) return false;
    offset += 2;
    uint64_t rowBytes = depth == 1 ? (width + 7) / 8 : width * (depth / 8);
    uint64_t rows = channels * height;
    if (compression == 0) return in.holds(offset, times(rowBytes, rows));
    if (compression != 1) return true;
    if (!in.holds(offset, rows * 2)) return false;
    uint64_t packed = 0;
    for (uint64_t row = 0; row < rows; ++row) packed += in.be(offset + row * 2, 2);
    return in.ok && in.holds(offset + rows * 2, packed);
}

// ---- PCX --------------------------------------------------------------------

// Every row of every plane is packed in pairs (a count byte of 0xC0 plus
// the count, then the value) or single bytes below 0xC0; the packets must
// give all of them. A 256-colour picture then has its palette (768 bytes,
// after a byte 12) or nothing, for grey.
bool pcxFits(ByteReader& in) {
    uint32_t maker = in.le(0, 1), version = in.le(1, 1), encoding = in.le(2, 1), bits = in.le(3, 1);
    uint64_t left = in.le(4, 2), top = in.le(6, 2), right = in.le(8, 2), bottom = in.le(10, 2);
    uint64_t planes = in.le(65, 1), rowBytes = in.le(66, 2);
    if (!in.ok) return false;
    if (maker != 10 || encoding != 1 || right < left || bottom < top) return true;
    uint64_t needed = (bottom - top + 1) * planes * rowBytes;
    uint64_t offset = 128;
    for (uint64_t decoded = 0; decoded < needed;) {
        uint32_t packet = in.le(offset, 1);
        if (!in.ok) return false;
        bool run = (packet & 0xC0) == 0xC0;
        decoded += run ? packet & 0x3F : 1;
        offset += run ? 2 : 1;
    }
    if (offset > in.bytes.size) return false;
    if (version != 5 || planes != 1 || bits != 8 || offset == in.bytes.size) return true;
    uint64_t palette = in.le(offset, 1) == 12 ? 769 : 768;
    return in.ok && in.holds(offset, palette);
}

// ---- DevIL raw --------------------------------------------------------------

// Width, height and depth (32-bit each), bytes per pixel and per channel,
// then the samples.
bool rawFits(ByteReader& in) {
    uint64_t width = in.le(0, 4), height = in.le(4, 4), depth = in.le(8, 4);
    uint64_t pixelBytes = in.le(12, 1), channelBytes = in.le(13, 1);
    if (!in.ok) return false;
    return in.holds(14, times(times(times(width, height), depth), pixelBytes * channelBytes));
}

// ---- DICOM ------------------------------------------------------------------

// Walks the data elements after the "DICM" signature to the pixel data,
// keeping the picture's size; only uncompressed transfer syntaxes are read
// by the decoder, so the element must hold rows x columns x frames samples.
// A walk that goes astray gives no verdict: the decoder judges that file.
bool dicomFits(ByteReader& in) {
    if (!tagIs(in, 128, "DICM")) return in.bytes.size >= 132;  // too short for the signature the decoder needs
    bool bigEndian = false;
    uint64_t samples = 1, frames = 1, rows = 0, columns = 0, bits = 0;
    uint64_t offset = 132;
    // Group 2 is always little-endian; the transfer syntax sets the rest.
    auto number = [&](uint64_t at, int width, uint32_t group) {
        return bigEndian && group != 2 ? in.be(at, width) : in.le(at, width);
    };
    while (in.ok && offset < in.bytes.size) {
        uint32_t group = in.le(offset, 2);
        if (bigEndian && group != 2) group = in.be(offset, 2);
        uint32_t element = number(offset + 2, 2, group);
        unsigned char vr[2] = {};
        if (!in.bytes.read(offset + 4, 2, vr)) return true;
        bool longForm = (vr[0] == 'O' && (vr[1] == 'B' || vr[1] == 'W' || vr[1] == 'F')) ||
                        (vr[0] == 'S' && vr[1] == 'Q') || (vr[0] == 'U' && (vr[1] == 'T' || vr[1] == 'N'));
        uint64_t valueStart = offset + (longForm ? 12 : 8);
        uint64_t length = longForm ? number(offset + 8, 4, group) : number(offset + 6, 2, group);
        if (!in.ok) return true;
        if (group == 0x7FE0 && element == 0x10) {
            if (rows == 0 || columns == 0 || bits % 8 != 0) return true;
            return in.holds(valueStart, times(times(rows * columns, frames), samples * (bits / 8)));
        }
        if (group == 2 && element == 0x10) {
            char uid[65] = {};
            if (length > 64 || !in.bytes.read(valueStart, size_t(length), reinterpret_cast<unsigned char*>(uid)))
                return true;
            bigEndian = std::strncmp(uid, "1.2.840.10008.1.2.2", 64) == 0;
        } else if (group == 0x28 && length <= 4 && length > 0) {
            uint64_t value = number(valueStart, int(length == 4 ? 4 : 2), group);
            if (element == 0x02) samples = value;
            if (element == 0x08 && value > 0) frames = value;
            if (element == 0x10) rows = value;
            if (element == 0x11) columns = value;
            if (element == 0x100) bits = value;
        }
        if (longForm && length == 0xFFFFFFFFu) return true;  // undefined length: not walked here
        offset = valueStart + length;
    }
    return true;
}

bool judge(PayloadFormat format, ByteSource& bytes) {
    ByteReader in{bytes};
    switch (format) {
        case PayloadFormat::dds: return ddsFits(in);
        case PayloadFormat::bmp: return bmpFits(in);
        case PayloadFormat::tga: return tgaFits(in);
        case PayloadFormat::psd: return psdFits(in);
        case PayloadFormat::raw: return rawFits(in);
        case PayloadFormat::dicom: return dicomFits(in);
        case PayloadFormat::pcx: return pcxFits(in);
        case PayloadFormat::other: return true;
    }
    return true;
}

}  // namespace

bool payloadFits(PayloadFormat format, const std::string& path) {
    if (format == PayloadFormat::other) return true;
    std::shared_ptr<const std::string_view> file = pictureFileBytes(path);
    if (!file) return true;  // the decoder reports what it cannot open
    ByteSource bytes(*file);
    return judge(format, bytes);
}

bool payloadFitsBytes(PayloadFormat format, std::string_view bytes) {
    ByteSource source(bytes);
    return judge(format, source);
}

bool devilPayloadFits(unsigned devilType, const std::string& path) {
    ILenum type = ILenum(devilType);
    if (type == IL_TYPE_UNKNOWN) type = ilTypeFromExt(path.c_str());
    if (type == IL_TYPE_UNKNOWN) type = ilDetermineType(path.c_str());
    switch (type) {
        case IL_DDS: return payloadFits(PayloadFormat::dds, path);
        case IL_BMP: return payloadFits(PayloadFormat::bmp, path);
        case IL_TGA: return payloadFits(PayloadFormat::tga, path);
        case IL_PSD: return payloadFits(PayloadFormat::psd, path);
        case IL_RAW: return payloadFits(PayloadFormat::raw, path);
        case IL_DICOM: return payloadFits(PayloadFormat::dicom, path);
        case IL_PCX: return payloadFits(PayloadFormat::pcx, path);
        default: return true;
    }
}
