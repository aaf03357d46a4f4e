// The graphics driver's start, overlapped with the rest of the viewer's.
// Implemented by platform/linux/graphics_driver.cpp and
// platform/windows/graphics_driver.cpp.
#pragma once

// Begins loading the system's OpenGL driver in the background, so that the
// window's GL context, made later on the viewer's thread, finds it loaded.
// Returns at once; called once, before the window is asked for. Loading
// nothing is never an error: the context then loads the driver itself.
void startLoadingGraphicsDriver();
