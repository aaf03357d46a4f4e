#include "util/orientation.h"

#include <cstddef>

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

// The source pixel number of the target pixel in column `column` of target
// row `row` (bottom row first). The mapping is affine, so it may be
// evaluated just outside the picture to find its steps.
int64_t sourcePixel(int orientation, int64_t width, int64_t height, bool topRowFirst, int64_t column, int64_t row) {
    int64_t uprightHeight = orientationSwapsSides(orientation) ? width : height;
    int64_t sx = 0, sy = 0;
    storedPosition(orientation, width, height, column, uprightHeight - 1 - row, &sx, &sy);
    return (topRowFirst ? sy : height - 1 - sy) * width + sx;
}

// Square blocks of the target are filled one by one, so that a quarter turn
// reads a few source rows at a time instead of one pixel from every row.
const uint32_t blockSide = 64;

struct Walk {
    int64_t origin, columnStep, rowStep;  // in source pixels
    uint32_t targetWidth, targetHeight;
};

template <uint32_t channels, bool bgr>
inline void convertPixel(const unsigned char* in, unsigned char* out) {
    out[0] = in[bgr ? 2 : 0];
    out[1] = in[1];
    out[2] = in[bgr ? 0 : 2];
    out[3] = channels == 4 ? in[3] : 255;
}

// The inner loop runs along the direction in which the source is read
// pixel after pixel: along target rows for mirrors and the half turn, down
// target columns for the quarter turns and the diagonal mirrors.
template <uint32_t channels, bool bgr>
void walkBlocks(const unsigned char* source, const Walk& walk, unsigned char* target) {
    bool alongColumns = walk.rowStep == 1 || walk.rowStep == -1;
    for (uint32_t rowBlock = 0; rowBlock < walk.targetHeight; rowBlock += blockSide) {
        uint32_t rowEnd = rowBlock + blockSide < walk.targetHeight ? rowBlock + blockSide : walk.targetHeight;
        for (uint32_t columnBlock = 0; columnBlock < walk.targetWidth; columnBlock += blockSide) {
            uint32_t columnEnd = columnBlock + blockSide < walk.targetWidth ? columnBlock + blockSide : walk.targetWidth;
            if (alongColumns) {
                for (uint32_t column = columnBlock; column < columnEnd; ++column) {
                    int64_t at = walk.origin + int64_t(rowBlock) * walk.rowStep + int64_t(column) * walk.columnStep;
                    unsigned char* out = target + (size_t(rowBlock) * walk.targetWidth + column) * 4;
                    for (uint32_t row = rowBlock; row < rowEnd; ++row, at += walk.rowStep, out += walk.targetWidth * 4)
                        convertPixel<channels, bgr>(source + at * channels, out);
                }
                continue;
            }
            for (uint32_t row = rowBlock; row < rowEnd; ++row) {
                int64_t at = walk.origin + int64_t(row) * walk.rowStep + int64_t(columnBlock) * walk.columnStep;
                unsigned char* out = target + (size_t(row) * walk.targetWidth + columnBlock) * 4;
                for (uint32_t column = columnBlock; column < columnEnd; ++column, at += walk.columnStep, out += 4)
                    convertPixel<channels, bgr>(source + at * channels, out);
            }
        }
    }
}

}  // namespace

bool isKnownOrientation(int orientation) { return orientation >= 1 && orientation <= 8; }

bool orientationSwapsSides(int orientation) { return orientation >= 5 && orientation <= 8; }

void orientPixels(const unsigned char* source, uint32_t width, uint32_t height, PixelLayout layout, int orientation,
                  unsigned char* target) {
    if (!isKnownOrientation(orientation)) orientation = 1;
    bool top = layout.topRowFirst;
    Walk walk;
    walk.origin = sourcePixel(orientation, width, height, top, 0, 0);
    walk.columnStep = sourcePixel(orientation, width, height, top, 1, 0) - walk.origin;
    walk.rowStep = sourcePixel(orientation, width, height, top, 0, 1) - walk.origin;
    walk.targetWidth = orientationSwapsSides(orientation) ? height : width;
    walk.targetHeight = orientationSwapsSides(orientation) ? width : height;
    if (layout.channels == 4) {
        if (layout.bgr) walkBlocks<4, true>(source, walk, target);
        else walkBlocks<4, false>(source, walk, target);
    } else {
        if (layout.bgr) walkBlocks<3, true>(source, walk, target);
        else walkBlocks<3, false>(source, walk, target);
    }
}
