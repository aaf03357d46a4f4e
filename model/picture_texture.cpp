#include "model/picture_texture.h"

namespace {

PictureTextures installed = {nullptr, nullptr};

}  // namespace

void usePictureTextures(const PictureTextures& textures) { installed = textures; }

uint32_t makePictureTexture(DecodedImage& image, uint64_t* generation) {
    *generation = 0;
    if (installed.make) return installed.make(image, generation);
    releaseDecodedImage(&image);
    return 0;
}

void releasePictureTexture(uint32_t texture, uint64_t generation) {
    if (installed.release && texture != 0) installed.release(texture, generation);
}
