// Device contexts, pixel formats, rendering contexts and SwapBuffers of the
// Linux Win32 layer, on a real (software) OpenGL.
// The layer's header comes first: it defines APIENTRY as GL expects.
#include "platform_test_support.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <chrono>

using namespace platform_test;

class PlatformPixelFormat : public ::testing::Test {};

TEST_F(PlatformPixelFormat, TheViewersDescriptorFits) {
    EXPECT_EQ(olvlinux::choosePixelFormatFor(viewerPixelFormat()), 1);
    PIXELFORMATDESCRIPTOR deeper = viewerPixelFormat();
    deeper.cDepthBits = 24;
    deeper.cStencilBits = 8;
    deeper.cAlphaBits = 8;
    EXPECT_EQ(olvlinux::choosePixelFormatFor(deeper), 1);
}

TEST_F(PlatformPixelFormat, WhatTheFormatLacksGetsNone) {
    auto with = [](void (*change)(PIXELFORMATDESCRIPTOR&)) {
        PIXELFORMATDESCRIPTOR pfd = viewerPixelFormat();
        change(pfd);
        return olvlinux::choosePixelFormatFor(pfd);
    };
    EXPECT_EQ(with([](PIXELFORMATDESCRIPTOR& p) { p.iPixelType = PFD_TYPE_COLORINDEX; }), 0);
    EXPECT_EQ(with([](PIXELFORMATDESCRIPTOR& p) { p.dwFlags &= ~DWORD(PFD_SUPPORT_OPENGL); }), 0);
    EXPECT_EQ(with([](PIXELFORMATDESCRIPTOR& p) { p.dwFlags |= 0x8; }), 0) << "drawing to a bitmap";
    EXPECT_EQ(with([](PIXELFORMATDESCRIPTOR& p) { p.cColorBits = 48; }), 0);
    EXPECT_EQ(with([](PIXELFORMATDESCRIPTOR& p) { p.cDepthBits = 32; }), 0);
    EXPECT_EQ(with([](PIXELFORMATDESCRIPTOR& p) { p.cAccumBits = 64; }), 0);
    EXPECT_EQ(with([](PIXELFORMATDESCRIPTOR& p) { p.cAuxBuffers = 1; }), 0);
}

class PlatformGLContext : public PlatformDisplayTest {};

TEST_F(PlatformGLContext, PixelFormatIsSetOncePerWindow) {
    LayerWindow window;
    HDC hDC = GetDC(window.hWnd);
    ASSERT_NE(hDC, nullptr);
    EXPECT_EQ(GetDC(window.hWnd), hDC) << "the window's one private DC";
    EXPECT_EQ(wglCreateContext(hDC), nullptr) << "no pixel format yet";
    EXPECT_EQ(ChoosePixelFormat(nullptr, &viewerPixelFormat()), 0);
    int format = ChoosePixelFormat(hDC, &viewerPixelFormat());
    ASSERT_NE(format, 0);
    EXPECT_FALSE(SetPixelFormat(hDC, format + 1, &viewerPixelFormat()));
    EXPECT_TRUE(SetPixelFormat(hDC, format, &viewerPixelFormat()));
    EXPECT_TRUE(SetPixelFormat(hDC, format, &viewerPixelFormat())) << "the same format again";

    LayerWindow other(WS_OVERLAPPEDWINDOW, "PlatformOtherClass");
    EXPECT_EQ(ReleaseDC(other.hWnd, hDC), 0) << "not that window's DC";
    EXPECT_EQ(ReleaseDC(window.hWnd, hDC), 1);
}

TEST_F(PlatformGLContext, NewContextIsNotCurrentUntilMadeSo) {
    LayerWindow window;
    HDC hDC = GetDC(window.hWnd);
    int format = ChoosePixelFormat(hDC, &viewerPixelFormat());
    ASSERT_TRUE(SetPixelFormat(hDC, format, &viewerPixelFormat()));
    HGLRC hRC = wglCreateContext(hDC);
    ASSERT_NE(hRC, nullptr);
    EXPECT_EQ(glGetString(GL_VERSION), nullptr) << "wglCreateContext left the context current";

    ASSERT_TRUE(wglMakeCurrent(hDC, hRC));
    EXPECT_NE(glGetString(GL_VERSION), nullptr);
    ASSERT_TRUE(wglMakeCurrent(nullptr, nullptr));
    EXPECT_EQ(glGetString(GL_VERSION), nullptr);
    EXPECT_TRUE(wglMakeCurrent(nullptr, nullptr)) << "releasing with nothing current";

    ASSERT_TRUE(wglMakeCurrent(hDC, hRC));
    EXPECT_TRUE(wglDeleteContext(hRC)) << "deleting the current context releases it";
    EXPECT_EQ(glGetString(GL_VERSION), nullptr);
    EXPECT_FALSE(wglMakeCurrent(hDC, hRC)) << "a deleted context";
    EXPECT_FALSE(wglDeleteContext(hRC));
}

