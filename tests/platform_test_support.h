// Helpers for the Linux Win32 layer's tests: a window procedure that records
// what it is sent, a window with a current GL context built through the
// layer's own calls, and a way to ask the X server what it shows.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/linux/layer_state.h"
#include "platform/testing.h"
#include "platform/win32.h"

namespace platform_test {

inline std::vector<MSG>& received() {
    static std::vector<MSG> messages;
    return messages;
}

inline LRESULT CALLBACK recordingProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    MSG msg{};
    msg.hwnd = hWnd;
    msg.message = message;
    msg.wParam = wParam;
    msg.lParam = lParam;
    received().push_back(msg);
    return 0x5A;
}

inline const PIXELFORMATDESCRIPTOR& viewerPixelFormat() {
    static PIXELFORMATDESCRIPTOR pfd = [] {
        PIXELFORMATDESCRIPTOR p{};
        p.nSize = sizeof p;
        p.nVersion = 1;
        p.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
        p.iPixelType = PFD_TYPE_RGBA;
        p.cColorBits = 32;
        p.cDepthBits = 16;
        p.iLayerType = PFD_MAIN_PLANE;
        return p;
    }();
    return pfd;
}

// A caption no other test process on the same display uses.
inline std::string uniqueCaption(const char* what) {
    static int serial = 0;
    return std::string("Olvistra test ") + what + " " + std::to_string(getpid()) + "-" + std::to_string(++serial);
}

inline std::string runCommand(const std::string& command) {
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[256];
        while (fgets(buffer, sizeof buffer, pipe)) out += buffer;
        pclose(pipe);
    }
    return out;
}

// The X id of the mapped window with this caption, or "" when there is none.
// Tests share one display, so a search can trip over another test's window
// vanishing under it (xdotool then gives up with BadWindow); search again,
// for up to 30 s: a busy machine maps windows late.
inline std::string findXWindow(const std::string& caption) {
    for (int attempt = 0; attempt < 300; ++attempt) {
        std::string out = runCommand("xdotool search --onlyvisible --name '^" + caption + "$' 2>/dev/null");
        if (!out.empty()) return out.substr(0, out.find('\n'));
        usleep(100 * 1000);
    }
    return "";
}

struct XGeometry {
    bool found = false;
    int x = 0, y = 0, width = 0, height = 0;
};

// Where the X server has the mapped window of this caption, client area.
inline XGeometry xGeometryOf(const std::string& caption) {
    XGeometry g;
    std::string id = findXWindow(caption);
    if (id.empty()) return g;
    std::string info = runCommand("xwininfo -id " + id);
    auto field = [&](const char* name) {
        size_t at = info.find(name);
        return at == std::string::npos ? -1 : std::atoi(info.c_str() + at + std::string(name).size());
    };
    g.found = true;
    g.x = field("Absolute upper-left X:");
    g.y = field("Absolute upper-left Y:");
    g.width = field("Width:");
    g.height = field("Height:");
    return g;
}

// Takes messages until `done` says so or `seconds` pass; returns them.
template <typename Done>
std::vector<MSG> pumpUntil(Done done, double seconds = 20.0) {
    std::vector<MSG> taken;
    auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < end) {
        MSG msg;
        if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            taken.push_back(msg);
            if (done(taken)) break;
        } else {
            SDL_Delay(5);
        }
    }
    return taken;
}

inline void drainMessages() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
}

// A registered class and a hidden 1024 x 768 window of it, torn down again
// through the layer at the end of the test.
class LayerWindow {
public:
    explicit LayerWindow(DWORD style = WS_OVERLAPPEDWINDOW, const char* className = "PlatformTestClass")
        : className(className), caption(uniqueCaption("window")) {
        instance = GetModuleHandleA(nullptr);
        WNDCLASSA wc{};
        wc.style = CS_HREDRAW | CS_VREDRAW | CS_OWNDC;
        wc.lpfnWndProc = recordingProc;
        wc.hInstance = instance;
        wc.lpszClassName = className;
        registered = RegisterClassA(&wc) != 0;
        hWnd = CreateWindowExA(WS_EX_APPWINDOW, className, caption.c_str(), style | WS_CLIPSIBLINGS | WS_CLIPCHILDREN,
                               0, 0, 1024, 768, nullptr, nullptr, instance, nullptr);
    }
    ~LayerWindow() {
        if (hRC) {
            wglMakeCurrent(nullptr, nullptr);
            wglDeleteContext(hRC);
        }
        if (hWnd) DestroyWindow(hWnd);
        if (registered) UnregisterClassA(className, instance);
        drainMessages();
        received().clear();
    }
    LayerWindow(const LayerWindow&) = delete;
    LayerWindow& operator=(const LayerWindow&) = delete;

    // GetDC, pixel format, context made current: the viewer's order.
    bool makeGLCurrent() {
        hDC = GetDC(hWnd);
        int format = ChoosePixelFormat(hDC, &viewerPixelFormat());
        if (!hDC || !format || !SetPixelFormat(hDC, format, &viewerPixelFormat())) return false;
        hRC = wglCreateContext(hDC);
        return hRC && wglMakeCurrent(hDC, hRC);
    }

    SDL_Window* sdl() const { return olvlinux::findWindow(hWnd)->sdl; }
    Uint32 sdlId() const { return olvlinux::findWindow(hWnd)->sdlId; }

    const char* className;
    std::string caption;
    HINSTANCE instance = nullptr;
    bool registered = false;
    HWND hWnd = nullptr;
    HDC hDC = nullptr;
    HGLRC hRC = nullptr;
};

// Every platform test needs the display the test runner provides.
class PlatformDisplayTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(olvlinux::ensureVideo()) << "no X display for the platform tests: " << SDL_GetError();
        platformClearCallFailures();
        drainMessages();
        received().clear();
    }
    void TearDown() override { platformClearCallFailures(); }
};

}  // namespace platform_test
