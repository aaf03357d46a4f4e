// Shrinking 8-bit pictures with an area-averaging (box) filter: each target
// pixel is the mean of the source area it covers, partly covered source
// pixels counted by the share that falls inside. Shrinking a large photo this
// way before it becomes a texture keeps the detail a smaller texture can show,
// where minifying it without mipmaps would sample it.
#pragma once

#include <cstdint>

// The longest side a decoded picture keeps for its texture: a maximised
// window on common screens shows the picture's square no larger than this.
constexpr uint32_t textureSideCap = 2048;

// The cap for one decode: the requested side, at most textureSideCap; 0
// asks for textureSideCap. A window made larger later has the picture
// decoded again for its new size.
uint32_t pixelSideCap(uint32_t requested);

// The size of a width x height picture shrunk, aspect kept, so that neither
// side exceeds maxSide; the shorter side is rounded to the nearest pixel and
// is at least 1. A picture that fits keeps its size.
void cappedSize(uint32_t width, uint32_t height, uint32_t maxSide, uint32_t* cappedWidth, uint32_t* cappedHeight);

// Writes `source` (width x height pixels of `channels` bytes each, 1 to 4,
// rows packed) shrunk to targetWidth x targetHeight into `target`, in the
// same layout and row order. Neither target side may exceed the source's or
// be 0. The two must not overlap.
void downscaleBox(const unsigned char* source, uint32_t width, uint32_t height, uint32_t channels,
                  unsigned char* target, uint32_t targetWidth, uint32_t targetHeight);
