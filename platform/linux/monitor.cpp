// The viewer's window on its monitor, on Linux.
//
// Honoured:
//  - fitWindowToMonitor: the window keeps the client size it was made with.
//    SDL sizes windows in the display's pixels and the window manager
//    places them, so the viewer's window is 1024 x 768 on every display.
//  - followMonitorDpi: does nothing; no WM_DPICHANGED is ever sent.
// Not supported: scaling by the desktop's dots per inch or scale factor,
// shrinking to the work area, placing the window.
#include "platform/monitor.h"

PixelSize fitWindowToMonitor(HWND, int width, int height) { return {width, height}; }

void followMonitorDpi(HWND, unsigned, const RECT*) {}
