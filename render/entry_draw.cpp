// The drawing of the two entry kinds, in the model-view space that
// renderScene sets up: an image as a textured quad fitted into the square
// from -1 to 1, a directory as a blue marker.
#include "render/entry_draw.h"

#include <cmath>

#include "model/file_info.h"
#include "render/camera.h"
#include "render/gl.h"
#include "render/textured_quad.h"

namespace {

// The offset, in pixels, that puts an edge `side` pixels long centred on
// `centre` onto a whole pixel.
double snapOffset(double centre, uint32_t side) {
    double edge = centre - side / 2.0;
    return std::round(edge) - edge;
}

// Where a picture whose texture has texelWidth x texelHeight texels is drawn
// texel for pixel on a client of that size, in scene units: a quad of
// exactly that many whole pixels, centred within half a pixel of the fitted
// quad (halfWidth x halfHeight). False, leaving the quad alone, when the
// texture is not within a pixel of the fitted quad's size: an enlarged or
// (until it is decoded again for a new size) a minified picture.
struct PixelQuad {
    float halfWidth = 0, halfHeight = 0, centreX = 0, centreY = 0;
};
bool texelForPixelQuad(uint32_t texelWidth, uint32_t texelHeight, float halfWidth, float halfHeight, int clientWidth,
                       int clientHeight, PixelQuad* quad) {
    double perUnit = camera::pixelsPerUnit(clientHeight);
    if (perUnit <= 0 || texelWidth == 0 || texelHeight == 0) return false;
    double drawnWidth = 2.0 * halfWidth * perUnit, drawnHeight = 2.0 * halfHeight * perUnit;
    if (std::fabs(drawnWidth - texelWidth) > 1.0 || std::fabs(drawnHeight - texelHeight) > 1.0) return false;
    quad->halfWidth = float(texelWidth / 2.0 / perUnit);
    quad->halfHeight = float(texelHeight / 2.0 / perUnit);
    quad->centreX = float(snapOffset(clientWidth / 2.0, texelWidth) / perUnit);
    quad->centreY = float(snapOffset(clientHeight / 2.0, texelHeight) / perUnit);
    return true;
}

void drawImage(const FileInfoImg& image, int clientWidth, int clientHeight) {
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
    if (texelForPixelQuad(image.texelWidth, image.texelHeight, hw, hh, clientWidth, clientHeight, &exact)) {
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

void drawEntry(const FileInfo& entry, int clientWidth, int clientHeight) {
    if (auto* image = dynamic_cast<const FileInfoImg*>(&entry)) {
        drawImage(*image, clientWidth, clientHeight);
    } else {
        drawFolder();
    }
}
