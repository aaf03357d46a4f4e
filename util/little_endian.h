// Little-endian numbers in byte buffers, whatever the machine's own order:
// file headers (icons, pictures) and what the viewer and its decode helper
// exchange.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

inline uint16_t littleEndian16(const unsigned char* bytes) { return uint16_t(bytes[0] | bytes[1] << 8); }

inline uint32_t littleEndian32(const unsigned char* bytes) {
    return uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 | uint32_t(bytes[3]) << 24;
}

// The four bytes of the value, lowest first.
inline std::string littleEndianBytes(uint32_t value) {
    std::string bytes(sizeof(uint32_t), '\0');
    for (size_t i = 0; i < sizeof(uint32_t); ++i) bytes[i] = char((value >> (8 * i)) & 0xFF);
    return bytes;
}
