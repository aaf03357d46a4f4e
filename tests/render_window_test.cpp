// The viewer window brought up and taken down through the real window layer
// on the test display: repeated opens, full-screen accepted and refused, and
// every failing step with its teardown, messages and their order.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <IL/il.h>
#include <gtest/gtest.h>

#include "app/window_proc.h"
#include "render/gl_context_generation.h"
#include "platform/linux/layer_state.h"
#include "platform/testing.h"
#include "render/gl.h"
#include "render/gl_window.h"
#include "support/child_display.h"
#include "support/gl_test_context.h"
#include "support/render_support.h"
#include "support/temp_dir.h"


using namespace render_test;

namespace {

const char* const title = "Olvistra - /tmp/pictures";
const std::string question =
    "The Requested Fullscreen Mode Is Not Supported By\\nYour Video Card. Use Windowed Mode Instead?";

std::string questionLine() { return boxLine("Olvistra", question); }
std::string errorLine(const char* text) { return boxLine("ERROR", text); }
std::string shutdownLine(const char* text) { return boxLine("SHUTDOWN ERROR", text); }

bool desktopIs1024x768() {
    SDL_DisplayMode desktop{};
    return olvlinux::ensureVideo() && SDL_GetDesktopDisplayMode(0, &desktop) == 0 && desktop.w == 1024 &&
           desktop.h == 768;
}

std::vector<std::string> openWindow(bool requestFullscreen, bool& opened) {
    return boxLinesOf([&] { opened = openViewerWindow(title, requestFullscreen, viewerWindowProc); });
}

std::vector<std::string> closeWindow() { return boxLinesOf([] { closeViewerWindow(); }); }

}  // namespace

// ---- tests run again on a display of their own ----

namespace {

const char* const childVariable = "OLVISTRA_RENDER_LARGER_SCREEN_CHILD";

// The full-screen mode needs a 1024 x 768 desktop. On another display the
// calling test runs again, in a child, on a private 1024 x 768 server, and
// true is returned: the child's result is the test's.
bool ranOn1024x768Display() {
    if (desktopIs1024x768()) return false;
    if (std::getenv(childVariable)) {
        ADD_FAILURE() << "the private display is not 1024 x 768 either";
        return true;
    }
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "." + info->name();
    PrivateDisplay display("1024x768x24");
    if (display.number().empty()) {
        ADD_FAILURE() << "this display is not 1024 x 768 and no Xvfb could be started";
        return true;
    }
    TempDir dir;
    ChildRun child = runOnDisplay(display, name, childVariable, dir);
    EXPECT_TRUE(childPassed(child, name)) << child.out << child.err;
    return true;
}

}  // namespace

class RenderWindow : public ::testing::Test {
protected:
    void SetUp() override {
        if (!GLTestContext::displayAvailable()) GTEST_SKIP() << "no X display";
        platformClearCallFailures();
        cursorBefore = olvlinux::layer().cursorCount;
    }

    void TearDown() override {
        platformClearCallFailures();
        if (hRC || hDC || hWnd) closeWindow();
        before.release();
    }

    // The handles are none; unless its destruction was made to fail, the
    // layer holds no window or context of ours either.
    void expectNothingHeld(bool windowStays = false, bool contextStays = false) {
        EXPECT_EQ(hWnd, nullptr);
        EXPECT_EQ(hDC, nullptr);
        EXPECT_EQ(hRC, nullptr);
        EXPECT_EQ(currentGLContextGeneration(), 0u) << "a context is still current";
        EXPECT_EQ(before.newWindows().size(), windowStays ? 1u : 0u) << "windows left behind";
        EXPECT_EQ(before.newContexts().size(), contextStays ? 1u : 0u) << "rendering contexts left behind";
    }

    void expectDisplayUntouched() {
        EXPECT_FALSE(olvlinux::layer().fullscreenModeInForce);
        EXPECT_EQ(olvlinux::layer().cursorCount, cursorBefore);
    }

    olvlinux::Window* viewerWindow() { return olvlinux::findWindow(hWnd); }

    DialogAnswer answer{"yes"};
    LayerSnapshot before;
    int cursorBefore = 0;
};

