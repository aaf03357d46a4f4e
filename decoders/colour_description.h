// What a picture file says about the colours of its numbers: an embedded
// ICC profile, or a few numbers (primaries, white point, transfer curve)
// that make one. Read from the file's own headers, inside the decode helper
// only: profiles are untrusted data, parsed nowhere else.
//
// Honoured: JPEG APP2 ICC_PROFILE segments (in sequence order, over several
// segments), PNG iCCP, sRGB, gAMA with cHRM and gAMA alone, Photoshop image
// resource 1039, the JPEG 2000 colr box (enumerated or ICC), OpenEXR's
// chromaticities, a BMP v4/v5 embedded profile or calibrated RGB. A file that
// says nothing, or says sRGB, is sRGB.
#pragma once

#include <string>

// CIE xy chromaticities of the three primaries and the white point.
struct Chromaticities {
    double red[2] = {0.64, 0.33};
    double green[2] = {0.30, 0.60};
    double blue[2] = {0.15, 0.06};
    double white[2] = {0.3127, 0.3290};
};

struct ColourDescription {
    enum class Kind {
        srgb,     // nothing said, or sRGB said: the numbers are sRGB
        icc,      // `icc` holds the embedded profile
        numbers,  // `primaries` and `gamma` describe the numbers
    };
    Kind kind = Kind::srgb;
    std::string icc;
    Chromaticities primaries;
    // Stored values are linear light raised to 1/gamma; 0: sRGB's own curve.
    double gamma = 0;
};

// The colour description of the picture file at `path`, by its content.
// Anything unreadable or inconsistent is left out: the picture is then sRGB.
ColourDescription readColourDescription(const std::string& path);

// The largest profile taken from a file; larger ones are ignored.
constexpr size_t maxEmbeddedProfileBytes = size_t(16) << 20;
