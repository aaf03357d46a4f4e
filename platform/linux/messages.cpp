// The thread's message queue over SDL2 events.
//
// Honoured:
//  - PeekMessageA: never waits; PM_REMOVE and PM_NOREMOVE; the
//    window filter and the message range filter (0, 0 = all). WM_QUIT comes
//    once nothing else is waiting, with hwnd null and the exit code.
//  - Messages made from SDL events, for the layer's windows only (key
//    messages of a window that is gone go to the only window left):
//      key down / up     WM_KEYDOWN / WM_KEYUP with the virtual-key code
//                        (keymap.cpp). Auto-repeat repeats WM_KEYDOWN with
//                        lParam bit 30 set and no WM_KEYUP. Alt, F10 and
//                        keys pressed with Alt come as WM_SYSKEYDOWN /
//                        WM_SYSKEYUP, which the default procedure ignores,
//                        as on Windows. Keys without a code make nothing.
//      size changed      WM_SIZE, SIZE_RESTORED or SIZE_MAXIMIZED, the
//                        client width and height in LOWORD/HIWORD(lParam).
//      minimised         WM_ACTIVATE (WA_INACTIVE, minimised flag in
//                        HIWORD(wParam)), then WM_SIZE SIZE_MINIMIZED 0 x 0.
//      restored          WM_ACTIVATE (WA_ACTIVE), then WM_SIZE.
//      focus gained/lost WM_ACTIVATE WA_ACTIVE / WA_INACTIVE, with the
//                        minimised flag as the window is at that moment.
//      close button      WM_CLOSE.
//      moved             WM_MOVE, also when it lands on another monitor;
//                        lParam 0 (the position is not given).
//      colour profile    WM_DISPLAYCHANGE to each window, wParam and lParam 0,
//                        when the root window's profiles change
//                        (display_profile.cpp).
//      exposed           WM_PAINT, one queued at a time per window; the
//                        default procedure answers 0.
//    SDL_QUIT is ignored: only WM_CLOSE ends the viewer's loop.
//  - The screen saver is held off while one of the layer's windows has the
//    focus and allowed again when it loses it or is minimised.
//  - TranslateMessage answers TRUE for key messages; DispatchMessageA calls
//    the window's class procedure; DefWindowProcA destroys the window on
//    WM_CLOSE and answers 0 to everything else.
//  - waitForMessageOrDecode: sleeps in SDL's event wait, with no timeout
//    while no decode job is in flight. The decode service's watcher pushes a
//    wake event when the helper answers (decode_wakeup.cpp), so an answer
//    ends the wait as a key does; a job's time limit bounds the wait.
// Not supported: WM_CHAR, mouse messages, PostMessageA, SendMessageA,
// MSG.pt (always 0, 0), lParam scan codes.
#include <algorithm>

#include "platform/decode_transport.h"
#include "platform/linux/layer_state.h"
#include "platform/services.h"

using namespace olvlinux;

