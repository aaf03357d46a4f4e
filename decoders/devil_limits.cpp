#include "decoders/devil_limits.h"

#include <cstdlib>
#include <new>
#include <vector>

bool drainDevilErrors() {
    bool any = false;
    while (ilGetError() != IL_NO_ERROR) any = true;
    return any;
}

namespace {

// A picture's pixels are one large block, freed and allocated again for
// every picture (ilTexImage, a load). Fresh memory costs a page fault per
// page, more than the copy into it, so the largest block freed is kept and
// handed out again for the next large request it can hold: its pages stay
// warm. DevIL runs on one thread in each process, so this needs no lock.
const size_t warmBlockMinBytes = size_t(1) << 20;

struct LargeBlock {
    void* block = nullptr;
    size_t capacity = 0;
};

struct WarmBlocks {
    std::vector<LargeBlock> handedOut;  // large blocks DevIL holds now
    LargeBlock kept;                    // the largest one it freed
};

WarmBlocks& warmBlocks() {
    static WarmBlocks* blocks = new WarmBlocks;  // never destroyed: DevIL may free at exit
    return *blocks;
}

void* ILAPIENTRY boundedAlloc(const ILsizei size) {
    if (uint64_t(size) > devilMaxAllocation) return nullptr;
    if (size_t(size) < warmBlockMinBytes) return std::malloc(size == 0 ? 1 : size);
    WarmBlocks& blocks = warmBlocks();
    LargeBlock given = blocks.kept;
    if (given.block && given.capacity >= size_t(size)) {
        blocks.kept = LargeBlock();
    } else {
        given = LargeBlock{std::malloc(size), size_t(size)};
        if (!given.block) return nullptr;
    }
    try {
        blocks.handedOut.push_back(given);
    } catch (const std::bad_alloc&) {
        std::free(given.block);
        return nullptr;
    }
    return given.block;
}

void ILAPIENTRY boundedFree(const void* CONST_RESTRICT block) {
    WarmBlocks& blocks = warmBlocks();
    for (size_t i = 0; i < blocks.handedOut.size(); ++i) {
        if (blocks.handedOut[i].block != block) continue;
        LargeBlock freed = blocks.handedOut[i];
        blocks.handedOut.erase(blocks.handedOut.begin() + long(i));
        if (freed.capacity < blocks.kept.capacity) {
            std::free(freed.block);
        } else {
            std::free(blocks.kept.block);
            blocks.kept = freed;
        }
        return;
    }
    std::free(const_cast<void*>(block));
}

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
