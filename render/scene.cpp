#include "render/scene.h"

#include <cmath>

#include "model/file_info.h"
#include "model/file_list.h"
#include "render/gl_context_generation.h"
#include "render/entry_draw.h"
#include "render/gl.h"
#include "render/textured_quad.h"

namespace {

// The camera's distance from the picture plane and its vertical field of
// view; the pictures' square spans 2 units of that plane.
const double cameraDistance = 2.5;
const double fieldOfViewDegrees = 45.0;
const double pi = 3.14159265358979323846;

int projectedWidth = 0;
int projectedHeight = 0;

// Pixels per scene unit in the picture plane for a client this high.
double pixelsPerUnit(int clientHeight) {
    return double(clientHeight) / (2.0 * cameraDistance * std::tan(fieldOfViewDegrees / 2.0 * pi / 180.0));
}

// The offset, in pixels, that puts an edge `side` pixels long centred on
// `centre` onto a whole pixel.
double snapOffset(double centre, uint32_t side) {
    double edge = centre - side / 2.0;
    return std::round(edge) - edge;
}

}  // namespace

uint32_t pictureSquareSide(int clientHeight) {
    return clientHeight <= 0 ? 0 : uint32_t(std::lround(2.0 * pixelsPerUnit(clientHeight)));
}

bool texelForPixelQuad(uint32_t texelWidth, uint32_t texelHeight, float halfWidth, float halfHeight, PixelQuad* quad) {
    double perUnit = pixelsPerUnit(projectedHeight);
    if (perUnit <= 0 || texelWidth == 0 || texelHeight == 0) return false;
    double drawnWidth = 2.0 * halfWidth * perUnit, drawnHeight = 2.0 * halfHeight * perUnit;
    if (std::fabs(drawnWidth - texelWidth) > 1.0 || std::fabs(drawnHeight - texelHeight) > 1.0) return false;
    quad->halfWidth = float(texelWidth / 2.0 / perUnit);
    quad->halfHeight = float(texelHeight / 2.0 / perUnit);
    quad->centreX = float(snapOffset(projectedWidth / 2.0, texelWidth) / perUnit);
    quad->centreY = float(snapOffset(projectedHeight / 2.0, texelHeight) / perUnit);
    return true;
}

uint32_t shownPictureSquareSide() { return pictureSquareSide(projectedHeight); }

void setupProjection(int width, int height) {
    projectedWidth = width;
    projectedHeight = height;
    if (height == 0) height = 1;
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(fieldOfViewDegrees, static_cast<double>(width) / static_cast<double>(height), 0.1f, 100.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

void setupRenderState() {
    glEnable(GL_TEXTURE_2D);
    glShadeModel(GL_SMOOTH);
    glClearColor(0.0f, 0.0f, 0.0f, 0.5f);
    glClearDepth(1.0);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
}

void clearFrame() { glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT); }

void clearFrameWarmingUp() {
    clearFrame();
    static uint64_t warmedGeneration = 0;
    if (currentGLContextGeneration() == 0 || warmedGeneration == currentGLContextGeneration()) return;
    warmedGeneration = currentGLContextGeneration();
    const unsigned char black[4] = {0, 0, 0, 255};
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, black);
    glLoadIdentity();
    glTranslatef(0.0f, 0.0f, -2.5f);
    glEnable(GL_TEXTURE_2D);
    drawTexturedQuad(1.0f, 1.0f);
    glDisable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, 0);
    glDeleteTextures(1, &texture);
    // The quad leaves its depth behind; the next frame clears it anyway, and
    // so does a picture's own frame.
    glClear(GL_DEPTH_BUFFER_BIT);
}

void renderScene(FileList* list) {
    clearFrame();
    glLoadIdentity();
    glTranslatef(0.0f, 0.0f, -2.5f);
    glPushMatrix();
    // Pop the matrix also when opening the entry raises, so the stack stays
    // balanced for the next frame.
    try {
        FileInfo* entry = list ? list->currentEntry() : nullptr;
        if (entry) drawEntry(*entry);
    } catch (...) {
        glPopMatrix();
        throw;
    }
    glPopMatrix();
}
