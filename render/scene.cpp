#include "render/scene.h"

#include <cmath>

#include "model/file_info.h"
#include "model/file_list.h"
#include "render/gl_context_generation.h"
#include "render/camera.h"
#include "render/entry_draw.h"
#include "render/gl.h"
#include "render/textured_quad.h"

namespace {

int projectedWidth = 0;
int projectedHeight = 0;

}  // namespace

uint32_t pictureSquareSide(int clientHeight) {
    return clientHeight <= 0 ? 0 : uint32_t(std::lround(2.0 * camera::pixelsPerUnit(clientHeight)));
}

uint32_t shownPictureSquareSide() { return pictureSquareSide(projectedHeight); }

void setupProjection(int width, int height) {
    projectedWidth = width;
    projectedHeight = height;
    if (height == 0) height = 1;
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(camera::fieldOfViewDegrees, static_cast<double>(width) / static_cast<double>(height), 0.1f, 100.0);
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
    glTranslatef(0.0f, 0.0f, -float(camera::distance));
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
    glTranslatef(0.0f, 0.0f, -float(camera::distance));
    glPushMatrix();
    // Pop the matrix also when opening the entry raises, so the stack stays
    // balanced for the next frame.
    try {
        FileInfo* entry = list ? list->currentEntry() : nullptr;
        if (entry) drawEntry(*entry, projectedWidth, projectedHeight);
    } catch (...) {
        glPopMatrix();
        throw;
    }
    glPopMatrix();
}