namespace {

// Win32 codes of messages the viewer never handles itself.
const UINT wmSysKeyDown = 0x0104;
const UINT wmSysKeyUp = 0x0105;

void enqueue(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    MSG msg{};
    msg.hwnd = hWnd;
    msg.message = message;
    msg.wParam = wParam;
    msg.lParam = lParam;
    msg.time = SDL_GetTicks();
    layer().queue.push_back(msg);
}

// Like Windows, one WM_PAINT stands for any number of exposes.
bool paintQueued(HWND hWnd) {
    auto& queue = layer().queue;
    return std::any_of(queue.begin(), queue.end(),
                       [&](const MSG& msg) { return msg.hwnd == hWnd && msg.message == WM_PAINT; });
}

bool isMinimised(const Window& window) {
    return window.minimised || (SDL_GetWindowFlags(window.sdl) & SDL_WINDOW_MINIMIZED);
}

WPARAM activation(WORD state, const Window& window) { return MAKEWPARAM(state, isMinimised(window) ? 1 : 0); }

LPARAM clientSize(const Window& window) {
    int width = 0, height = 0;
    SDL_GetWindowSize(window.sdl, &width, &height);
    return MAKELPARAM(width, height);
}

// The window a key event goes to. Keyboard input follows the focus, not the
// X window it was read from: keys sent straight to a window without the
// focus (a minimised one) carry no window in SDL, and keys read just before
// the viewer replaced its window name the old one. Both go to the layer's
// window when it has only one, as the viewer does.
Window* keyTarget(Uint32 windowId) {
    if (Window* window = findWindowBySdlId(windowId)) return window;
    auto& windows = layer().windows;
    return windows.size() == 1 ? windows.begin()->second.get() : nullptr;
}

void translateKey(const SDL_KeyboardEvent& key) {
    Window* window = keyTarget(key.windowID);
    if (!window) return;
    WORD vk = virtualKeyFor(key.keysym.sym, key.keysym.scancode, key.keysym.mod);
    if (vk == 0) return;
    bool down = key.type == SDL_KEYDOWN;
    bool alt = (key.keysym.mod & KMOD_ALT) && !(key.keysym.mod & KMOD_CTRL);
    bool system = vk == VK_MENU || vk == VK_F10 || alt;
    UINT message = down ? (system ? wmSysKeyDown : WM_KEYDOWN) : (system ? wmSysKeyUp : WM_KEYUP);
    // lParam: repeat count 1, context code (Alt held), previous key state,
    // transition state, laid out as on Windows.
    DWORD bits = 1;
    if (alt) bits |= 1u << 29;
    if (!down || key.repeat) bits |= 1u << 30;
    if (!down) bits |= 1u << 31;
    enqueue(window->handle, message, vk, static_cast<LPARAM>(bits));
}

void holdOffScreenSaver(bool hold) {
    if (hold)
        SDL_DisableScreenSaver();
    else
        SDL_EnableScreenSaver();
}

void translateWindowEvent(const SDL_WindowEvent& event) {
    Window* window = findWindowBySdlId(event.windowID);
    if (!window) return;
    HWND hWnd = window->handle;
    switch (event.event) {
        case SDL_WINDOWEVENT_SIZE_CHANGED: {
            bool maximised = SDL_GetWindowFlags(window->sdl) & SDL_WINDOW_MAXIMIZED;
            enqueue(hWnd, WM_SIZE, maximised ? SIZE_MAXIMIZED : SIZE_RESTORED, MAKELPARAM(event.data1, event.data2));
            break;
        }
        case SDL_WINDOWEVENT_MINIMIZED:
            window->minimised = true;
            holdOffScreenSaver(false);
            enqueue(hWnd, WM_ACTIVATE, activation(WA_INACTIVE, *window), 0);
            enqueue(hWnd, WM_SIZE, SIZE_MINIMIZED, 0);
            break;
        case SDL_WINDOWEVENT_RESTORED:
        case SDL_WINDOWEVENT_MAXIMIZED:
            if (!window->minimised) break;  // a size change of a shown window: WM_SIZE comes on its own
            window->minimised = false;
            enqueue(hWnd, WM_ACTIVATE, MAKEWPARAM(WA_ACTIVE, 0), 0);
            enqueue(hWnd, WM_SIZE, event.event == SDL_WINDOWEVENT_MAXIMIZED ? SIZE_MAXIMIZED : SIZE_RESTORED,
                    clientSize(*window));
            break;
        case SDL_WINDOWEVENT_FOCUS_GAINED:
            holdOffScreenSaver(true);
            enqueue(hWnd, WM_ACTIVATE, activation(WA_ACTIVE, *window), 0);
            break;
        case SDL_WINDOWEVENT_FOCUS_LOST:
            holdOffScreenSaver(false);
            enqueue(hWnd, WM_ACTIVATE, activation(WA_INACTIVE, *window), 0);
            break;
        case SDL_WINDOWEVENT_CLOSE:
            enqueue(hWnd, WM_CLOSE, 0, 0);
            break;
        case SDL_WINDOWEVENT_MOVED:
        case SDL_WINDOWEVENT_DISPLAY_CHANGED:
            enqueue(hWnd, WM_MOVE, 0, 0);
            break;
        case SDL_WINDOWEVENT_EXPOSED:
            if (!paintQueued(hWnd)) enqueue(hWnd, WM_PAINT, 0, 0);
            break;
        default:
            break;
    }
}

void translate(const SDL_Event& event) {
    switch (event.type) {
        case SDL_KEYDOWN:
        case SDL_KEYUP:
            translateKey(event.key);
            break;
        case SDL_WINDOWEVENT:
            translateWindowEvent(event.window);
            break;
        default:  // SDL_QUIT included
            if (event.type != 0 && event.type == displayProfileEventType()) {
                for (auto& window : layer().windows) enqueue(window.first, WM_DISPLAYCHANGE, 0, 0);
            }
            break;
    }
}

bool matches(const MSG& msg, HWND hWnd, UINT first, UINT last) {
    if (hWnd && msg.hwnd != hWnd) return false;
    if (first == 0 && last == 0) return true;
    return msg.message >= first && msg.message <= last;
}

bool takeQueued(LPMSG out, HWND hWnd, UINT first, UINT last, bool remove) {
    auto& queue = layer().queue;
    auto it = std::find_if(queue.begin(), queue.end(),
                           [&](const MSG& msg) { return matches(msg, hWnd, first, last); });
    if (it == queue.end()) return false;
    *out = *it;
    if (remove) queue.erase(it);
    return true;
}

bool takeQuit(LPMSG out, HWND hWnd, UINT first, UINT last, bool remove) {
    LayerState& state = layer();
    if (!state.quitPosted || hWnd) return false;
    if (!(first == 0 && last == 0) && (WM_QUIT < first || WM_QUIT > last)) return false;
    *out = MSG{};
    out->message = WM_QUIT;
    out->wParam = static_cast<WPARAM>(state.quitCode);
    out->time = SDL_WasInit(SDL_INIT_VIDEO) ? SDL_GetTicks() : 0;
    if (remove) state.quitPosted = false;
    return true;
}

void pumpEvents() {
    SDL_Event event;
    while (SDL_PollEvent(&event)) translate(event);
}

}  // namespace