TEST_F(RenderWindow, WindowedOpensThreeTimesEachWithANewClassWindowAndContext) {
    HWND lastWindow = nullptr;
    HGLRC lastContext = nullptr;
    uint64_t lastGeneration = 0;
    ILint lastImage = 0;
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        bool opened = false;
        EXPECT_TRUE(openWindow(false, opened).empty());
        ASSERT_TRUE(opened);
        EXPECT_EQ(hInstance, GetModuleHandleA(nullptr));
        ASSERT_NE(hWnd, nullptr);
        ASSERT_NE(hDC, nullptr);
        ASSERT_NE(hRC, nullptr);
        EXPECT_NE(hWnd, lastWindow);
        EXPECT_NE(hRC, lastContext);
        EXPECT_GT(currentGLContextGeneration(), lastGeneration) << "the new context is not current";
        EXPECT_TRUE(before.classRegistered("OpenGL"));
        EXPECT_FALSE(viewerFullscreen());

        olvlinux::Window* window = viewerWindow();
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(window->style & WS_OVERLAPPEDWINDOW, DWORD(WS_OVERLAPPEDWINDOW));
        EXPECT_FALSE(window->style & WS_POPUP);
        Uint32 flags = SDL_GetWindowFlags(window->sdl);
        EXPECT_TRUE(flags & SDL_WINDOW_SHOWN);
        EXPECT_FALSE(flags & SDL_WINDOW_FULLSCREEN);
        int w = 0, h = 0, x = -1, y = -1;
        SDL_GetWindowSize(window->sdl, &w, &h);
        SDL_GetWindowPosition(window->sdl, &x, &y);
        EXPECT_EQ(w, 1024);
        EXPECT_EQ(h, 768);
        EXPECT_EQ(x, 0);
        EXPECT_EQ(y, 0);
        EXPECT_STREQ(SDL_GetWindowTitle(window->sdl), title);

        // Projection, render state and image library are set in the new context.
        GLint viewport[4] = {};
        glGetIntegerv(GL_VIEWPORT, viewport);
        EXPECT_EQ(std::vector<GLint>(viewport, viewport + 4), (std::vector<GLint>{0, 0, 1024, 768}));
        EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
        EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
        GLint depthFunc = 0;
        glGetIntegerv(GL_DEPTH_FUNC, &depthFunc);
        EXPECT_EQ(depthFunc, GL_LEQUAL);
        ILint image = ilGetInteger(IL_CUR_IMAGE);
        EXPECT_NE(image, 0) << "no image name bound";
        EXPECT_NE(image, lastImage) << "no new image name bound";

        lastWindow = hWnd;
        lastContext = hRC;
        lastGeneration = currentGLContextGeneration();
        lastImage = image;

        EXPECT_TRUE(closeWindow().empty());
        expectNothingHeld();
        EXPECT_FALSE(before.classRegistered("OpenGL")) << "the class was not unregistered";
        EXPECT_EQ(olvlinux::findWindow(lastWindow), nullptr);
    }
}

TEST_F(RenderWindow, FullScreenAcceptedThreeTimesHidesCursorAndRestoresDesktop) {
    if (ranOn1024x768Display()) return;
    uint64_t lastGeneration = 0;
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        bool opened = false;
        EXPECT_TRUE(openWindow(true, opened).empty()) << "the mode was refused";
        ASSERT_TRUE(opened);
        EXPECT_TRUE(viewerFullscreen());
        EXPECT_GT(currentGLContextGeneration(), lastGeneration);
        lastGeneration = currentGLContextGeneration();
        EXPECT_TRUE(olvlinux::layer().fullscreenModeInForce);
        EXPECT_EQ(olvlinux::layer().cursorCount, cursorBefore - 1) << "the cursor is not hidden once";
        olvlinux::Window* window = viewerWindow();
        ASSERT_NE(window, nullptr);
        EXPECT_TRUE(window->style & WS_POPUP);
        EXPECT_FALSE(window->style & WS_CAPTION);
        EXPECT_TRUE(SDL_GetWindowFlags(window->sdl) & SDL_WINDOW_FULLSCREEN);
        int w = 0, h = 0;
        SDL_GetWindowSize(window->sdl, &w, &h);
        EXPECT_EQ(w, 1024);
        EXPECT_EQ(h, 768);

        EXPECT_TRUE(closeWindow().empty());
        expectNothingHeld();
        expectDisplayUntouched();
        EXPECT_TRUE(viewerFullscreen()) << "closing must leave the requested mode alone";
        EXPECT_FALSE(before.classRegistered("OpenGL"));
    }
}

