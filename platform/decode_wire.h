// What the viewer and its decode helper exchange, on both platforms: numbers
// as little-endian uint32 (util/little_endian.h), whatever the machine,
// paths of at most decodeMaxPathBytes, and answers that begin alike.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/services.h"
#include "util/little_endian.h"

// The longest path a request may carry, in bytes.
constexpr size_t decodeMaxPathBytes = 8192;
// The most files a request may hand over: the picture and the names its
// companion may have (util/picture_companions.h).
constexpr size_t decodeMaxHandedFiles = 9;
// A handed file larger than this is not read: the decode fails.
constexpr uint64_t decodeMaxHandedFileBytes = uint64_t(1) << 30;

// What every answer of the helper begins with, on both platforms.
struct AnswerHeader {
    uint32_t ok;  // 1 when pixels come with it
    uint32_t width;  // of the pixels
    uint32_t height;
    uint32_t pictureWidth;  // of the picture, upright
    uint32_t pictureHeight;
    uint32_t reserved;
    uint64_t byteCount;  // width * height * 4
};

// Helper side: the sizes of the answer for a picture decoded at
// storedWidth x storedHeight, turned by its EXIF `orientation` and shrunk
// to maxSide (0: the built-in cap). `ok` is left to the caller.
AnswerHeader sizedAnswer(uint32_t storedWidth, uint32_t storedHeight, int orientation, uint32_t maxSide);

// Viewer side: true when a successful answer's sizes agree with each other
// and its pixels are no larger than any request allows (textureSideCap).
bool answerSizesAgree(const AnswerHeader& header);

// Viewer side: the image of an answer's pixels, mapped at `pixels`; `handle`
// is the platform's hold on them.
DecodedImage answeredImage(const AnswerHeader& header, const void* pixels, void* handle);
