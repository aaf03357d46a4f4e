// The byte order of the numbers the viewer and its decode helper exchange:
// little-endian uint32, whatever the machine, on both platforms.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The longest path a request may carry, in bytes.
constexpr size_t decodeMaxPathBytes = 8192;

inline uint32_t littleEndian32(const unsigned char* bytes) {
    return uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 | uint32_t(bytes[3]) << 24;
}

inline std::string littleEndianBytes(uint32_t value) {
    std::string bytes(sizeof(uint32_t), '\0');
    for (size_t i = 0; i < sizeof(uint32_t); ++i) bytes[i] = char((value >> (8 * i)) & 0xFF);
    return bytes;
}
