#include "render/texture.h"

#include "decoders/devil.h"
#include "decoders/devil_limits.h"
#include "model/bound_image.h"
#include "render/gl.h"
#include "render/gl_context_generation.h"
#include <IL/ilut.h>

// GL 1.2's edge clamp. Windows' GL headers stop at 1.1, but its drivers
// take the value.
#ifndef GL_CLAMP_TO_EDGE
#define GL_CLAMP_TO_EDGE 0x812F
#endif

namespace {

// ILUT makes textures that repeat, so linear filtering mixes a picture's
// outermost texels with the opposite edge's (a faint line of the far side's
// colour). Clamped to the edge they mix with themselves. A GL that knows no
// edge clamp (Windows' own GL 1.1 renderer) gets GL_CLAMP, which mixes with
// the black border, as black as the background around the picture.
void clampBoundTextureToEdge() {
    for (int i = 0; i < 16 && glGetError() != GL_NO_ERROR; ++i) {
    }
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    if (glGetError() == GL_NO_ERROR) return;
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP);
}

}  // namespace

uint32_t makeTexture(DecodedImage& image, uint64_t* generation) {
    *generation = 0;
    bool bound = boundImageFromRgba(image.width, image.height, image.pixels);
    releaseDecodedImage(&image);
    if (!bound) return 0;
    GLint maxSide = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSide);
    if (maxSide <= 0 || !fitBoundImage(uint32_t(maxSide))) return 0;
    drainDevilErrors();
    GLuint made = ilutGLBindTexImage();
    if (drainDevilErrors() || made == 0) {
        if (made != 0) glDeleteTextures(1, &made);
        return 0;
    }
    clampBoundTextureToEdge();
    *generation = currentGLContextGeneration();
    return made;
}

void releaseTexture(uint32_t texture, uint64_t generation) {
    if (texture != 0 && generation != 0 && generation == currentGLContextGeneration()) {
        GLuint name = texture;
        glDeleteTextures(1, &name);
    }
}
