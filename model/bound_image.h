// DevIL's bound image as the viewer uses it outside decoding: checked,
// filled from the decode helper's pixels and shrunk to what GL takes. Kept
// apart from the decoding so the viewer links none of the decoders.
#pragma once

#include <cstdint>

// True when the bound image is a complete, consistent 2D image within the
// viewer's limits (a colour-index image only with its palette).
bool boundImageIsConsistent();

// Shrinks the bound image, keeping its aspect ratio, so that neither side
// exceeds maxSide pixels. False when scaling failed.
bool fitBoundImage(uint32_t maxSide);

// Makes the bound image a copy of 8-bit RGBA pixels, bottom row first, as
// the decode helper hands them back. False when DevIL refused.
bool boundImageFromRgba(uint32_t width, uint32_t height, const unsigned char* pixels);
