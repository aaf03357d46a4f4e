#include "model/texture_budget.h"

#include <algorithm>

#include "util/downscale.h"

std::vector<uint32_t> chooseUnloads(std::vector<LoadedTexture> loaded, uint64_t budget, uint32_t keep) {
    uint64_t total = 0;
    for (const LoadedTexture& t : loaded) total += t.bytes;
    std::sort(loaded.begin(), loaded.end(),
              [](const LoadedTexture& a, const LoadedTexture& b) { return a.lastShown < b.lastShown; });
    std::vector<uint32_t> unload;
    for (const LoadedTexture& t : loaded) {
        if (total <= budget) break;
        if (t.index == keep) continue;
        unload.push_back(t.index);
        total -= t.bytes;
    }
    return unload;
}

void TextureBudget::shown(uint32_t index) {
    if (index >= lastShown.size()) lastShown.resize(size_t(index) + 1, 0);
    lastShown[index] = ++clock;
}

// The texture's size is taken as four bytes per pixel of the picture shrunk
// to textureSideCap, what the RGBA upload costs; a texture the context made
// smaller still is thus counted high, never low.
void TextureBudget::fit(Array<FileInfo*>& items, uint32_t keep) {
    std::vector<LoadedTexture> loaded;
    for (uint32_t i = 0; i < items.count; ++i) {
        auto* image = dynamic_cast<FileInfoImg*>(items[i]);
        if (!image || !image->loaded || image->texture == 0) continue;
        uint64_t last = i < lastShown.size() ? lastShown[i] : 0;
        uint32_t width = 0, height = 0;
        cappedSize(image->width, image->height, textureSideCap, &width, &height);
        loaded.push_back({i, uint64_t(width) * height * 4, last});
    }
    for (uint32_t i : chooseUnloads(std::move(loaded), budget, keep)) unloadIfLoaded(items[i]);
}
