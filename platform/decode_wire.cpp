#include "platform/decode_wire.h"

#include "util/downscale.h"
#include "util/orientation.h"

AnswerHeader sizedAnswer(uint32_t storedWidth, uint32_t storedHeight, int orientation, uint32_t maxSide) {
    AnswerHeader answer = {};
    bool swapped = orientationSwapsSides(orientation);
    answer.pictureWidth = swapped ? storedHeight : storedWidth;
    answer.pictureHeight = swapped ? storedWidth : storedHeight;
    cappedSize(answer.pictureWidth, answer.pictureHeight, pixelSideCap(maxSide), &answer.width, &answer.height);
    answer.byteCount = uint64_t(answer.width) * answer.height * 4;
    return answer;
}

bool answerSizesAgree(const AnswerHeader& header) {
    uint64_t expected = uint64_t(header.width) * header.height * 4;
    if (header.width == 0 || header.height == 0 || header.byteCount != expected) return false;
    // No request lets the helper send more than this; a larger buffer would be
    // memory the viewer commits on a hostile helper's word.
    if (header.width > textureSideCap || header.height > textureSideCap) return false;
    return header.pictureWidth >= header.width && header.pictureHeight >= header.height;
}

DecodedImage answeredImage(const AnswerHeader& header, const void* pixels, void* handle) {
    DecodedImage image;
    image.width = header.width;
    image.height = header.height;
    image.pictureWidth = header.pictureWidth;
    image.pictureHeight = header.pictureHeight;
    image.pixels = static_cast<const unsigned char*>(pixels);
    image.byteCount = size_t(header.byteCount);
    image.handle = handle;
    return image;
}
