// Conversion of decoded pixels from the picture's colours (its
// ColourDescription) to the display's, with Little CMS, inside the decode
// helper. The display's profile comes from the viewer as bytes; without one
// the display is sRGB, and a picture that is sRGB costs nothing.
//
// A profile that is damaged, of the wrong kind for the pixels (a grey or
// CMYK profile on RGB data) or of a class that describes no device gives no
// conversion: the pixels stay as stored.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "decoders/colour_description.h"

// Takes the display's ICC profile (empty: sRGB). Only kept here; parsed at
// the first conversion, once the helper runs restricted.
void useDisplayProfile(std::string bytes);

// How the samples of one pixel lie in memory.
struct SampleLayout {
    uint32_t channels = 4;  // 3 (RGB) or 4 (with alpha last); 4 for CMYK
    bool bgr = false;       // blue first
    bool sixteenBits = false;
    bool cmyk = false;
    bool inverted = false;  // CMYK stored as 255 - ink (Adobe's way)
    // RGB samples made from a grey picture: a grey profile then converts
    // the first sample of each pixel into all three.
    bool fromGrey = false;
};

// A conversion to the display's colours, producing 8-bit pixels of the same
// channel order and count (CMYK: RGBA, alpha left as it is in the output).
class ColourConversion {
public:
    // False when there is nothing to do: the pixels are shown as stored.
    bool active() const { return transform != nullptr; }
    // Converts `pixels` pixels; `out` may be `in` when both are 8-bit.
    void convert(const void* in, void* out, size_t pixels) const;

private:
    friend ColourConversion conversionFor(const ColourDescription&, const SampleLayout&);
    void* transform = nullptr;  // owned by the helper's cache of transforms
};

// The conversion of pixels of `layout` described by `description`.
ColourConversion conversionFor(const ColourDescription& description, const SampleLayout& layout);
