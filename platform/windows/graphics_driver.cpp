// The graphics driver's start on Windows.
//
// Honoured: startLoadingGraphicsDriver returns at once.
// Not supported: loading the driver ahead. OPENGL32 picks the display
// driver's OpenGL library when the window's pixel format is set, for the
// adapter the window is on, which is not known before the window exists.
#include "platform/graphics_driver.h"

void startLoadingGraphicsDriver() {}
