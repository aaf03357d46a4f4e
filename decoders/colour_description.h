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

#include "decoders/colour_description_types.h"

// The colour description of the picture file at `path`, by its content.
// Anything unreadable or inconsistent is left out: the picture is then sRGB.
ColourDescription readColourDescription(const std::string& path);
