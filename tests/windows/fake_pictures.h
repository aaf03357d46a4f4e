// What the Windows decode-service test (decode_helper_test.cpp) and its fake
// helper (fake_decode_helper.cpp) agree on.
#pragma once

#include <cstddef>
#include <cstdint>

const uint32_t hogSide = 3;  // the answer of a hog whose memory was not capped

// The pattern of a width x height pixel buffer, so that both the size the
// helper wrote at and every byte's place are checked.
inline unsigned char patternByte(uint32_t width, uint32_t height, size_t index) {
    size_t pixel = index / 4;
    uint32_t x = uint32_t(pixel % width), y = uint32_t(pixel / width);
    switch (index % 4) {
        case 0: return (unsigned char)(x * 7 + width);
        case 1: return (unsigned char)(y * 13 + height);
        case 2: return (unsigned char)((x ^ y) + (width >> 8) + (height >> 4));
        default: return 0xA5;
    }
}
