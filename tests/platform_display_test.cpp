// Display modes of the Linux Win32 layer: the full-screen mode is granted
// only where the display lists it.
#include <sys/wait.h>

#include <cstdlib>
#include <cstring>

#include "platform_test_support.h"
#include "support/child_display.h"


using namespace platform_test;

namespace {

DEVMODEA viewerMode() {
    DEVMODEA mode{};
    mode.dmSize = sizeof mode;
    mode.dmPelsWidth = 1024;
    mode.dmPelsHeight = 768;
    mode.dmBitsPerPel = 32;
    mode.dmFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT;
    return mode;
}

const char* const childMarker = "OLVISTRA_PLATFORM_DISPLAY_CHILD";
const int childRefused = 42;

// In a child started by the refusal test, on a display of another size:
// asks for the viewer's mode and reports the answer in the exit status.
__attribute__((constructor)) void displayChild() {
    if (!std::getenv(childMarker)) return;
    DEVMODEA mode = viewerMode();
    LONG result = ChangeDisplaySettingsA(&mode, CDS_FULLSCREEN);
    std::_Exit(result == DISP_CHANGE_BADMODE ? childRefused : 1);
}

}  // namespace

class PlatformDisplayModes : public ::testing::Test {
protected:
    std::vector<olvlinux::DisplayModeInfo> modes = {
        {1920, 1080, 24, 4, 60},
        {1280, 1024, 24, 4, 75},
        {1024, 768, 16, 2, 60},
    };
    olvlinux::DisplayModeInfo desktop = modes[0];
};

TEST_F(PlatformDisplayModes, ThirtyTwoBitsMeansFullColourPixels) {
    DEVMODEA mode = viewerMode();
    EXPECT_EQ(olvlinux::findDisplayMode(modes, desktop, mode), -1) << "only a 16-bit 1024 x 768 is listed";
    modes.push_back({1024, 768, 24, 4, 60});
    EXPECT_EQ(olvlinux::findDisplayMode(modes, desktop, mode), 3);
    mode.dmBitsPerPel = 24;
    EXPECT_EQ(olvlinux::findDisplayMode(modes, desktop, mode), 3);
    mode.dmBitsPerPel = 16;
    EXPECT_EQ(olvlinux::findDisplayMode(modes, desktop, mode), 2);
    mode.dmBitsPerPel = 8;
    EXPECT_EQ(olvlinux::findDisplayMode(modes, desktop, mode), -1);
}

TEST_F(PlatformDisplayModes, OnlyTheNamedFieldsCount) {
    DEVMODEA mode{};
    mode.dmSize = sizeof mode;
    mode.dmPelsWidth = 1280;
    mode.dmPelsHeight = 1024;
    mode.dmBitsPerPel = 8;
    mode.dmFields = DM_PELSWIDTH | DM_PELSHEIGHT;
    EXPECT_EQ(olvlinux::findDisplayMode(modes, desktop, mode), 1) << "the depth was not named";
    mode.dmFields |= DM_DISPLAYFREQUENCY;
    mode.dmDisplayFrequency = 60;
    EXPECT_EQ(olvlinux::findDisplayMode(modes, desktop, mode), -1);
    mode.dmDisplayFrequency = 75;
    EXPECT_EQ(olvlinux::findDisplayMode(modes, desktop, mode), 1);
    mode.dmFields = DM_BITSPERPEL;
    mode.dmBitsPerPel = 32;
    EXPECT_EQ(olvlinux::findDisplayMode(modes, desktop, mode), 0) << "the desktop's size was meant";
}

class PlatformDisplay : public PlatformDisplayTest {
protected:
    void TearDown() override {
        ChangeDisplaySettingsA(nullptr, 0);
        PlatformDisplayTest::TearDown();
    }
};

TEST_F(PlatformDisplay, FullScreenOnAScreenThatRunsTheMode) {
    SDL_DisplayMode desktop{};
    ASSERT_EQ(SDL_GetDesktopDisplayMode(0, &desktop), 0);
    if (desktop.w != 1024 || desktop.h != 768) GTEST_SKIP() << "the test display is not 1024 x 768";

    DEVMODEA mode = viewerMode();
    ASSERT_EQ(ChangeDisplaySettingsA(&mode, CDS_FULLSCREEN), DISP_CHANGE_SUCCESSFUL);
    LayerWindow popup(WS_POPUP);
    ASSERT_NE(popup.hWnd, nullptr);
    ShowWindow(popup.hWnd, SW_SHOW);
    EXPECT_TRUE(SDL_GetWindowFlags(popup.sdl()) & SDL_WINDOW_FULLSCREEN);
    XGeometry g = xGeometryOf(popup.caption);
    EXPECT_TRUE(g.found);
    EXPECT_EQ(g.x, 0);
    EXPECT_EQ(g.y, 0);
    EXPECT_EQ(g.width, 1024);
    EXPECT_EQ(g.height, 768);

    EXPECT_EQ(ChangeDisplaySettingsA(nullptr, 0), DISP_CHANGE_SUCCESSFUL);
    EXPECT_FALSE(SDL_GetWindowFlags(popup.sdl()) & SDL_WINDOW_FULLSCREEN) << "back to the desktop";
    LayerWindow later(WS_POPUP, "PlatformLaterClass");
    EXPECT_FALSE(SDL_GetWindowFlags(later.sdl()) & SDL_WINDOW_FULLSCREEN);
}

TEST_F(PlatformDisplay, RefusedOnALargerScreen) {
    // A second X server of 1280 x 1024, and a child of this test program on it.
    PrivateDisplay display("1280x1024x24");
    if (!display.started()) GTEST_SKIP() << "Xvfb is not installed";
    ASSERT_FALSE(display.number().empty()) << "Xvfb did not report its display";
    TempDir dir;
    ChildRun child = runOnDisplay(display, "PlatformDisplay.RefusedOnALargerScreen", childMarker, dir);
    int status = child.status;
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), childRefused) << "1024 x 768 was granted on a 1280 x 1024 screen";
}
