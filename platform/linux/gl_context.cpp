// Device contexts, pixel formats and OpenGL rendering contexts over SDL2.
//
// Honoured:
//  - GetDC: the window's one private device context (CS_OWNDC behaviour for
//    every class); the same handle for the window's whole life. ReleaseDC
//    succeeds for that pair and leaves the context usable, as for a private
//    DC; it dies with the window.
//  - ChoosePixelFormat: one format is offered, number 1: RGBA, 8 bits per
//    channel in 32-bit pixels, 24 depth bits, 8 stencil bits, double
//    buffered, drawing to a window with OpenGL. A descriptor that asks for
//    less (16 depth bits, no alpha) gets it; one that asks for colour-index
//    pixels, no OpenGL, stereo, bitmap or GDI drawing, accumulation or
//    auxiliary buffers, or more bits than it has gets 0.
//  - SetPixelFormat: once per window, as on Windows; setting the same format
//    again succeeds, another one fails.
//  - wglCreateContext: an SDL compatibility-profile context (fixed-function
//    GL and GLU work) for a DC whose format is set; it is not left current.
//  - wglMakeCurrent: binds to any window of the same pixel format; with a
//    null context it releases the thread's context, whatever the DC. A
//    context current on another thread is refused.
//  - wglDeleteContext: releases it first when it is current on this thread.
//  - SwapBuffers: swap interval 1; where the driver does not wait for the
//    display, the layer holds the frame rate to 60 per second itself.
// Not supported: single-buffered formats, DescribePixelFormat, sharing.
#include <time.h>

#include "platform/linux/layer_state.h"
#include "platform/testing.h"

using namespace olvlinux;

namespace {

const int offeredFormat = 1;
const std::uint64_t framePeriodNs = 1000000000u / 60;

// The rendering context current on this thread, as WGL tracks it.
thread_local HGLRC currentContext = nullptr;

GLContext* findContext(HGLRC hglrc) {
    auto it = layer().contexts.find(hglrc);
    return it == layer().contexts.end() ? nullptr : &it->second;
}

void sleepUntil(std::uint64_t deadlineNs) {
    timespec ts{};
    ts.tv_sec = static_cast<time_t>(deadlineNs / 1000000000u);
    ts.tv_nsec = static_cast<long>(deadlineNs % 1000000000u);
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr) != 0) {
    }
}

// Waits out the rest of the frame when the swap came back sooner than one
// display refresh at 60 Hz. Late frames set a new start instead of
// bunching up to catch up.
void paceFrame() {
    LayerState& state = layer();
    std::uint64_t now = nowNs();
    std::uint64_t due = state.lastPresentNs + framePeriodNs;
    if (state.lastPresentNs != 0 && now < due) {
        sleepUntil(due);
        state.lastPresentNs = due;
    } else {
        state.lastPresentNs = now;
    }
}

void markReleased() {
    if (GLContext* context = findContext(currentContext)) {
        context->current = false;
        context->drawable = nullptr;
    }
    currentContext = nullptr;
}

}  // namespace

namespace olvlinux {

void applyPixelFormatAttributes() {
    SDL_GL_ResetAttributes();
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 2);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 1);
}

int choosePixelFormatFor(const PIXELFORMATDESCRIPTOR& pfd) {
    const DWORD stereo = 0x2, drawToBitmap = 0x8, supportGdi = 0x10;
    if (pfd.iPixelType != PFD_TYPE_RGBA) return 0;
    if (!(pfd.dwFlags & PFD_SUPPORT_OPENGL)) return 0;
    if (pfd.dwFlags & (stereo | drawToBitmap | supportGdi)) return 0;
    if (pfd.cColorBits > 32 || pfd.cRedBits > 8 || pfd.cGreenBits > 8 || pfd.cBlueBits > 8 || pfd.cAlphaBits > 8)
        return 0;
    if (pfd.cDepthBits > 24 || pfd.cStencilBits > 8) return 0;
    if (pfd.cAccumBits || pfd.cAccumRedBits || pfd.cAccumGreenBits || pfd.cAccumBlueBits || pfd.cAccumAlphaBits ||
        pfd.cAuxBuffers)
        return 0;
    return offeredFormat;
}

void forgetDeviceContext(Window& window) {
    if (window.dc) layer().deviceContexts.erase(window.dc);
    window.dc = nullptr;
}

