#include "render/gl_window.h"

#include "decoders/devil.h"
#include <IL/ilut.h>

#include "decoders/devil_limits.h"
#include "model/picture_texture.h"
#include "platform/monitor.h"
#include "render/gl_context_generation.h"
#include "render/scene.h"
#include "render/texture.h"

HINSTANCE hInstance = nullptr;
HWND hWnd = nullptr;
HDC hDC = nullptr;
HGLRC hRC = nullptr;

namespace {

bool fullscreen = false;

const char* const className = "OpenGL";
const int clientWidth = 1024;
const int clientHeight = 768;

// Double-buffered RGBA, 32-bit colour and a 16-bit depth buffer; no alpha,
// accumulation, stencil or auxiliary buffers.
PIXELFORMATDESCRIPTOR viewerPixelFormat() {
    PIXELFORMATDESCRIPTOR format = {};
    format.nSize = sizeof(PIXELFORMATDESCRIPTOR);
    format.nVersion = 1;
    format.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    format.iPixelType = PFD_TYPE_RGBA;
    format.cColorBits = 32;
    format.cDepthBits = 16;
    format.iLayerType = PFD_MAIN_PLANE;
    return format;
}

const PIXELFORMATDESCRIPTOR pixelFormat = viewerPixelFormat();

void reportSetupFailure(const char* text) { MessageBoxA(nullptr, text, "ERROR", MB_OK | MB_ICONEXCLAMATION); }

void reportShutdownFailure(const char* text) {
    MessageBoxA(nullptr, text, "SHUTDOWN ERROR", MB_OK | MB_ICONINFORMATION);
}

// Tears down what was built so far, then tells the user why the open failed.
bool failOpen(const char* text) {
    closeViewerWindow();
    reportSetupFailure(text);
    return false;
}

bool registerWindowClass(WNDPROC windowProc) {
    hInstance = GetModuleHandleA(nullptr);
    WNDCLASSA windowClass = {};
    windowClass.style = CS_HREDRAW | CS_VREDRAW | CS_OWNDC;
    windowClass.lpfnWndProc = windowProc;
    windowClass.hInstance = hInstance;
    windowClass.hIcon = LoadIconA(hInstance, MAKEINTRESOURCEA(107));
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.lpszClassName = className;
    return RegisterClassA(&windowClass) != 0;
}

// Switches the display to 1024 x 768 x 32. When the display cannot, asks
// whether to go on windowed; false when the user declines.
bool enterFullscreenMode(DWORD& style, DWORD& exStyle) {
    DEVMODEA mode = {};
    mode.dmSize = sizeof mode;
    mode.dmPelsWidth = clientWidth;
    mode.dmPelsHeight = clientHeight;
    mode.dmBitsPerPel = 32;
    mode.dmFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT;
    if (ChangeDisplaySettingsA(&mode, CDS_FULLSCREEN) == DISP_CHANGE_SUCCESSFUL) {
        ShowCursor(FALSE);
        style = WS_POPUP;
        exStyle = WS_EX_APPWINDOW;
        return true;
    }
    if (MessageBoxA(nullptr,
                    "The Requested Fullscreen Mode Is Not Supported By\nYour Video Card. Use Windowed Mode Instead?",
                    "Olvistra", MB_YESNO | MB_ICONEXCLAMATION) == IDYES) {
        fullscreen = false;
        return true;
    }
    MessageBoxA(nullptr, "Program Will Now Close.", "ERROR", MB_OK | MB_ICONERROR);
    return false;
}

}  // namespace

unsigned startImageLibrary() {
    ILuint image = startDevil();
    ilutInit();
    ilutRenderer(ILUT_OPENGL);
    usePictureTextures({makeTexture, releaseTexture});
    return image;
}

bool viewerFullscreen() { return fullscreen; }

int openingClientHeight() { return clientHeight; }

void presentFrame() { SwapBuffers(hDC); }

bool openViewerWindow(const char* title, bool fullscreenRequested, WNDPROC windowProc) {
    RECT rect = {0, 0, clientWidth, clientHeight};
    fullscreen = fullscreenRequested;

    if (!registerWindowClass(windowProc)) {
        MessageBoxA(nullptr, "Failed To Register The Window Class.", "ERROR", MB_OK | MB_ICONEXCLAMATION);
        return false;
    }

    DWORD style = WS_OVERLAPPEDWINDOW;
    DWORD exStyle = WS_EX_APPWINDOW | WS_EX_WINDOWEDGE;
    if (fullscreen && !enterFullscreenMode(style, exStyle)) return false;

    AdjustWindowRectEx(&rect, style, FALSE, exStyle);
    hWnd = CreateWindowExA(exStyle, className, title, style | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0, 0,
                           rect.right - rect.left, rect.bottom - rect.top, nullptr, nullptr, hInstance, nullptr);
    if (!hWnd) return failOpen("Window Creation Error.");
    // The viewer's keys are letters: an input method would take them
    // (Japanese, Chinese, Korean), so the window has none.
    ImmAssociateContextEx(hWnd, nullptr, 0);
    // Full-screen runs in a display mode of the client's size; a window is
    // sized for its monitor's DPI and work area.
    PixelSize client = {clientWidth, clientHeight};
    if (!fullscreen) client = fitWindowToMonitor(hWnd, clientWidth, clientHeight);

    hDC = GetDC(hWnd);
    if (!hDC) return failOpen("Can't Create A GL Device Context.");

    int format = ChoosePixelFormat(hDC, &pixelFormat);
    if (!format) return failOpen("Can't Find A Suitable PixelFormat.");
    if (!SetPixelFormat(hDC, format, &pixelFormat)) return failOpen("Can't Set The PixelFormat.");

    hRC = wglCreateContext(hDC);
    if (!hRC) return failOpen("Can't Create A GL Rendering Context.");
    if (!wglMakeCurrent(hDC, hRC)) return failOpen("Can't Activate The GL Rendering Context.");
    markGLContextCurrent();

    ShowWindow(hWnd, SW_SHOW);
    SetForegroundWindow(hWnd);
    SetFocus(hWnd);
    setupProjection(client.width, client.height);
    startImageLibrary();
    setupRenderState();
    return true;
}

void closeViewerWindow() {
    if (fullscreen) {
        ChangeDisplaySettingsA(nullptr, 0);
        ShowCursor(TRUE);
    }
    if (hRC) {
        markGLContextReleased();
        if (!wglMakeCurrent(nullptr, nullptr)) reportShutdownFailure("Release Of DC And RC Failed.");
        if (!wglDeleteContext(hRC)) reportShutdownFailure("Release Rendering Context Failed.");
        hRC = nullptr;
    }
    if (hDC) {
        if (!ReleaseDC(hWnd, hDC)) reportShutdownFailure("Release Device Context Failed.");
        hDC = nullptr;
    }
    if (hWnd) {
        if (!DestroyWindow(hWnd)) reportShutdownFailure("Could Not Release hWnd.");
        hWnd = nullptr;
    }
    // With the window gone nothing is shown that needs the display on.
    SetThreadExecutionState(ES_CONTINUOUS);
    if (!UnregisterClassA(className, hInstance)) reportShutdownFailure("Could Not Unregister Class.");
}
