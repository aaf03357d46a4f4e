// OpenGL and GLU for the app code. On Windows the GL headers need
// <windows.h> first, which the platform header brings.
#pragma once

#include "platform/win32.h"

#include <GL/gl.h>
#include <GL/glu.h>
