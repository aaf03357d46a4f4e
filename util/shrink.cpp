#include "util/shrink.h"

#include <cstddef>
#include <vector>

#include "util/downscale.h"

#define STB_IMAGE_RESIZE_IMPLEMENTATION
#define STB_IMAGE_RESIZE_STATIC
#include <stb/stb_image_resize.h>

namespace {

// The area pre-shrink stops at this multiple of the target: from there on
// the Catmull-Rom filter alone decides what is kept. At twice the target
// the box's own aliasing still showed on a zone plate; at three times it is
// below a level. Catmull-Rom keeps a photo closest to a Lanczos resize (a
// Mitchell filter is softer), at the same cost.
const uint32_t preShrinkFactor = 3;

}  // namespace

void shrinkPixels(const unsigned char* source, uint32_t width, uint32_t height, uint32_t channels,
                  unsigned char* target, uint32_t targetWidth, uint32_t targetHeight) {
    // The area average does not weight colours by alpha, so a picture with
    // alpha goes to the filter whole: the colour of clear pixels (often
    // black) must not tint the edges of what is opaque.
    bool alpha = channels == 2 || channels == 4;
    std::vector<unsigned char> halfway;
    uint64_t middleWidth = uint64_t(targetWidth) * preShrinkFactor;
    uint64_t middleHeight = uint64_t(targetHeight) * preShrinkFactor;
    if (!alpha && middleWidth < width && middleHeight < height) {
        halfway.resize(size_t(middleWidth) * size_t(middleHeight) * channels);
        downscaleBox(source, width, height, channels, halfway.data(), uint32_t(middleWidth), uint32_t(middleHeight));
        source = halfway.data();
        width = uint32_t(middleWidth);
        height = uint32_t(middleHeight);
    }
    int alphaChannel = alpha ? int(channels) - 1 : STBIR_ALPHA_CHANNEL_NONE;
    int filtered = stbir_resize_uint8_generic(source, int(width), int(height), 0, target, int(targetWidth),
                                              int(targetHeight), 0, int(channels), alphaChannel, 0, STBIR_EDGE_CLAMP,
                                              STBIR_FILTER_CATMULLROM, STBIR_COLORSPACE_LINEAR, nullptr);
    // Out of memory for the filter's buffers: the plain area average still
    // gives a picture.
    if (!filtered) downscaleBox(source, width, height, channels, target, targetWidth, targetHeight);
}
