// The GL textures image entries are drawn from: made from the decode
// helper's pixels through DevIL's bound image and ILUT, deleted only in the
// context that made them. Installed into the model (model/picture_texture.h)
// by startImageLibrary().
#pragma once

#include <cstdint>

#include "platform/services.h"

// Makes a texture of the pixels in the current context, shrunk further when
// the context allows less, and releases the image; 0 on any failure.
// Sets the generation of the context (render/gl_context_generation.h).
uint32_t makeTexture(DecodedImage& image, uint64_t* generation);

// Deletes the texture while the context of that generation is current;
// once that context is gone (the full-screen switch closes the window
// first) the texture died with it and its name is merely forgotten.
void releaseTexture(uint32_t texture, uint64_t generation);
