// The viewer's one window: class, window, display mode, pixel format,
// device and rendering contexts, and the start of the image library.
#pragma once

#include "platform/win32.h"

// Process-wide handles, each null while not held; written only by
// openViewerWindow and closeViewerWindow.
extern HINSTANCE hInstance;
extern HWND hWnd;
extern HDC hDC;
extern HGLRC hRC;

// True while the window runs (or is to run) full-screen: the mode the last
// openViewerWindow asked for, unless the display refused it and the user
// chose a window. Closing the window leaves it alone.
bool viewerFullscreen();

// The client height a window opens with (full-screen too), before the
// system has had its say: what a picture decoded before the window is
// there is sized for.
int openingClientHeight();

// Starts DevIL for a window whose GL context is current: IL and ILU as both
// programs start them (decoders/devil.h), then ILUT over OpenGL. Returns
// the image it bound.
unsigned startImageLibrary();

// Shows the frame drawn in the window's back buffer.
void presentFrame();

// Builds the window in the requested mode with its GL context current, the
// projection and render state set and the image library started; its
// messages go to `windowProc` (the app's). On failure the user has been told
// and nothing but (after a declined full-screen fall-back) the window class
// is left behind.
bool openViewerWindow(const char* title, bool fullscreenRequested, WNDPROC windowProc);

// Restores the display mode when full-screen and releases whatever is held,
// reporting each failed step and carrying on with the next.
void closeViewerWindow();