TEST_F(RenderWindow, FullScreenRefusedAndAnsweredYesOpensWindowedEveryTime) {
    platformSetCallFails(PlatformCall::ChangeDisplaySettingsA, true);
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        bool opened = false;
        EXPECT_EQ(openWindow(true, opened), std::vector<std::string>{questionLine()});
        ASSERT_TRUE(opened);
        EXPECT_FALSE(viewerFullscreen()) << "the next switch must ask for full-screen again";
        olvlinux::Window* window = viewerWindow();
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(window->style & WS_OVERLAPPEDWINDOW, DWORD(WS_OVERLAPPEDWINDOW));
        EXPECT_FALSE(SDL_GetWindowFlags(window->sdl) & SDL_WINDOW_FULLSCREEN);
        EXPECT_STREQ(SDL_GetWindowTitle(window->sdl), title);
        expectDisplayUntouched();

        EXPECT_TRUE(closeWindow().empty());
        expectNothingHeld();
        expectDisplayUntouched();
    }
}

TEST_F(RenderWindow, FullScreenRefusedAndDeclinedLeavesOnlyTheClass) {
    platformSetCallFails(PlatformCall::ChangeDisplaySettingsA, true);
    DialogAnswer no("no");
    bool opened = true;
    EXPECT_EQ(openWindow(true, opened),
              (std::vector<std::string>{questionLine(), errorLine("Program Will Now Close.")}));
    EXPECT_FALSE(opened);
    expectNothingHeld();
    expectDisplayUntouched();
    EXPECT_TRUE(UnregisterClassA("OpenGL", hInstance)) << "the class must stay registered";
}

// Set-up failure after the mode change: the teardown restores the desktop.
TEST_F(RenderWindow, FailureInFullScreenRestoresTheDesktop) {
    if (ranOn1024x768Display()) return;
    platformSetCallFails(PlatformCall::wglCreateContext, true);
    bool opened = true;
    EXPECT_EQ(openWindow(true, opened), std::vector<std::string>{errorLine("Can't Create A GL Rendering Context.")});
    EXPECT_FALSE(opened);
    expectNothingHeld();
    expectDisplayUntouched();
    EXPECT_FALSE(before.classRegistered("OpenGL"));
}

// ---- the refusal of a display that cannot run 1024 x 768 ----

// Run only as the child of the test below, on a 1280 x 1024 screen.
TEST(RenderWindowOnLargerScreen, ChildDeclinesThenAccepts) {
    if (!std::getenv(childVariable)) GTEST_SKIP() << "runs only as a child of RefusedForReal";
    ASSERT_FALSE(desktopIs1024x768());
    int cursorBefore = olvlinux::layer().cursorCount;
    {
        DialogAnswer no("no");
        EXPECT_FALSE(openViewerWindow(title, true, viewerWindowProc));
        EXPECT_EQ(hWnd, nullptr);
        EXPECT_EQ(hRC, nullptr);
        EXPECT_TRUE(olvlinux::layer().windows.empty());
        EXPECT_FALSE(olvlinux::layer().fullscreenModeInForce);
        EXPECT_EQ(olvlinux::layer().cursorCount, cursorBefore);
        EXPECT_TRUE(UnregisterClassA("OpenGL", hInstance));
    }
    {
        DialogAnswer yes("yes");
        ASSERT_TRUE(openViewerWindow(title, true, viewerWindowProc));
        EXPECT_FALSE(viewerFullscreen());
        olvlinux::Window* window = olvlinux::findWindow(hWnd);
        ASSERT_NE(window, nullptr);
        EXPECT_FALSE(SDL_GetWindowFlags(window->sdl) & SDL_WINDOW_FULLSCREEN);
        EXPECT_EQ(window->style & WS_OVERLAPPEDWINDOW, DWORD(WS_OVERLAPPEDWINDOW));
        closeViewerWindow();
        EXPECT_EQ(olvlinux::layer().cursorCount, cursorBefore);
    }
}

