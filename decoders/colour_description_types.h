// The colour description of a picture's numbers, as the readers of each file
// format fill it in and the transform takes it.
#pragma once

#include <cstddef>
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

// The largest profile taken from a file; larger ones are ignored.
constexpr size_t maxEmbeddedProfileBytes = size_t(16) << 20;
