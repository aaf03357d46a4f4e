#include "util/orientation.h"

#include <cstring>

namespace {

// Where the upright pixel (x, y), counted from the upright top-left corner,
// lies in the stored picture, counted from its top-left corner.
void storedPosition(int orientation, int64_t width, int64_t height, int64_t x, int64_t y, int64_t* sx, int64_t* sy) {
    switch (orientation) {
        case 2: *sx = width - 1 - x; *sy = y; break;
        case 3: *sx = width - 1 - x; *sy = height - 1 - y; break;
        case 4: *sx = x; *sy = height - 1 - y; break;
        case 5: *sx = y; *sy = x; break;
        case 6: *sx = y; *sy = height - 1 - x; break;
        case 7: *sx = width - 1 - y; *sy = height - 1 - x; break;
        case 8: *sx = width - 1 - y; *sy = x; break;
        default: *sx = x; *sy = y; break;
    }
}

// The source pixel index of the target pixel in column `column` of the
// target row `row`, both buffers bottom row first. The mapping is affine,
// so it may be evaluated outside the picture to find its steps.
int64_t sourceIndex(int orientation, int64_t width, int64_t height, int64_t column, int64_t row) {
    int64_t uprightHeight = orientationSwapsSides(orientation) ? width : height;
    int64_t sx = 0, sy = 0;
    storedPosition(orientation, width, height, column, uprightHeight - 1 - row, &sx, &sy);
    return (height - 1 - sy) * width + sx;
}

// Square blocks of the target are filled one by one, so that a quarter turn
// reads a few source rows at a time instead of one pixel from every row.
const uint32_t blockSide = 64;

}  // namespace

bool isKnownOrientation(int orientation) { return orientation >= 1 && orientation <= 8; }

bool orientationSwapsSides(int orientation) { return orientation >= 5 && orientation <= 8; }

void orientRgba(const unsigned char* source, uint32_t width, uint32_t height, int orientation,
                unsigned char* target) {
    if (!isKnownOrientation(orientation) || orientation == 1) {
        std::memcpy(target, source, size_t(width) * height * 4);
        return;
    }
    uint32_t targetWidth = orientationSwapsSides(orientation) ? height : width;
    uint32_t targetHeight = orientationSwapsSides(orientation) ? width : height;
    int64_t origin = sourceIndex(orientation, width, height, 0, 0);
    int64_t columnStep = sourceIndex(orientation, width, height, 1, 0) - origin;
    int64_t rowStep = sourceIndex(orientation, width, height, 0, 1) - origin;
    const uint32_t* from = reinterpret_cast<const uint32_t*>(source);
    uint32_t* to = reinterpret_cast<uint32_t*>(target);
    for (uint32_t rowBlock = 0; rowBlock < targetHeight; rowBlock += blockSide) {
        uint32_t rowEnd = rowBlock + blockSide < targetHeight ? rowBlock + blockSide : targetHeight;
        for (uint32_t columnBlock = 0; columnBlock < targetWidth; columnBlock += blockSide) {
            uint32_t columnEnd = columnBlock + blockSide < targetWidth ? columnBlock + blockSide : targetWidth;
            for (uint32_t row = rowBlock; row < rowEnd; ++row) {
                int64_t at = origin + int64_t(row) * rowStep + int64_t(columnBlock) * columnStep;
                uint32_t* out = to + size_t(row) * targetWidth;
                for (uint32_t column = columnBlock; column < columnEnd; ++column, at += columnStep) {
                    out[column] = from[at];
                }
            }
        }
    }
}
