// Window classes and windows over SDL2.
//
// Honoured:
//  - RegisterClassA: lpszClassName (text, compared without case; one class
//    per name in the process), hInstance, lpfnWndProc (DispatchMessageA
//    calls it), hIcon (set as the window's icon). Class atoms count up from
//    0xC000. A second class of the same name fails with
//    ERROR_CLASS_ALREADY_EXISTS.
//  - UnregisterClassA, CreateWindowExA: the class is found by name and
//    hInstance. UnregisterClassA fails with ERROR_CLASS_DOES_NOT_EXIST for an
//    unknown one and ERROR_CLASS_HAS_WINDOWS while a window of it exists.
//  - AdjustWindowRectEx: leaves the rectangle as it is. The window manager
//    draws the frame outside the client area, so on Linux the size given to
//    CreateWindowExA is the client size.
//  - CreateWindowExA: created hidden unless WS_VISIBLE; X/Y is the outer
//    top-left corner; WS_THICKFRAME makes it resizable; WS_POPUP makes it
//    borderless, and full-screen in the display mode set by
//    ChangeDisplaySettingsA when one is in force and the size matches it.
//    Every window can carry OpenGL (see gl_context.cpp).
//  - ShowWindow: SW_HIDE hides, any other command shows.
//  - SetForegroundWindow raises the window and gives it the input focus;
//    SetFocus gives it the keyboard focus and returns the previous holder.
//  - ShowCursor: the Win32 display counter; the cursor shows while >= 0.
//  - LoadIconA: icon resource 107 of the program's module, the embedded
//    application icon. LoadCursorA: IDC_ARROW of the system (no module).
// Not supported: parent and child windows, menus, CW_USEDEFAULT, class
// atoms in place of names, WM_CREATE/WM_DESTROY, other icons and cursors.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/linux/icon_file.h"
#include "platform/linux/layer_state.h"
#include "platform/testing.h"
#include "util/text.h"

extern const unsigned char olvistraIconData[];
extern const std::size_t olvistraIconSize;

using namespace olvlinux;

namespace {

const WORD applicationIconId = 107;
const WORD arrowCursorId = 32512;

// Resource names given as MAKEINTRESOURCE numbers carry the number in the
// pointer value, with the high bits clear.
bool isResourceNumber(LPCSTR name, WORD number) {
    return reinterpret_cast<std::uintptr_t>(name) == number;
}

WindowClass* findClass(const char* name, HINSTANCE instance) {
    if (!name || reinterpret_cast<std::uintptr_t>(name) <= 0xFFFF) return nullptr;
    auto it = layer().classes.find(toLower(name));
    if (it == layer().classes.end() || it->second.instance != instance) return nullptr;
    return &it->second;
}

bool classHasWindows(const std::string& className) {
    for (auto& entry : layer().windows)
        if (toLower(entry.second->className.c_str()) == toLower(className.c_str())) return true;
    return false;
}

Uint32 sdlFlagsFor(DWORD style, int width, int height, SDL_DisplayMode* fullscreenMode) {
    Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN;
    if (style & WS_THICKFRAME) flags |= SDL_WINDOW_RESIZABLE;
    if ((style & WS_POPUP) && !(style & WS_CAPTION)) {
        flags |= SDL_WINDOW_BORDERLESS;
        const LayerState& state = layer();
        if (state.fullscreenModeInForce && state.fullscreenMode.w == width && state.fullscreenMode.h == height) {
            flags |= SDL_WINDOW_FULLSCREEN;
            *fullscreenMode = state.fullscreenMode;
        }
    }
    return flags;
}

SDL_Surface* surfaceFromIcon(const IconImage& image) {
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormat(0, image.width, image.height, 32, SDL_PIXELFORMAT_ARGB8888);
    if (!surface) return nullptr;
    for (int y = 0; y < image.height; ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(static_cast<unsigned char*>(surface->pixels) + y * surface->pitch);
        std::memcpy(row, &image.argb[static_cast<std::size_t>(y) * image.width], image.width * sizeof(std::uint32_t));
    }
    return surface;
}

HICON applicationIcon() {
    static HICON handle = nullptr;
    if (handle) return handle;
    IconImage image;
    if (!decodeIcon(olvistraIconData, olvistraIconSize, image)) return nullptr;
    SDL_Surface* surface = surfaceFromIcon(image);
    if (!surface) return nullptr;
    handle = newHandle<HICON>();
    layer().icons[handle] = surface;
    return handle;
}

void setWindowIcon(SDL_Window* window, HICON icon) {
    auto it = layer().icons.find(icon);
    if (it != layer().icons.end() && it->second) SDL_SetWindowIcon(window, it->second);
}

}  // namespace