// SDL stops any context's use of a window it destroys; keep WGL's view the
// same: a context current on the window stays "current" but has no drawable.
void forgetGLDrawable(Window& window) {
    for (auto& entry : layer().contexts)
        if (entry.second.drawable == &window) entry.second.drawable = nullptr;
}

}  // namespace olvlinux

HDC GetDC(HWND hWnd) {
    if (platformCallFails(PlatformCall::GetDC)) return nullptr;
    Window* window = findWindow(hWnd);
    if (!window) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (!window->dc) {
        window->dc = newHandle<HDC>();
        layer().deviceContexts[window->dc] = window;
    }
    return window->dc;
}

int ReleaseDC(HWND hWnd, HDC hDC) {
    if (platformCallFails(PlatformCall::ReleaseDC)) return 0;
    Window* window = findWindowByDc(hDC);
    return window && window->handle == hWnd ? 1 : 0;
}

int ChoosePixelFormat(HDC hdc, const PIXELFORMATDESCRIPTOR* ppfd) {
    if (platformCallFails(PlatformCall::ChoosePixelFormat)) return 0;
    if (!findWindowByDc(hdc) || !ppfd) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    return choosePixelFormatFor(*ppfd);
}

BOOL SetPixelFormat(HDC hdc, int format, const PIXELFORMATDESCRIPTOR*) {
    if (platformCallFails(PlatformCall::SetPixelFormat)) return FALSE;
    Window* window = findWindowByDc(hdc);
    if (!window || format != offeredFormat || (window->pixelFormat != 0 && window->pixelFormat != format)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    window->pixelFormat = format;
    return TRUE;
}

HGLRC wglCreateContext(HDC hdc) {
    if (platformCallFails(PlatformCall::wglCreateContext)) return nullptr;
    Window* window = findWindowByDc(hdc);
    if (!window || window->pixelFormat == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    // SDL makes a new context current; WGL does not, so put back what was.
    SDL_Window* previousWindow = SDL_GL_GetCurrentWindow();
    SDL_GLContext previousContext = SDL_GL_GetCurrentContext();
    applyPixelFormatAttributes();
    SDL_GLContext created = SDL_GL_CreateContext(window->sdl);
    SDL_GL_MakeCurrent(previousWindow, previousContext);
    if (!created) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    HGLRC handle = newHandle<HGLRC>();
    GLContext& record = layer().contexts[handle];
    record.sdl = created;
    record.pixelFormat = window->pixelFormat;
    return handle;
}

BOOL wglMakeCurrent(HDC hdc, HGLRC hglrc) {
    if (!hglrc) {
        if (platformCallFails(PlatformCall::wglMakeCurrentRelease)) return FALSE;
        if (currentContext && SDL_GL_MakeCurrent(nullptr, nullptr) != 0) return FALSE;
        markReleased();
        return TRUE;
    }
    if (platformCallFails(PlatformCall::wglMakeCurrent)) return FALSE;
    GLContext* context = findContext(hglrc);
    Window* window = findWindowByDc(hdc);
    if (!context || !window || window->pixelFormat != context->pixelFormat) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (context->current && context->currentOn != std::this_thread::get_id()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (SDL_GL_MakeCurrent(window->sdl, context->sdl) != 0) return FALSE;
    markReleased();
    context->current = true;
    context->currentOn = std::this_thread::get_id();
    context->drawable = window;
    currentContext = hglrc;
    // Where the driver cannot wait for the display, SwapBuffers paces itself.
    SDL_GL_SetSwapInterval(1);
    return TRUE;
}

BOOL wglDeleteContext(HGLRC hglrc) {
    if (platformCallFails(PlatformCall::wglDeleteContext)) return FALSE;
    GLContext* context = findContext(hglrc);
    if (!context || (context->current && context->currentOn != std::this_thread::get_id())) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (currentContext == hglrc) {
        SDL_GL_MakeCurrent(nullptr, nullptr);
        markReleased();
    }
    SDL_GL_DeleteContext(context->sdl);
    layer().contexts.erase(hglrc);
    return TRUE;
}

BOOL SwapBuffers(HDC hdc) {
    Window* window = findWindowByDc(hdc);
    if (!window || window->pixelFormat == 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    // SDL swaps only the window its context is current on.
    if (SDL_GL_GetCurrentWindow() == window->sdl) SDL_GL_SwapWindow(window->sdl);
    paceFrame();
    return TRUE;
}
