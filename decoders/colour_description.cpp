#include "decoders/colour_description.h"

#include <cstdio>
#include <map>

#include "decoders/colour_description_formats.h"
#include "decoders/picture_files.h"

namespace {

const size_t iccHeaderBytes = 132;  // the 128-byte header and the tag count

}  // namespace

void takeEmbeddedProfile(std::string profile, ColourDescription& description) {
    if (profile.size() < iccHeaderBytes || profile.size() > maxEmbeddedProfileBytes) return;
    ByteSource source(profile);
    ByteReader in{source};
    uint32_t declared = in.be(0, 4);
    if (declared < iccHeaderBytes || declared > profile.size()) return;
    profile.resize(declared);
    description.kind = ColourDescription::Kind::icc;
    description.icc = std::move(profile);
}

// APP2 segments that begin "ICC_PROFILE\0", then the chunk's number (from 1)
// and the number of chunks. The profile is the chunks in number order; a
// missing, repeated or inconsistent chunk makes it no profile at all.
void readJpegColours(ByteReader& in, ColourDescription& description) {
    std::map<uint32_t, std::string> chunks;
    uint32_t count = 0;
    bool consistent = true;
    size_t total = 0;
    walkJpegHeaders(in, [&](const JpegSegment& segment) {
        const uint32_t signatureBytes = 14;  // "ICC_PROFILE\0", number, count
        if (segment.marker != 0xE2 || segment.length < 2 + signatureBytes) return true;
        uint64_t body = segment.offset + 4;
        if (!in.tagIs(body, "ICC_PROFILE\0", 12)) return true;
        uint32_t number = in.be(body + 12, 1), chunkCount = in.be(body + 13, 1);
        if (number == 0 || number > chunkCount || (count && chunkCount != count) || chunks.count(number)) {
            consistent = false;
            return false;
        }
        count = chunkCount;
        uint32_t size = segment.length - 2 - signatureBytes;
        total += size;
        if (total > maxEmbeddedProfileBytes || !in.append(body + signatureBytes, size, chunks[number])) {
            consistent = false;
            return false;
        }
        return true;
    });
    if (!consistent || count == 0 || chunks.size() != count) return;
    std::string profile;
    for (auto& chunk : chunks) profile += chunk.second;
    takeEmbeddedProfile(std::move(profile), description);
}

// Photoshop: after the 26-byte header and the colour mode data, the image
// resources section, a run of "8BIM" blocks: id, a Pascal name padded to an
// even length, the data's size and the data, padded to even.
void readPhotoshopColours(ByteReader& in, ColourDescription& description) {
    const uint32_t iccResource = 1039;
    uint64_t resources = 26 + 4 + uint64_t(in.be(26, 4));
    uint64_t end = resources + 4 + uint64_t(in.be(resources, 4));
    uint64_t at = resources + 4;
    while (in.ok && at + 12 <= end) {
        if (!in.tagIs(at, "8BIM", 4)) return;
        uint32_t id = in.be(at + 4, 2);
        uint64_t nameBytes = (1 + uint64_t(in.be(at + 6, 1)) + 1) & ~uint64_t(1);
        uint64_t sizeAt = at + 6 + nameBytes;
        uint64_t size = in.be(sizeAt, 4);
        if (sizeAt + 4 + size > end) return;
        if (id == iccResource) {
            std::string profile;
            if (size <= maxEmbeddedProfileBytes && in.append(sizeAt + 4, size, profile))
                takeEmbeddedProfile(std::move(profile), description);
            return;
        }
        at = sizeAt + 4 + ((size + 1) & ~uint64_t(1));
    }
}

// BMP v4 and v5 headers name their colour space after the 40 bytes of the
// plain header: calibrated RGB (the primaries' XYZ as 2.30 fixed point, and
// a gamma per channel as 16.16), or, in v5 only, a profile embedded at an
// offset from the header's start. sRGB, the system's space and linked
// profiles (a file name: the helper opens nothing it was not given) are sRGB.
void readBmpColours(ByteReader& in, ColourDescription& description) {
    const uint64_t header = 14;
    const uint32_t calibratedRgb = 0, embedded = 0x4D424544;  // 'MBED'
    uint32_t headerBytes = in.le(header, 4);
    if (headerBytes != 108 && headerBytes != 124) return;
    uint32_t space = in.le(header + 56, 4);
    if (space == embedded && headerBytes == 124) {
        uint64_t offset = header + in.le(header + 112, 4);
        uint32_t size = in.le(header + 116, 4);
        std::string profile;
        if (size <= maxEmbeddedProfileBytes && in.append(offset, size, profile))
            takeEmbeddedProfile(std::move(profile), description);
        return;
    }
    if (space != calibratedRgb) return;
    double xyz[3][3], white[3] = {0, 0, 0};
    for (int primary = 0; primary < 3; ++primary) {
        for (int axis = 0; axis < 3; ++axis) {
            xyz[primary][axis] = double(int32_t(in.le(header + 60 + 12 * primary + 4 * axis, 4))) / double(1 << 30);
            white[axis] += xyz[primary][axis];
        }
    }
    double gamma = in.le(header + 96, 4) / 65536.0;
    Chromaticities found;
    double* foundTargets[4] = {found.red, found.green, found.blue, found.white};
    for (int i = 0; i < 4; ++i) {
        const double* point = i < 3 ? xyz[i] : white;
        double sum = point[0] + point[1] + point[2];
        if (!in.ok || !(point[1] > 0) || !(sum > 0)) return;  // writers often leave them all zero
        foundTargets[i][0] = point[0] / sum;
        foundTargets[i][1] = point[1] / sum;
    }
    description.kind = ColourDescription::Kind::numbers;
    description.primaries = found;
    description.gamma = gamma >= 0.1 && gamma <= 10 ? gamma : 0;
}

ColourDescription readColourDescription(const std::string& path) {
    ColourDescription description;
    std::shared_ptr<const std::string_view> file = pictureFileBytes(path);
    if (!file) return description;
    ByteSource source(*file);
    ByteReader in{source};
    if (in.tagIs(0, "\xFF\xD8\xFF", 3)) {
        readJpegColours(in, description);
    } else if (in.tagIs(0, "\x89PNG\r\n\x1A\n", 8)) {
        readPngColours(in, description);
    } else if (in.tagIs(0, "8BPS", 4)) {
        readPhotoshopColours(in, description);
    } else if (in.tagIs(0, "BM", 2)) {
        readBmpColours(in, description);
    } else if (in.tagIs(0, "\0\0\0\x0CjP  \r\n\x87\n", 12)) {
        readJpeg2000Colours(in, description);
    } else if (in.tagIs(0, "\x76\x2F\x31\x01", 4)) {
        readOpenExrColours(in, description);
    }
    return description;
}