ATOM RegisterClassA(const WNDCLASSA* lpWndClass) {
    if (platformCallFails(PlatformCall::RegisterClassA)) return 0;
    if (!lpWndClass || !lpWndClass->lpfnWndProc || !lpWndClass->lpszClassName ||
        reinterpret_cast<std::uintptr_t>(lpWndClass->lpszClassName) <= 0xFFFF || !*lpWndClass->lpszClassName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::string key = toLower(lpWndClass->lpszClassName);
    if (layer().classes.count(key)) {
        SetLastError(ERROR_CLASS_ALREADY_EXISTS);
        return 0;
    }
    WindowClass record;
    record.name = lpWndClass->lpszClassName;
    record.proc = lpWndClass->lpfnWndProc;
    record.instance = lpWndClass->hInstance;
    record.icon = lpWndClass->hIcon;
    record.style = lpWndClass->style;
    layer().classes[key] = record;
    static ATOM nextAtom = 0xC000;
    if (nextAtom < 0xFFFF) ++nextAtom;
    return nextAtom;
}

BOOL UnregisterClassA(LPCSTR lpClassName, HINSTANCE hInstance) {
    if (platformCallFails(PlatformCall::UnregisterClassA)) return FALSE;
    WindowClass* record = findClass(lpClassName, hInstance);
    if (!record) {
        SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
        return FALSE;
    }
    if (classHasWindows(record->name)) {
        SetLastError(ERROR_CLASS_HAS_WINDOWS);
        return FALSE;
    }
    layer().classes.erase(toLower(lpClassName));
    return TRUE;
}

BOOL AdjustWindowRectEx(LPRECT lpRect, DWORD, BOOL, DWORD) {
    if (!lpRect) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return TRUE;
}

HWND CreateWindowExA(DWORD, LPCSTR lpClassName, LPCSTR lpWindowName, DWORD dwStyle, int X, int Y, int nWidth,
                     int nHeight, HWND, HMENU, HINSTANCE hInstance, LPVOID) {
    if (platformCallFails(PlatformCall::CreateWindowExA)) return nullptr;
    WindowClass* windowClass = findClass(lpClassName, hInstance);
    if (!windowClass) {
        SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
        return nullptr;
    }
    if (nWidth <= 0 || nHeight <= 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (!ensureVideo()) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    SDL_DisplayMode fullscreenMode{};
    Uint32 flags = sdlFlagsFor(dwStyle, nWidth, nHeight, &fullscreenMode);
    applyPixelFormatAttributes();
    SDL_Window* sdlWindow = SDL_CreateWindow(lpWindowName ? lpWindowName : "", X, Y, nWidth, nHeight, flags);
    if (!sdlWindow) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    if (flags & SDL_WINDOW_FULLSCREEN) SDL_SetWindowDisplayMode(sdlWindow, &fullscreenMode);
    if (windowClass->icon) setWindowIcon(sdlWindow, windowClass->icon);

    auto window = std::make_unique<Window>();
    window->handle = newHandle<HWND>();
    window->sdl = sdlWindow;
    window->sdlId = SDL_GetWindowID(sdlWindow);
    window->className = windowClass->name;
    window->proc = windowClass->proc;
    window->style = dwStyle;
    HWND handle = window->handle;
    layer().windows[handle] = std::move(window);
    if (dwStyle & WS_VISIBLE) ShowWindow(handle, SW_SHOW);
    return handle;
}

BOOL ShowWindow(HWND hWnd, int nCmdShow) {
    Window* window = findWindow(hWnd);
    if (!window) return FALSE;
    bool wasVisible = (SDL_GetWindowFlags(window->sdl) & SDL_WINDOW_SHOWN) != 0;
    if (nCmdShow == SW_HIDE)
        SDL_HideWindow(window->sdl);
    else
        SDL_ShowWindow(window->sdl);
    return wasVisible ? TRUE : FALSE;
}

BOOL SetForegroundWindow(HWND hWnd) {
    Window* window = findWindow(hWnd);
    if (!window) return FALSE;
    SDL_RaiseWindow(window->sdl);
    return TRUE;
}

HWND SetFocus(HWND hWnd) {
    SDL_Window* focused = SDL_WasInit(SDL_INIT_VIDEO) ? SDL_GetKeyboardFocus() : nullptr;
    Window* previous = focused ? findWindowBySdlId(SDL_GetWindowID(focused)) : nullptr;
    if (hWnd) {
        Window* window = findWindow(hWnd);
        if (!window) {
            SetLastError(ERROR_INVALID_HANDLE);
            return nullptr;
        }
        SDL_SetWindowInputFocus(window->sdl);
    }
    return previous ? previous->handle : nullptr;
}

BOOL DestroyWindow(HWND hWnd) {
    if (platformCallFails(PlatformCall::DestroyWindow)) return FALSE;
    Window* window = findWindow(hWnd);
    if (!window) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    forgetGLDrawable(*window);
    forgetDeviceContext(*window);
    dropQueuedMessages(hWnd);
    SDL_DestroyWindow(window->sdl);
    layer().windows.erase(hWnd);
    return TRUE;
}

int ShowCursor(BOOL bShow) {
    LayerState& state = layer();
    int before = state.cursorCount;
    state.cursorCount += bShow ? 1 : -1;
    if ((before >= 0) != (state.cursorCount >= 0) && SDL_WasInit(SDL_INIT_VIDEO))
        SDL_ShowCursor(state.cursorCount >= 0 ? SDL_ENABLE : SDL_DISABLE);
    return state.cursorCount;
}

HICON LoadIconA(HINSTANCE hInstance, LPCSTR lpIconName) {
    if (hInstance && hInstance == GetModuleHandleA(nullptr) && isResourceNumber(lpIconName, applicationIconId)) {
        if (HICON icon = applicationIcon()) return icon;
    }
    SetLastError(ERROR_FILE_NOT_FOUND);
    return nullptr;
}

HCURSOR LoadCursorA(HINSTANCE hInstance, LPCSTR lpCursorName) {
    if (!hInstance && isResourceNumber(lpCursorName, arrowCursorId)) {
        // SDL's default cursor is the arrow; the handle only has to be valid.
        static HCURSOR arrow = nullptr;
        if (!arrow) {
            arrow = newHandle<HCURSOR>();
            layer().icons[arrow] = nullptr;
        }
        return arrow;
    }
    SetLastError(ERROR_FILE_NOT_FOUND);
    return nullptr;
}
