// The quad a picture is drawn on: centred at (centreX, centreY), by default
// the origin, half as wide and high as given, the texture's first row at the
// bottom edge.
#pragma once

#include "render/gl.h"

inline void drawTexturedQuad(float halfWidth, float halfHeight, float centreX = 0.0f, float centreY = 0.0f) {
    glBegin(GL_QUADS);
    glTexCoord2f(0.0f, 1.0f);
    glVertex3f(centreX - halfWidth, centreY + halfHeight, 0.0f);
    glTexCoord2f(1.0f, 1.0f);
    glVertex3f(centreX + halfWidth, centreY + halfHeight, 0.0f);
    glTexCoord2f(1.0f, 0.0f);
    glVertex3f(centreX + halfWidth, centreY - halfHeight, 0.0f);
    glTexCoord2f(0.0f, 0.0f);
    glVertex3f(centreX - halfWidth, centreY - halfHeight, 0.0f);
    glEnd();
}
