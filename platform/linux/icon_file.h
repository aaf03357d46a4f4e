// Decoding of .ico files for window icons (a pure function, tested without
// a display).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace olvlinux {

// The largest image of an .ico file as 32-bit ARGB, rows top to bottom.
struct IconImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> argb;
};
// Understands uncompressed 32- and 24-bit BMP images (with the AND mask
// giving transparency when no alpha is stored). False for anything else.
bool decodeIcon(const unsigned char* data, std::size_t size, IconImage& out);

}  // namespace olvlinux
