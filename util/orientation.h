// The eight picture orientations of the EXIF Orientation tag, applied to
// 8-bit pixels.
//
// The tag says how the stored pixels must be turned to stand upright:
// 1 as stored, 2 mirrored left to right, 3 turned by 180 degrees, 4 mirrored
// top to bottom, 5 mirrored along the main diagonal (top-left to
// bottom-right), 6 turned a quarter clockwise, 7 mirrored along the other
// diagonal, 8 turned a quarter anticlockwise. Any other value means "as
// stored".
#pragma once

#include <cstdint>

// True for the values 1 to 8.
bool isKnownOrientation(int orientation);

// True when the upright picture has width and height exchanged (5 to 8).
bool orientationSwapsSides(int orientation);

// How the stored pixels lie in memory: 3 or 4 bytes a pixel, RGB(A) or
// BGR(A), rows packed, top or bottom row first.
struct PixelLayout {
    uint32_t channels = 4;
    bool bgr = false;
    bool topRowFirst = false;
};

// Writes the upright picture of `source` (width x height pixels laid out as
// `layout` says) to `target` as RGBA, rows bottom first, in one pass; the
// target is height x width pixels when orientationSwapsSides, else width x
// height. A missing alpha becomes 255. The two must not overlap. An unknown
// orientation counts as 1.
void orientPixels(const unsigned char* source, uint32_t width, uint32_t height, PixelLayout layout, int orientation,
                  unsigned char* target);