TEST_F(PlatformGLContext, FixedFunctionDrawingReachesTheWindow) {
    LayerWindow window;
    ASSERT_TRUE(window.makeGLCurrent());
    glViewport(0, 0, 1024, 768);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45.0, 1024.0 / 768.0, 0.1, 100.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glClearColor(0.0f, 0.0f, 1.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glTranslatef(0.0f, 0.0f, -3.0f);
    glColor3f(1.0f, 0.0f, 0.0f);
    glBegin(GL_QUADS);
    glVertex3f(-0.5f, -0.5f, 0.0f);
    glVertex3f(0.5f, -0.5f, 0.0f);
    glVertex3f(0.5f, 0.5f, 0.0f);
    glVertex3f(-0.5f, 0.5f, 0.0f);
    glEnd();
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));

    unsigned char centre[4] = {}, corner[4] = {};
    glReadPixels(512, 384, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, centre);
    glReadPixels(2, 2, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, corner);
    EXPECT_EQ(centre[0], 255);
    EXPECT_EQ(centre[2], 0);
    EXPECT_EQ(corner[0], 0);
    EXPECT_EQ(corner[2], 255);
    GLint depthBits = 0;
    glGetIntegerv(GL_DEPTH_BITS, &depthBits);
    EXPECT_GE(depthBits, 16);
    GLint doubleBuffered = 0;
    glGetIntegerv(GL_DOUBLEBUFFER, &doubleBuffered);
    EXPECT_TRUE(doubleBuffered);
    EXPECT_TRUE(SwapBuffers(window.hDC));
}

TEST_F(PlatformGLContext, OneContextServesEveryWindowOfItsFormat) {
    LayerWindow first;
    ASSERT_TRUE(first.makeGLCurrent());
    LayerWindow second(WS_OVERLAPPEDWINDOW, "PlatformSecondClass");
    HDC secondDC = GetDC(second.hWnd);
    EXPECT_FALSE(wglMakeCurrent(secondDC, first.hRC)) << "no pixel format on the second window yet";
    ASSERT_TRUE(SetPixelFormat(secondDC, 1, &viewerPixelFormat()));
    ASSERT_TRUE(wglMakeCurrent(secondDC, first.hRC));
    glClearColor(0.0f, 1.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    unsigned char pixel[4] = {};
    glReadPixels(10, 10, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
    EXPECT_EQ(pixel[1], 255);
}

TEST_F(PlatformGLContext, DestroyingTheWindowEndsItsDeviceContext) {
    LayerWindow window;
    ASSERT_TRUE(window.makeGLCurrent());
    HDC hDC = window.hDC;
    ASSERT_TRUE(wglMakeCurrent(nullptr, nullptr));
    ASSERT_TRUE(DestroyWindow(window.hWnd));
    window.hWnd = nullptr;
    EXPECT_FALSE(SwapBuffers(hDC));
    EXPECT_FALSE(wglMakeCurrent(hDC, window.hRC));
    EXPECT_TRUE(wglDeleteContext(window.hRC)) << "a context outlives its window, as with WGL";
    window.hRC = nullptr;
}

class PlatformSwap : public PlatformDisplayTest {};

TEST_F(PlatformSwap, FramesAreHeldTo60PerSecond) {
    LayerWindow window;
    ASSERT_TRUE(window.makeGLCurrent());
    ShowWindow(window.hWnd, SW_SHOW);
    SwapBuffers(window.hDC);
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 10; ++i) {
        glClear(GL_COLOR_BUFFER_BIT);
        ASSERT_TRUE(SwapBuffers(window.hDC));
    }
    double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    EXPECT_GE(ms, 150.0) << "ten frames at 60 per second take 167 ms";
}

TEST_F(PlatformSwap, ASlowFrameIsNotFollowedByABurst) {
    LayerWindow window;
    ASSERT_TRUE(window.makeGLCurrent());
    SwapBuffers(window.hDC);
    SDL_Delay(100);  // a frame that took six periods
    auto start = std::chrono::steady_clock::now();
    SwapBuffers(window.hDC);
    SwapBuffers(window.hDC);
    double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    EXPECT_GE(ms, 14.0) << "the frame after the late one still waits its period";
}
