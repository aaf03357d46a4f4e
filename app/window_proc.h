// The window procedure of the viewer's window class and its key commands.
#pragma once

#include "platform/win32.h"

// True while the key with that virtual-key code is down.
bool keyIsDown(WPARAM key);

// Marks the key as up: after the window that would have had its key-up is
// closed (the full-screen switch), so it does not count as held.
void releaseKey(WPARAM key);

// False while the window is minimised.
bool windowActive();

// Something on screen may have changed (a key, an expose, a resize, the
// focus, or what the main loop found): the loop draws one frame.
void requestFrame();
// True when a frame is requested.
bool frameRequested();
// True when a frame is requested, and clears the request.
bool takeFrameRequest();

// True when the key's command steps to the next or the previous entry.
bool keySteps(WPARAM key);

LRESULT CALLBACK viewerWindowProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

// Shows one info box and frees its block: the title, a zero byte, the text
// and a zero byte. Started on a thread of its own by the I key.
void* infoBoxThread(void* block);
