#include "decoders/devil_limits.h"
#include "decoders/formats.h"
#include "decoders/devil.h"

bool acceptableSize(uint64_t width, uint64_t height) {
    if (width == 0 || height == 0 || width > 0xFFFFFFFFu || height > 0xFFFFFFFFu) return false;
    uint64_t bytes = width * height * 4;
    return bytes < devilMaxRgbaBytes && bytes <= devilMaxAllocation;
}

unsigned char* rgbaCanvas(uint32_t width, uint32_t height) {
    if (!acceptableSize(width, height)) return nullptr;
    drainDevilErrors();
    ILboolean made = ilTexImage(width, height, 1, 4, IL_RGBA, IL_UNSIGNED_BYTE, nullptr);
    if (drainDevilErrors() || made != IL_TRUE) return nullptr;
    ilRegisterOrigin(IL_ORIGIN_UPPER_LEFT);
    return ilGetData();
}
