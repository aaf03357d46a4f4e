// BMP files DevIL refuses (it takes only the 40-byte header): v4 and v5
// headers, bit-field masks, 32-bit alpha, top-down rows. stb_image reads
// them; its BMP reader alone is compiled in, and as static functions, so no
// other format's code is reachable through it. A 32-bit BMP whose alpha is
// zero everywhere is shown opaque, as its writer meant (stb_image's rule).
#include <climits>
#include <cstring>

#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_STATIC
#define STBI_ONLY_BMP
#define STBI_NO_LINEAR
#define STBI_NO_HDR
#define STBI_NO_FAILURE_STRINGS
#include <stb/stb_image.h>

#include "decoders/formats.h"
#include "decoders/picture_files.h"

namespace {

uint32_t little(const unsigned char* bytes, int count) {
    uint32_t value = 0;
    for (int i = count - 1; i >= 0; --i) value = value << 8 | bytes[i];
    return value;
}

// stb_image reads past the end of a file as zeros; a file cut short would
// show as a picture with a black part. The rows that the header promises
// must all be in the file (stb_image reads no compressed BMP). The header's
// size is checked here too, before stb_image allocates for it.
bool holdsAllRows(std::string_view file) {
    if (file.size() < 30) return false;
    const unsigned char* header = reinterpret_cast<const unsigned char*>(file.data());
    uint32_t dataOffset = little(header + 10, 4);
    bool core = little(header + 14, 4) == 12;
    uint64_t width = core ? little(header + 18, 2) : little(header + 18, 4);
    int64_t height = core ? int64_t(little(header + 20, 2)) : int64_t(int32_t(little(header + 22, 4)));
    uint64_t bits = core ? little(header + 24, 2) : little(header + 28, 2);
    if (height < 0) height = -height;
    if (!acceptableSize(width, uint64_t(height)) || bits > 64) return false;
    uint64_t rowBytes = (width * bits + 31) / 32 * 4;
    return uint64_t(file.size()) >= uint64_t(dataOffset) + rowBytes * uint64_t(height);
}

}  // namespace

bool decodeBmp(const std::string& path) {
    std::shared_ptr<const std::string_view> file = pictureFileBytes(path);
    if (!file || !holdsAllRows(*file) || file->size() > size_t(INT_MAX)) return false;
    int width = 0, height = 0, channels = 0;
    stbi_uc* pixels = stbi_load_from_memory(reinterpret_cast<const stbi_uc*>(file->data()), int(file->size()), &width,
                                            &height, &channels, 4);
    if (!pixels) return false;
    unsigned char* target = rgbaCanvas(uint32_t(width), uint32_t(height));
    if (target) std::memcpy(target, pixels, size_t(width) * size_t(height) * 4);
    stbi_image_free(pixels);
    return target != nullptr;
}
