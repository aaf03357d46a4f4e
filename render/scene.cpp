#include "render/scene.h"

#include "model/file_info.h"
#include "model/file_list.h"
#include "render/gl.h"

void setupProjection(int width, int height) {
    if (height == 0) height = 1;
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45.0, static_cast<double>(width) / static_cast<double>(height), 0.1f, 100.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

bool setupRenderState() {
    glEnable(GL_TEXTURE_2D);
    glShadeModel(GL_SMOOTH);
    glClearColor(0.0f, 0.0f, 0.0f, 0.5f);
    glClearDepth(1.0);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    return true;
}

void clearFrame() { glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT); }

bool renderScene() {
    clearFrame();
    glLoadIdentity();
    glTranslatef(0.0f, 0.0f, -2.5f);
    glPushMatrix();
    // Pop the matrix also when opening the entry raises, so the stack stays
    // balanced for the next frame.
    try {
        FileInfo* entry = fileList ? currentItem() : nullptr;
        if (entry) entry->draw();
    } catch (...) {
        glPopMatrix();
        throw;
    }
    glPopMatrix();
    return true;
}
