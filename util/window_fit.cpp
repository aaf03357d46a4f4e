#include "util/window_fit.h"

#include <algorithm>
#include <cstdint>

int scaledToDpi(int length, unsigned dpi) { return int((int64_t(length) * dpi + 48) / 96); }

PixelSize fitClientArea(PixelSize wished, PixelSize frame, PixelSize available) {
    int64_t roomWidth = std::max(available.width - frame.width, 1);
    int64_t roomHeight = std::max(available.height - frame.height, 1);
    if (wished.width <= 0 || wished.height <= 0) return {1, 1};
    if (wished.width <= roomWidth && wished.height <= roomHeight) return wished;
    // Whichever side meets its limit first sets the scale; the other side
    // follows it, rounded down so that it never overshoots its own limit.
    PixelSize fitted{};
    if (roomWidth * wished.height <= roomHeight * wished.width) {
        fitted = {int(roomWidth), int(roomWidth * wished.height / wished.width)};
    } else {
        fitted = {int(roomHeight * wished.width / wished.height), int(roomHeight)};
    }
    return {std::max(fitted.width, 1), std::max(fitted.height, 1)};
}
