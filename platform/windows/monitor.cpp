#include "platform/monitor.h"

namespace {

using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
using AdjustWindowRectExForDpiFunction = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);

// The per-monitor DPI calls came with Windows 10 1607. They are looked up,
// not imported, so the viewer still starts on earlier Windows, which give
// every monitor the system's DPI.
template <typename Function>
Function user32Function(const char* name) {
    HMODULE user32 = GetModuleHandleA("user32.dll");
    if (!user32) return nullptr;
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(user32, name)));
}

UINT dpiOf(HWND window) {
    static const auto getDpiForWindow = user32Function<GetDpiForWindowFunction>("GetDpiForWindow");
    if (getDpiForWindow) {
        UINT dpi = getDpiForWindow(window);
        if (dpi != 0) return dpi;
    }
    HDC screen = GetDC(nullptr);
    int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSX) : 0;
    if (screen) ReleaseDC(nullptr, screen);
    return dpi > 0 ? UINT(dpi) : USER_DEFAULT_SCREEN_DPI;
}

// What the window's frame (borders, caption) adds to its client area's
// width and height at `dpi`.
PixelSize frameOf(HWND window, UINT dpi) {
    static const auto adjustForDpi = user32Function<AdjustWindowRectExForDpiFunction>("AdjustWindowRectExForDpi");
    DWORD style = DWORD(GetWindowLongA(window, GWL_STYLE));
    DWORD exStyle = DWORD(GetWindowLongA(window, GWL_EXSTYLE));
    RECT rect = {0, 0, 0, 0};
    if (!adjustForDpi || !adjustForDpi(&rect, style, FALSE, exStyle, dpi)) {
        AdjustWindowRectEx(&rect, style, FALSE, exStyle);
    }
    return {int(rect.right - rect.left), int(rect.bottom - rect.top)};
}

RECT workAreaOf(HMONITOR monitor) {
    MONITORINFO info = {};
    info.cbSize = sizeof info;
    if (monitor && GetMonitorInfoA(monitor, &info)) return info.rcWork;
    RECT workArea = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &workArea, 0);
    return workArea;
}

PixelSize sizeOf(const RECT& rect) { return {int(rect.right - rect.left), int(rect.bottom - rect.top)}; }

// The start of a span `length` long that begins at `start` when it can,
// moved back to end at `limitEnd`, but never before `limitStart`.
LONG keptWithin(LONG start, int length, LONG limitStart, LONG limitEnd) {
    if (start + length > limitEnd) start = limitEnd - length;
    return start < limitStart ? limitStart : start;
}

}  // namespace

PixelSize fitWindowToMonitor(HWND window, int width, int height) {
    UINT dpi = dpiOf(window);
    RECT workArea = workAreaOf(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST));
    PixelSize frame = frameOf(window, dpi);
    PixelSize client = fitClientArea({scaledToDpi(width, dpi), scaledToDpi(height, dpi)}, frame, sizeOf(workArea));
    SetWindowPos(window, nullptr, workArea.left, workArea.top, client.width + frame.width,
                 client.height + frame.height, SWP_NOZORDER | SWP_NOACTIVATE);
    return client;
}

void followMonitorDpi(HWND window, unsigned dpi, const RECT* suggested) {
    RECT workArea = workAreaOf(MonitorFromRect(suggested, MONITOR_DEFAULTTONEAREST));
    PixelSize frame = frameOf(window, dpi);
    PixelSize outer = sizeOf(*suggested);
    PixelSize client =
        fitClientArea({outer.width - frame.width, outer.height - frame.height}, frame, sizeOf(workArea));
    outer = {client.width + frame.width, client.height + frame.height};
    LONG left = keptWithin(suggested->left, outer.width, workArea.left, workArea.right);
    LONG top = keptWithin(suggested->top, outer.height, workArea.top, workArea.bottom);
    SetWindowPos(window, nullptr, left, top, outer.width, outer.height, SWP_NOZORDER | SWP_NOACTIVATE);
}
