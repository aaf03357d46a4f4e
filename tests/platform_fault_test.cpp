// Failure injection: each injectable call of the Linux Win32 layer fails the
// way the real call reports failure, and works again once cleared.
// The layer's header comes first: it defines APIENTRY as GL expects.
#include "platform_test_support.h"

#include <GL/gl.h>

using namespace platform_test;

class PlatformFaults : public PlatformDisplayTest {};

TEST_F(PlatformFaults, SetUpCallsFailAsOnWindows) {
    LayerWindow window;  // built before any failure is injected
    ASSERT_TRUE(window.makeGLCurrent());
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA wc{};
    wc.lpfnWndProc = recordingProc;
    wc.hInstance = instance;
    wc.lpszClassName = "PlatformFaultClass";

    platformSetCallFails(PlatformCall::RegisterClassA, true);
    EXPECT_EQ(RegisterClassA(&wc), 0);
    platformSetCallFails(PlatformCall::CreateWindowExA, true);
    EXPECT_EQ(CreateWindowExA(0, window.className, "x", WS_POPUP, 0, 0, 64, 64, nullptr, nullptr, instance, nullptr),
              nullptr);
    platformSetCallFails(PlatformCall::GetDC, true);
    EXPECT_EQ(GetDC(window.hWnd), nullptr);
    platformSetCallFails(PlatformCall::ChoosePixelFormat, true);
    EXPECT_EQ(ChoosePixelFormat(window.hDC, &viewerPixelFormat()), 0);
    platformSetCallFails(PlatformCall::SetPixelFormat, true);
    EXPECT_FALSE(SetPixelFormat(window.hDC, 1, &viewerPixelFormat()));
    platformSetCallFails(PlatformCall::wglCreateContext, true);
    EXPECT_EQ(wglCreateContext(window.hDC), nullptr);
    platformSetCallFails(PlatformCall::wglMakeCurrent, true);
    EXPECT_FALSE(wglMakeCurrent(window.hDC, window.hRC));
    EXPECT_TRUE(wglMakeCurrent(nullptr, nullptr)) << "releasing is injected on its own";
    DEVMODEA mode{};
    mode.dmSize = sizeof mode;
    mode.dmPelsWidth = 1024, mode.dmPelsHeight = 768, mode.dmBitsPerPel = 32;
    mode.dmFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT;
    platformSetCallFails(PlatformCall::ChangeDisplaySettingsA, true);
    EXPECT_EQ(ChangeDisplaySettingsA(&mode, CDS_FULLSCREEN), DISP_CHANGE_BADMODE);
    EXPECT_EQ(ChangeDisplaySettingsA(nullptr, 0), DISP_CHANGE_SUCCESSFUL) << "going back is never refused";

    platformClearCallFailures();
    ATOM atom = RegisterClassA(&wc);
    EXPECT_NE(atom, 0);
    EXPECT_EQ(GetDC(window.hWnd), window.hDC);
    EXPECT_TRUE(wglMakeCurrent(window.hDC, window.hRC));
    if (atom) UnregisterClassA("PlatformFaultClass", instance);
}

TEST_F(PlatformFaults, TeardownCallsFailAndLeaveThingsAsTheyWere) {
    LayerWindow window;
    ASSERT_TRUE(window.makeGLCurrent());

    platformSetCallFails(PlatformCall::wglMakeCurrentRelease, true);
    EXPECT_FALSE(wglMakeCurrent(nullptr, nullptr));
    EXPECT_NE(glGetString(GL_VERSION), nullptr) << "still current after the failed release";
    platformSetCallFails(PlatformCall::wglDeleteContext, true);
    EXPECT_FALSE(wglDeleteContext(window.hRC));
    platformSetCallFails(PlatformCall::ReleaseDC, true);
    EXPECT_EQ(ReleaseDC(window.hWnd, window.hDC), 0);
    platformSetCallFails(PlatformCall::DestroyWindow, true);
    EXPECT_FALSE(DestroyWindow(window.hWnd));
    platformSetCallFails(PlatformCall::UnregisterClassA, true);
    EXPECT_FALSE(UnregisterClassA(window.className, window.instance));

    platformClearCallFailures();
    EXPECT_TRUE(SwapBuffers(window.hDC)) << "the window survived its failed teardown";
}