TEST(RenderWindowOnLargerScreen, RefusedForReal) {
    if (std::getenv(childVariable)) GTEST_SKIP() << "already the child";
    PrivateDisplay display("1280x1024x24");
    if (!display.started()) GTEST_SKIP() << "Xvfb is not installed";
    ASSERT_FALSE(display.number().empty()) << "Xvfb did not report its display";
    TempDir dir;
    const std::string name = "RenderWindowOnLargerScreen.ChildDeclinesThenAccepts";
    ChildRun child = runOnDisplay(display, name, childVariable, dir);
    EXPECT_TRUE(childPassed(child, name)) << child.out << child.err;
    EXPECT_EQ(boxLines(child.err),
              (std::vector<std::string>{questionLine(), errorLine("Program Will Now Close."), questionLine()}));
}

// ---- every failing step ----

namespace {

struct Failure {
    const char* name;
    std::vector<PlatformCall> calls;
    std::vector<std::string> lines;
};

void PrintTo(const Failure& failure, std::ostream* out) { *out << failure.name; }

std::string nameOf(const ::testing::TestParamInfo<Failure>& info) { return info.param.name; }

bool injects(const Failure& failure, PlatformCall call) {
    for (PlatformCall c : failure.calls)
        if (c == call) return true;
    return false;
}

}  // namespace

class RenderWindowFailure : public RenderWindow, public ::testing::WithParamInterface<Failure> {
protected:
    void inject() {
        for (PlatformCall call : GetParam().calls) platformSetCallFails(call, true);
    }

    // Once the injection is gone and the leftovers are released, the window
    // opens and closes cleanly.
    void expectCleanReopen() {
        platformClearCallFailures();
        before.release();
        bool opened = false;
        EXPECT_TRUE(openWindow(false, opened).empty());
        EXPECT_TRUE(opened);
        EXPECT_TRUE(closeWindow().empty());
        expectNothingHeld();
    }
};

// Set-up failures, alone and with teardown failures: the teardown's own
// lines come before the set-up message.
class RenderWindowSetupFailure : public RenderWindowFailure {};

TEST_P(RenderWindowSetupFailure, ShowsItsLinesReturnsFalseAndHoldsNothing) {
    inject();
    bool opened = true;
    EXPECT_EQ(openWindow(false, opened), GetParam().lines);
    EXPECT_FALSE(opened);
    expectNothingHeld(injects(GetParam(), PlatformCall::DestroyWindow),
                      injects(GetParam(), PlatformCall::wglDeleteContext));
    bool classStays = injects(GetParam(), PlatformCall::UnregisterClassA) ||
                      injects(GetParam(), PlatformCall::DestroyWindow);
    EXPECT_EQ(before.classRegistered("OpenGL"), classStays);
    expectDisplayUntouched();
    expectCleanReopen();
}

