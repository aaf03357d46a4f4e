// The quad a picture is drawn on: centred at the origin, half as wide and
// high as given, the texture's first row at the bottom edge.
#pragma once

#include "render/gl.h"

inline void drawTexturedQuad(float halfWidth, float halfHeight) {
    glBegin(GL_QUADS);
    glTexCoord2f(0.0f, 1.0f);
    glVertex3f(-halfWidth, halfHeight, 0.0f);
    glTexCoord2f(1.0f, 1.0f);
    glVertex3f(halfWidth, halfHeight, 0.0f);
    glTexCoord2f(1.0f, 0.0f);
    glVertex3f(halfWidth, -halfHeight, 0.0f);
    glTexCoord2f(0.0f, 0.0f);
    glVertex3f(-halfWidth, -halfHeight, 0.0f);
    glEnd();
}
