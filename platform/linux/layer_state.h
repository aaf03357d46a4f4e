// State shared by the Linux window, GL context, display and message files of
// the Win32 layer, and the pure decisions they make (kept here so tests can
// reach them without a display).
//
// Handles (HWND, HDC, HGLRC, HICON) are opaque numbers handed out from one
// counter and looked up in the maps below, so a stale handle is refused
// instead of being dereferenced, and is never reused for a later object.
//
// Threads: windows, device contexts and messages belong to the thread that
// runs the viewer's loop; nothing here is locked. Rendering contexts record
// the thread they are current on, as WGL does.
#pragma once

#include <SDL.h>

#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/win32.h"

namespace olvlinux {

struct WindowClass {
    std::string name;  // as registered; looked up without regard to case
    WNDPROC proc = nullptr;
    HINSTANCE instance = nullptr;
    HICON icon = nullptr;
    UINT style = 0;
};

struct Window {
    HWND handle = nullptr;
    SDL_Window* sdl = nullptr;
    Uint32 sdlId = 0;
    std::string className;
    WNDPROC proc = nullptr;
    DWORD style = 0;
    HDC dc = nullptr;     // the one private device context
    int pixelFormat = 0;  // 0 until SetPixelFormat
    bool minimised = false;
};

struct GLContext {
    SDL_GLContext sdl = nullptr;
    int pixelFormat = 0;
    bool current = false;
    std::thread::id currentOn;
    Window* drawable = nullptr;  // the window it was last made current with
};

struct LayerState {
    std::map<std::string, WindowClass> classes;  // key: lower-case name
    std::map<HWND, std::unique_ptr<Window>> windows;
    std::map<HDC, Window*> deviceContexts;
    std::map<HGLRC, GLContext> contexts;
    std::map<HICON, SDL_Surface*> icons;  // HICON handles for cursors map to null
    std::uintptr_t nextHandle = 0x10000;

    std::deque<MSG> queue;  // messages taken from SDL, not yet returned
    bool quitPosted = false;
    int quitCode = 0;

    bool fullscreenModeInForce = false;
    SDL_DisplayMode fullscreenMode{};

    int cursorCount = 0;  // ShowCursor's display counter; shown while >= 0

    std::uint64_t lastPresentNs = 0;  // end of the previous SwapBuffers
};

LayerState& layer();

// Starts SDL's video subsystem on first use; false when no display is there.
bool ensureVideo();

// A fresh opaque handle value of any handle type.
template <typename Handle>
Handle newHandle() {
    LayerState& state = layer();
    state.nextHandle += 16;
    return reinterpret_cast<Handle>(state.nextHandle);
}

Window* findWindow(HWND hWnd);
Window* findWindowBySdlId(Uint32 id);
Window* findWindowByDc(HDC hdc);

// Called by DestroyWindow: forgets the window's device context, ends any
// rendering context's use of the window, and drops its queued messages.
void forgetDeviceContext(Window& window);
void forgetGLDrawable(Window& window);
void dropQueuedMessages(HWND hWnd);

// The SDL event type that wakes the thread waiting for messages when a
// decode answer arrives; registered on first use.
Uint32 decodeWakeEventType();

// The SDL event type pushed when the root window's colour profiles change
// (display_profile.cpp); 0 when none could be registered.
Uint32 displayProfileEventType();
// Watches the helper's socket from a thread of its own and pushes one wake
// event when it turns readable (an answer, or the helper's end). Called for
// every job submitted; a later call replaces the descriptor watched.
void watchDecodeAnswer(int socket);

// Ends the watching thread, if any (the next watch starts it again).
void stopWatchingDecodeAnswers();

// Monotonic clock in nanoseconds.
std::uint64_t nowNs();

// ---- pure decisions, tested without a display ----

// The SDL GL attributes of the one pixel format the layer offers; applied
// before every window and context creation so visual and context agree.
void applyPixelFormatAttributes();

// ChoosePixelFormat's decision: 1 (the one offered format) or 0 when the
// descriptor asks for something it lacks.
int choosePixelFormatFor(const PIXELFORMATDESCRIPTOR& pfd);

struct DisplayModeInfo {
    int width;
    int height;
    int bitsPerPixel;   // SDL_BITSPERPIXEL
    int bytesPerPixel;  // SDL_BYTESPERPIXEL
    int refreshRate;    // 0 when unknown
};

// Index into `modes` of the mode that satisfies the fields of `request`
// named in its dmFields, or -1. A missing width, height or depth matches
// `desktop`'s.
int findDisplayMode(const std::vector<DisplayModeInfo>& modes, const DisplayModeInfo& desktop,
                    const DEVMODEA& request);

// Windows virtual-key code for an SDL key, or 0 when the viewer's keyboard
// has no such key. `place` is the key's physical position (its scancode),
// which names the letter or digit where the layout gives none; `modifiers`
// are the SDL_Keymod bits of the event (NumLock decides what the keypad
// digits are).
WORD virtualKeyFor(SDL_Keycode key, SDL_Scancode place, Uint16 modifiers);

}  // namespace olvlinux
