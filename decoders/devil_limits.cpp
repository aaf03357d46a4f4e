#include "decoders/devil_limits.h"

#include <cstdlib>

bool drainDevilErrors() {
    bool any = false;
    while (ilGetError() != IL_NO_ERROR) any = true;
    return any;
}

namespace {

void* ILAPIENTRY boundedAlloc(const ILsizei size) {
    if (uint64_t(size) > devilMaxAllocation) return nullptr;
    return std::malloc(size == 0 ? 1 : size);
}

void ILAPIENTRY boundedFree(const void* CONST_RESTRICT block) { std::free(const_cast<void*>(block)); }

}  // namespace

ILuint startDevil() {
    ilSetMemory(boundedAlloc, boundedFree);
    ilInit();
    iluInit();
    ILuint image = 0;
    ilGenImages(1, &image);
    ilBindImage(image);
    drainDevilErrors();
    return image;
}
