// The drawing of the two entry kinds, in the model-view space that
// renderScene sets up: an image as a textured quad fitted into the square
// from -1 to 1, a directory as a blue marker.
#include "render/entry_draw.h"

#include "model/file_info.h"
#include "render/gl.h"
#include "render/scene.h"
#include "render/textured_quad.h"

namespace {

void drawImage(const FileInfoImg& image) {
    // A failed decode has no texture and no size: nothing to draw.
    if (image.width == 0 || image.height == 0 || image.texture == 0) return;
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, image.texture);
    float r = static_cast<float>(image.height) / static_cast<float>(image.width);
    float hw = 1.0f, hh = r;
    if (r > 1.0f) {
        hw = 1.0f / r;
        hh = 1.0f;
    }
    // A picture decoded for the size it is drawn at lands texel on pixel,
    // so the linear filter shows each texel as it is instead of blending
    // neighbours (a shift of less than half a pixel).
    PixelQuad exact;
    if (texelForPixelQuad(image.texelWidth, image.texelHeight, hw, hh, &exact)) {
        drawTexturedQuad(exact.halfWidth, exact.halfHeight, exact.centreX, exact.centreY);
    } else {
        drawTexturedQuad(hw, hh);
    }
    glDisable(GL_TEXTURE_2D);
}

void drawFolder() {
    glDisable(GL_TEXTURE_2D);
    glColor3f(0.0f, 0.0f, 1.0f);
    glBegin(GL_QUADS);
    glVertex3f(-1.0f, 1.0f, 0.0f);
    glVertex3f(0.5f, 0.5f, 0.0f);
    glVertex3f(1.0f, -1.0f, 0.0f);
    glVertex3f(-1.0f, -1.0f, 0.0f);
    glEnd();
    glColor3f(1.0f, 1.0f, 1.0f);
}

}  // namespace

void drawEntry(const FileInfo& entry) {
    if (auto* image = dynamic_cast<const FileInfoImg*>(&entry)) {
        drawImage(*image);
    } else {
        drawFolder();
    }
}