namespace olvlinux {

void dropQueuedMessages(HWND hWnd) {
    auto& queue = layer().queue;
    queue.erase(std::remove_if(queue.begin(), queue.end(), [&](const MSG& msg) { return msg.hwnd == hWnd; }),
                queue.end());
}

}  // namespace olvlinux

BOOL PeekMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax, UINT wRemoveMsg) {
    if (!lpMsg) return FALSE;
    bool remove = (wRemoveMsg & PM_REMOVE) != 0;
    if (SDL_WasInit(SDL_INIT_VIDEO)) pumpEvents();
    bool found = takeQueued(lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax, remove) ||
                 takeQuit(lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax, remove);
    return found ? TRUE : FALSE;
}

void waitForMessageOrDecode() {
    LayerState& state = layer();
    if (!SDL_WasInit(SDL_INIT_VIDEO) || state.windows.empty()) return;
    pumpEvents();
    if (!state.queue.empty() || state.quitPosted) return;
    SDL_Event event;
    int got = 0;
    if (decodeJobInFlight()) {
        // An answer that came before SDL could take the watcher's event (a
        // job started before the window) is seen here.
        if (!decodeJobPending()) return;
        decodeWakeEventType();
        got = SDL_WaitEventTimeout(&event, int(std::max<std::uint32_t>(decodeJobMsLeft(), 1)));
    } else {
        got = SDL_WaitEvent(&event);
    }
    if (got) translate(event);
}

BOOL TranslateMessage(const MSG* lpMsg) {
    if (!lpMsg) return FALSE;
    switch (lpMsg->message) {
        case WM_KEYDOWN:
        case WM_KEYUP:
        case wmSysKeyDown:
        case wmSysKeyUp:
            return TRUE;
        default:
            return FALSE;
    }
}

LRESULT DispatchMessageA(const MSG* lpMsg) {
    if (!lpMsg) return 0;
    Window* window = findWindow(lpMsg->hwnd);
    if (!window || !window->proc) return 0;
    WNDPROC proc = window->proc;  // the procedure may destroy its window
    return proc(lpMsg->hwnd, lpMsg->message, lpMsg->wParam, lpMsg->lParam);
}

void PostQuitMessage(int nExitCode) {
    LayerState& state = layer();
    state.quitPosted = true;
    state.quitCode = nExitCode;
}

LRESULT DefWindowProcA(HWND hWnd, UINT Msg, WPARAM, LPARAM) {
    if (Msg == WM_CLOSE) DestroyWindow(hWnd);
    return 0;
}
