// The texture an image entry's pixels are drawn from. The model decides
// when one is made and when it goes (model/file_info.h, the texture
// budget); making and deleting it is the renderer's (render/texture.h),
// which installs itself here when the image library starts, so nothing in
// the model calls GL.
#pragma once

#include <cstdint>

#include "platform/services.h"

struct PictureTextures {
    // Makes a texture of the pixels in the current GL context and releases
    // the image; 0 when it cannot. Sets the generation of the context.
    uint32_t (*make)(DecodedImage& image, uint64_t* generation);
    // Deletes the texture while the context of that generation is current;
    // once it is gone the texture went with it and is merely forgotten.
    void (*release)(uint32_t texture, uint64_t generation);
};

void usePictureTextures(const PictureTextures& textures);

// The installed functions; without them no texture is made (the image is
// released) and there is none to delete.
uint32_t makePictureTexture(DecodedImage& image, uint64_t* generation);
void releasePictureTexture(uint32_t texture, uint64_t generation);
