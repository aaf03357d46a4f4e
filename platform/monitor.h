// The viewer's window on its monitor: sized for the monitor's dots per inch
// and work area. Implemented by platform/windows/monitor.cpp and
// platform/linux/monitor.cpp.
#pragma once

#include "platform/win32.h"
#include "util/window_fit.h"

// Sizes a windowed window made with a `width` x `height` client area at 96
// dots per inch: the client area becomes that, scaled to the dots per inch
// of the monitor the window is on, or the largest area of the same shape
// that fits the monitor's work area with the window's frame around it; the
// frame's top-left corner goes to the work area's. Returns the client size
// the window has then.
PixelSize fitWindowToMonitor(HWND window, int width, int height);

// WM_DPICHANGED: the window has moved to a monitor of another `dpi`, or its
// monitor's scale changed. Takes the window rectangle the system suggests
// (the message's lParam), shrunk, shape kept, until it fits the work area
// of the monitor it lands on, and kept within that work area.
void followMonitorDpi(HWND window, unsigned dpi, const RECT* suggested);
