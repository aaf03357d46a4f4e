// Shrinking a decoded picture to the size it is drawn at, so that the
// screen shows it texel for pixel and OpenGL never has to minify it (which,
// without mipmaps, samples rather than averages and lets fine detail
// shimmer as moire). The one step the decode helper shrinks with; other
// work on the pixels (colour transforms) may run before or after it.
#pragma once

#include <cstdint>

// Writes `source` (width x height pixels of `channels` bytes each, 1 to 4,
// rows packed; with 2 or 4 channels the last is alpha) shrunk to
// targetWidth x targetHeight into `target`, in the same layout and row
// order. Neither target side may exceed the source's or be 0; the two
// buffers must not overlap. Each target pixel is a Catmull-Rom weighted
// mean of the source around it (colours weighted by alpha), in the values
// as stored; a source more than 5 times the target is first averaged in
// whole blocks down to between 2.5 and 5 times it, which keeps that cost
// near a plain area average's.
void shrinkPixels(const unsigned char* source, uint32_t width, uint32_t height, uint32_t channels,
                  unsigned char* target, uint32_t targetWidth, uint32_t targetHeight);
