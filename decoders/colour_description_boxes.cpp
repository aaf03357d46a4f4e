// The colour descriptions of JPEG 2000 and OpenEXR files, which both keep
// them in tagged fields near the start.
#include <cmath>
#include <cstring>

#include "decoders/colour_description_formats.h"

namespace {

// A JP2 box: its type and where its contents lie.
struct Box {
    uint64_t contents = 0;
    uint64_t end = 0;
    bool valid = false;
};

Box boxAt(ByteReader& in, uint64_t at, uint64_t limit) {
    Box box;
    uint64_t length = in.be(at, 4);
    uint64_t header = 8;
    if (length == 1) {
        length = uint64_t(in.be(at + 8, 4)) << 32 | in.be(at + 12, 4);
        header = 16;
    } else if (length == 0) {
        length = limit - at;
    }
    if (!in.ok || length < header || length > limit - at) return box;
    box.contents = at + header;
    box.end = at + length;
    box.valid = true;
    return box;
}

// The box of this type among those from `at` to `limit`.
Box findBox(ByteReader& in, uint64_t at, uint64_t limit, const char* type) {
    while (at + 8 <= limit) {
        Box box = boxAt(in, at, limit);
        if (!box.valid) break;
        if (in.tagIs(at + 4, type, 4)) return box;
        at = box.end;
    }
    return Box();
}

float littleFloat(ByteReader& in, uint64_t at) {
    uint32_t bits = in.le(at, 4);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

}  // namespace

// The first colr box of the header box: method 1 names a space (sRGB,
// grey and sYCC are all sRGB for the viewer), methods 2 and 3 hold a profile.
void readJpeg2000Colours(ByteReader& in, ColourDescription& description) {
    Box header = findBox(in, 0, in.bytes.size, "jp2h");
    if (!header.valid) return;
    Box colour = findBox(in, header.contents, header.end, "colr");
    if (!colour.valid || colour.end - colour.contents < 3) return;
    uint32_t method = in.be(colour.contents, 1);
    if (method != 2 && method != 3) return;
    std::string profile;
    uint64_t start = colour.contents + 3;
    if (colour.end - start <= maxEmbeddedProfileBytes && in.append(start, colour.end - start, profile))
        takeEmbeddedProfile(std::move(profile), description);
}

// The first header's attributes: a name, a type name, a size and a value
// each, up to an empty name. "chromaticities" is eight floats: red, green,
// blue and white x and y. The decoder (decoders/libraries/exr_openexr.cpp)
// gives its linear values sRGB's curve, so that curve goes with them; the
// primaries of Rec. 709, the default, are sRGB's own.
void readOpenExrColours(ByteReader& in, ColourDescription& description) {
    const size_t maxNameBytes = 256;
    uint64_t at = 8;
    for (int attribute = 0; attribute < 1024 && in.ok; ++attribute) {
        std::string name, type;
        for (std::string* text : {&name, &type}) {
            for (uint32_t byte; (byte = in.be(at++, 1)) != 0 && in.ok;) {
                if (text->size() >= maxNameBytes) return;
                text->push_back(char(byte));
            }
            if (text == &name && name.empty()) return;
        }
        uint32_t size = in.le(at, 4);
        at += 4;
        if (name == "chromaticities" && type == "chromaticities" && size == 32) {
            Chromaticities found;
            double* points[4] = {found.red, found.green, found.blue, found.white};
            for (int i = 0; i < 8; ++i) points[i / 2][i % 2] = littleFloat(in, at + 4 * i);
            for (double* point : points)
                if (!(point[1] > 0) || !(point[0] >= 0) || point[0] + point[1] > 1.5) return;
            bool rec709 = true;
            Chromaticities standard;
            double* standardPoints[4] = {standard.red, standard.green, standard.blue, standard.white};
            for (int i = 0; i < 8; ++i) rec709 = rec709 && std::abs(points[i / 2][i % 2] - standardPoints[i / 2][i % 2]) < 1e-4;
            if (!in.ok || rec709) return;
            description.kind = ColourDescription::Kind::numbers;
            description.primaries = found;
            description.gamma = 0;
            return;
        }
        at += size;
    }
}
