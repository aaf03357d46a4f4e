#include "model/bound_image.h"

#include "decoders/devil.h"
#include "decoders/devil_limits.h"

namespace {

// A colour-index image is only usable with its palette (cut files decode
// to indices without one).
bool hasUsablePalette() {
    return ilGetInteger(IL_PALETTE_TYPE) != IL_PAL_NONE && ilGetInteger(IL_PALETTE_NUM_COLS) > 0;
}

}  // namespace

bool boundImageIsConsistent() {
    if (ilGetData() == nullptr) return false;
    ILint width = ilGetInteger(IL_IMAGE_WIDTH);
    ILint height = ilGetInteger(IL_IMAGE_HEIGHT);
    ILint depth = ilGetInteger(IL_IMAGE_DEPTH);
    ILint bytesPerPixel = ilGetInteger(IL_IMAGE_BYTES_PER_PIXEL);
    ILint dataSize = ilGetInteger(IL_IMAGE_SIZE_OF_DATA);
    if (width <= 0 || height <= 0 || depth != 1 || bytesPerPixel <= 0 || dataSize <= 0) return false;
    uint64_t pixels = uint64_t(width) * uint64_t(height);
    if (pixels * uint64_t(bytesPerPixel) != uint64_t(dataSize)) return false;
    if (pixels * 4 >= devilMaxRgbaBytes) return false;
    if (ilGetInteger(IL_IMAGE_FORMAT) == IL_COLOUR_INDEX && !hasUsablePalette()) return false;
    return true;
}

bool fitBoundImage(uint32_t maxSide) {
    uint64_t width = uint64_t(ilGetInteger(IL_IMAGE_WIDTH));
    uint64_t height = uint64_t(ilGetInteger(IL_IMAGE_HEIGHT));
    if (width <= maxSide && height <= maxSide) return true;
    uint64_t longer = width > height ? width : height;
    uint64_t newWidth = width * maxSide / longer;
    uint64_t newHeight = height * maxSide / longer;
    if (newWidth == 0) newWidth = 1;
    if (newHeight == 0) newHeight = 1;
    drainDevilErrors();
    iluImageParameter(ILU_FILTER, ILU_NEAREST);
    ILboolean ok = iluScale(ILuint(newWidth), ILuint(newHeight), 1);
    bool errors = drainDevilErrors();
    return ok == IL_TRUE && !errors && boundImageIsConsistent();
}

bool boundImageFromRgba(uint32_t width, uint32_t height, const unsigned char* pixels) {
    if (width == 0 || height == 0 || uint64_t(width) * height * 4 >= devilMaxRgbaBytes) return false;
    drainDevilErrors();
    ILboolean ok = ilTexImage(width, height, 1, 4, IL_RGBA, IL_UNSIGNED_BYTE, const_cast<unsigned char*>(pixels));
    ilRegisterOrigin(IL_ORIGIN_LOWER_LEFT);
    bool errors = drainDevilErrors();
    return ok == IL_TRUE && !errors && boundImageIsConsistent();
}