INSTANTIATE_TEST_SUITE_P(
    RenderEveryStep, RenderWindowSetupFailure,
    ::testing::Values(
        Failure{"RegisterClass", {PlatformCall::RegisterClassA}, {errorLine("Failed To Register The Window Class.")}},
        Failure{"CreateWindow", {PlatformCall::CreateWindowExA}, {errorLine("Window Creation Error.")}},
        Failure{"GetDC", {PlatformCall::GetDC}, {errorLine("Can't Create A GL Device Context.")}},
        Failure{"ChoosePixelFormat",
                {PlatformCall::ChoosePixelFormat},
                {errorLine("Can't Find A Suitable PixelFormat.")}},
        Failure{"SetPixelFormat", {PlatformCall::SetPixelFormat}, {errorLine("Can't Set The PixelFormat.")}},
        Failure{"CreateContext",
                {PlatformCall::wglCreateContext},
                {errorLine("Can't Create A GL Rendering Context.")}},
        Failure{"MakeCurrent",
                {PlatformCall::wglMakeCurrent},
                {errorLine("Can't Activate The GL Rendering Context.")}},
        Failure{"CreateWindowThenUnregister",
                {PlatformCall::CreateWindowExA, PlatformCall::UnregisterClassA},
                {shutdownLine("Could Not Unregister Class."), errorLine("Window Creation Error.")}},
        Failure{"CreateContextThenReleaseDCAndDestroy",
                {PlatformCall::wglCreateContext, PlatformCall::ReleaseDC, PlatformCall::DestroyWindow},
                {shutdownLine("Release Device Context Failed."), shutdownLine("Could Not Release hWnd."),
                 shutdownLine("Could Not Unregister Class."), errorLine("Can't Create A GL Rendering Context.")}},
        Failure{"MakeCurrentThenReleaseAndDelete",
                {PlatformCall::wglMakeCurrent, PlatformCall::wglMakeCurrentRelease, PlatformCall::wglDeleteContext},
                {shutdownLine("Release Of DC And RC Failed."), shutdownLine("Release Rendering Context Failed."),
                 errorLine("Can't Activate The GL Rendering Context.")}}),
    nameOf);

// Teardown failures: each is reported, the teardown goes on with the next
// step, and every handle ends up none.
class RenderWindowTeardownFailure : public RenderWindowFailure {};

TEST_P(RenderWindowTeardownFailure, ReportsInOrderAndCarriesOn) {
    bool opened = false;
    EXPECT_TRUE(openWindow(false, opened).empty());
    ASSERT_TRUE(opened);
    HWND window = hWnd;
    HGLRC context = hRC;

    inject();
    EXPECT_EQ(closeWindow(), GetParam().lines);
    EXPECT_EQ(hWnd, nullptr);
    EXPECT_EQ(hDC, nullptr);
    EXPECT_EQ(hRC, nullptr);
    EXPECT_EQ(currentGLContextGeneration(), 0u);
    if (!injects(GetParam(), PlatformCall::wglDeleteContext)) {
        EXPECT_EQ(olvlinux::layer().contexts.count(context), 0u) << "the context was not deleted";
    }
    if (!injects(GetParam(), PlatformCall::DestroyWindow)) {
        EXPECT_EQ(olvlinux::findWindow(window), nullptr) << "the window was not destroyed";
    }
    if (!injects(GetParam(), PlatformCall::DestroyWindow) && !injects(GetParam(), PlatformCall::UnregisterClassA)) {
        EXPECT_FALSE(before.classRegistered("OpenGL")) << "the class was not unregistered";
    }
    expectCleanReopen();
}

INSTANTIATE_TEST_SUITE_P(
    RenderEveryStep, RenderWindowTeardownFailure,
    ::testing::Values(
        Failure{"ReleaseCurrent", {PlatformCall::wglMakeCurrentRelease}, {shutdownLine("Release Of DC And RC Failed.")}},
        Failure{"DeleteContext", {PlatformCall::wglDeleteContext}, {shutdownLine("Release Rendering Context Failed.")}},
        Failure{"ReleaseDC", {PlatformCall::ReleaseDC}, {shutdownLine("Release Device Context Failed.")}},
        // A class that still has a window cannot be unregistered either.
        Failure{"DestroyWindow",
                {PlatformCall::DestroyWindow},
                {shutdownLine("Could Not Release hWnd."), shutdownLine("Could Not Unregister Class.")}},
        Failure{"UnregisterClass", {PlatformCall::UnregisterClassA}, {shutdownLine("Could Not Unregister Class.")}},
        Failure{"Everything",
                {PlatformCall::wglMakeCurrentRelease, PlatformCall::wglDeleteContext, PlatformCall::ReleaseDC,
                 PlatformCall::DestroyWindow, PlatformCall::UnregisterClassA},
                {shutdownLine("Release Of DC And RC Failed."), shutdownLine("Release Rendering Context Failed."),
                 shutdownLine("Release Device Context Failed."), shutdownLine("Could Not Release hWnd."),
                 shutdownLine("Could Not Unregister Class.")}}),
    nameOf);
