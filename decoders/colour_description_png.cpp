// PNG's colour chunks, which all come before the first IDAT: iCCP (a
// deflated profile) wins over sRGB, which wins over gAMA (with cHRM's
// primaries and white point when present, else sRGB's). A gamma of 1/2.2
// with sRGB's primaries or none is how writers (ImageMagick among them)
// approximate sRGB in those two chunks, and is taken as sRGB, as libpng
// takes it.
#include <cmath>

#include <zlib.h>

#include "decoders/colour_description_formats.h"

namespace {

// Inflates a zlib stream of at most maxEmbeddedProfileBytes; empty when it
// is damaged, cut short or larger.
std::string inflated(const std::string& compressed) {
    std::string out;
    z_stream stream = {};
    if (inflateInit(&stream) != Z_OK) return out;
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(compressed.data()));
    stream.avail_in = uInt(compressed.size());
    unsigned char chunk[16384];
    int status = Z_OK;
    while (status == Z_OK) {
        stream.next_out = chunk;
        stream.avail_out = sizeof chunk;
        status = inflate(&stream, Z_NO_FLUSH);
        out.append(reinterpret_cast<const char*>(chunk), sizeof chunk - stream.avail_out);
        if (out.size() > maxEmbeddedProfileBytes) status = Z_MEM_ERROR;
    }
    inflateEnd(&stream);
    if (status != Z_STREAM_END) out.clear();
    return out;
}

bool near(const double* a, const double* b) { return std::fabs(a[0] - b[0]) < 0.01 && std::fabs(a[1] - b[1]) < 0.01; }

bool meansSrgb(double gamma, bool haveChromaticities, const Chromaticities& found) {
    if (std::fabs(gamma - 2.2) > 0.02) return false;
    if (!haveChromaticities) return true;
    Chromaticities srgb;
    return near(found.red, srgb.red) && near(found.green, srgb.green) && near(found.blue, srgb.blue) &&
           near(found.white, srgb.white);
}

}  // namespace

void readPngColours(ByteReader& in, ColourDescription& description) {
    std::string profile;
    bool srgb = false, haveGamma = false, haveChromaticities = false;
    double gamma = 0;
    Chromaticities chromaticities;
    for (uint64_t at = 8; in.holds(at, 12);) {
        uint32_t length = in.be(at, 4);
        uint64_t data = at + 8;
        if (!in.holds(data, uint64_t(length) + 4) || in.tagIs(at + 4, "IDAT", 4) || in.tagIs(at + 4, "IEND", 4)) break;
        if (in.tagIs(at + 4, "iCCP", 4) && profile.empty() && length <= maxEmbeddedProfileBytes) {
            std::string body;
            in.append(data, length, body);
            // A name of 1 to 79 bytes, its end, then method 0 (zlib).
            size_t nameEnd = body.find('\0');
            if (nameEnd != std::string::npos && nameEnd >= 1 && nameEnd <= 79 && nameEnd + 1 < body.size() &&
                body[nameEnd + 1] == 0)
                profile = inflated(body.substr(nameEnd + 2));
        } else if (in.tagIs(at + 4, "sRGB", 4) && length == 1) {
            srgb = true;
        } else if (in.tagIs(at + 4, "gAMA", 4) && length == 4) {
            uint32_t encoding = in.be(data, 4);  // 1/gamma, times 100000
            haveGamma = encoding > 0;
            gamma = haveGamma ? 100000.0 / encoding : 0;
        } else if (in.tagIs(at + 4, "cHRM", 4) && length == 32) {
            double* points[4] = {chromaticities.white, chromaticities.red, chromaticities.green, chromaticities.blue};
            haveChromaticities = true;
            for (int i = 0; i < 8; ++i) {
                points[i / 2][i % 2] = in.be(data + 4 * i, 4) / 100000.0;
                if (!(points[i / 2][1] > 0) && i % 2) haveChromaticities = false;
            }
        }
        at = data + length + 4;
    }
    if (!in.ok) return;
    if (!profile.empty()) {
        takeEmbeddedProfile(std::move(profile), description);
        if (description.kind == ColourDescription::Kind::icc) return;
    }
    if (srgb || !haveGamma || !(gamma >= 0.1 && gamma <= 10) || meansSrgb(gamma, haveChromaticities, chromaticities))
        return;
    description.kind = ColourDescription::Kind::numbers;
    description.gamma = gamma;
    if (haveChromaticities) description.primaries = chromaticities;
}
