// Keeps the textures of loaded image entries within a byte budget. Without
// it every entry shown stays loaded until the process ends, so stepping
// through a folder of large photos would end out of memory.
//
// The list tells the budget which entry it shows; after each load the budget
// unloads other image entries, least recently shown first, until the loaded
// textures fit. The entry just shown is never unloaded, even when it alone
// exceeds the budget. An unloaded entry is loaded again by the list's next
// get, as any entry that is not loaded.
#pragma once

#include <cstdint>
#include <vector>

#include "model/array.h"
#include "model/file_info.h"

// 512 MiB of texels.
constexpr uint64_t defaultTextureBudget = uint64_t(512) << 20;

// One loaded texture as the policy sees it.
struct LoadedTexture {
    uint32_t index;      // in the list
    uint64_t bytes;      // texture size
    uint64_t lastShown;  // larger is more recent
};

// The indices to unload, oldest shown first, so that the rest fits in
// `budget`; `keep` is never among them.
std::vector<uint32_t> chooseUnloads(std::vector<LoadedTexture> loaded, uint64_t budget, uint32_t keep);

class TextureBudget {
public:
    explicit TextureBudget(uint64_t budget = defaultTextureBudget) : budget(budget) {}

    // Records that the entry at index is shown now.
    void shown(uint32_t index);

    // Unloads least recently shown image entries of `items` until their
    // textures fit; the entry at `keep` stays.
    void fit(Array<FileInfo*>& items, uint32_t keep);

    // Forgets every index (the list's entries were replaced).
    void clear() { lastShown.clear(); }

    uint64_t budget;

private:
    std::vector<uint64_t> lastShown;  // by index; 0: never shown
    uint64_t clock = 0;
};
