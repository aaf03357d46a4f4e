#include "model/devil_load.h"

#include <cstdlib>

#include "platform/win32.h"
#include "util/trace.h"
#ifndef ILUT_USE_OPENGL
#define ILUT_USE_OPENGL
#endif
#include <IL/il.h>
#include <IL/ilu.h>

namespace {

void* ILAPIENTRY boundedAlloc(const ILsizei size) {
    if (uint64_t(size) > devilMaxAllocation) return nullptr;
    return std::malloc(size == 0 ? 1 : size);
}

void ILAPIENTRY boundedFree(const void* CONST_RESTRICT block) { std::free(const_cast<void*>(block)); }

// A colour-index image is only usable with its palette (cut files decode
// to indices without one).
bool hasUsablePalette() {
    return ilGetInteger(IL_PALETTE_TYPE) != IL_PAL_NONE && ilGetInteger(IL_PALETTE_NUM_COLS) > 0;
}

// The checks on what a load left in the bound image.
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

bool loadChecked(ILenum type, const std::string& path) {
    drainDevilErrors();
    ILboolean ok = type == IL_TYPE_UNKNOWN ? ilLoadImage(path.c_str()) : ilLoad(type, path.c_str());
    bool errors = drainDevilErrors();
    return ok == IL_TRUE && !errors && boundImageIsConsistent();
}

}  // namespace

bool drainDevilErrors() {
    bool any = false;
    while (ilGetError() != IL_NO_ERROR) any = true;
    return any;
}

void installDevilAllocator() { ilSetMemory(boundedAlloc, boundedFree); }

bool decodeImage(const std::string& path) {
    trace::Timer timer(trace::Step::decode);
    installDevilAllocator();
    if (loadChecked(IL_TYPE_UNKNOWN, path)) return true;
    ILenum detected = ilDetermineType(path.c_str());
    drainDevilErrors();
    if (detected == IL_TYPE_UNKNOWN || detected == ilTypeFromExt(path.c_str())) return false;
    return loadChecked(detected, path);
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
