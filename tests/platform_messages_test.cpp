// The message queue of the Linux Win32 layer: SDL events become the Win32
// messages the viewer's window procedure and loop rely on.
// The layer's header comes first: it defines APIENTRY as GL expects.
#include "platform_test_support.h"
#include "support/child_display.h"

#include <GL/gl.h>

using namespace platform_test;

namespace {

void pushKey(Uint32 windowId, Uint32 type, SDL_Keycode key, bool repeat = false, Uint16 mod = KMOD_NUM) {
    SDL_Event event{};
    event.type = type;
    event.key.windowID = windowId;
    event.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
    event.key.repeat = repeat;
    event.key.keysym.sym = key;
    event.key.keysym.mod = mod;
    SDL_PushEvent(&event);
}

void pushWindowEvent(Uint32 windowId, Uint8 what, int data1 = 0, int data2 = 0) {
    SDL_Event event{};
    event.type = SDL_WINDOWEVENT;
    event.window.windowID = windowId;
    event.window.event = what;
    event.window.data1 = data1;
    event.window.data2 = data2;
    SDL_PushEvent(&event);
}

std::vector<MSG> takeAll() {
    std::vector<MSG> out;
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) out.push_back(msg);
    return out;
}

}  // namespace

class PlatformMessages : public PlatformDisplayTest {};

TEST_F(PlatformMessages, DispatchCallsTheClassProcedure) {
    LayerWindow window;
    MSG msg{window.hWnd, WM_KEYDOWN, VK_F1, 7, 0, {0, 0}};
    EXPECT_TRUE(TranslateMessage(&msg));
    EXPECT_EQ(DispatchMessageA(&msg), 0x5A);
    ASSERT_EQ(received().size(), 1u);
    EXPECT_EQ(received()[0].hwnd, window.hWnd);
    EXPECT_EQ(received()[0].message, UINT(WM_KEYDOWN));
    EXPECT_EQ(received()[0].wParam, WPARAM(VK_F1));
    EXPECT_EQ(received()[0].lParam, 7);

    MSG toNobody{nullptr, WM_KEYDOWN, VK_F1, 0, 0, {0, 0}};
    EXPECT_EQ(DispatchMessageA(&toNobody), 0);
    EXPECT_EQ(received().size(), 1u);
}

TEST_F(PlatformMessages, QuitComesOnceAfterEverythingElse) {
    LayerWindow window;
    pushKey(window.sdlId(), SDL_KEYDOWN, SDLK_l);
    PostQuitMessage(3);
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(msg.message, UINT(WM_KEYDOWN));
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, UINT(WM_KEYDOWN)) << "PM_NOREMOVE must leave it queued";
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, UINT(WM_QUIT));
    EXPECT_EQ(msg.wParam, WPARAM(3));
    EXPECT_EQ(msg.hwnd, nullptr);
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) << "WM_QUIT is taken once";
}

TEST_F(PlatformMessages, SdlQuitIsNotWmQuit) {
    LayerWindow window;
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    SDL_PushEvent(&quit);
    pushKey(window.sdlId(), SDL_KEYDOWN, SDLK_l);  // read after the quit event
    std::vector<MSG> got = takeAll();
    ASSERT_FALSE(got.empty());
    EXPECT_EQ(got.back().message, UINT(WM_KEYDOWN));
    EXPECT_EQ(got.back().wParam, WPARAM('L'));
    for (const MSG& msg : got) EXPECT_NE(msg.message, UINT(WM_QUIT));
}

TEST_F(PlatformMessages, KeysArriveAsVirtualKeysWithRepeats) {
    LayerWindow window;
    Uint32 id = window.sdlId();
    pushKey(id, SDL_KEYDOWN, SDLK_RIGHT);
    pushKey(id, SDL_KEYDOWN, SDLK_RIGHT, true);
    pushKey(id, SDL_KEYDOWN, SDLK_RIGHT, true);
    pushKey(id, SDL_KEYUP, SDLK_RIGHT);
    pushKey(id, SDL_KEYDOWN, SDLK_j);
    pushKey(id, SDL_KEYDOWN, SDLK_PAGEDOWN);
    pushKey(id, SDL_KEYDOWN, SDLK_F5);
    pushKey(id, SDL_KEYDOWN, SDLK_ESCAPE);
    pushKey(id, SDL_KEYDOWN, SDLK_WWW);  // no virtual key: no message

    std::vector<MSG> got = takeAll();
    ASSERT_EQ(got.size(), 8u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(got[i].message, UINT(WM_KEYDOWN));
        EXPECT_EQ(got[i].wParam, WPARAM(VK_RIGHT));
        EXPECT_EQ(got[i].hwnd, window.hWnd);
        EXPECT_EQ(bool(got[i].lParam & (1 << 30)), i > 0) << "previous-state bit marks the repeats";
    }
    EXPECT_EQ(got[3].message, UINT(WM_KEYUP));
    EXPECT_EQ(got[3].wParam, WPARAM(VK_RIGHT));
    EXPECT_EQ(got[4].wParam, WPARAM('J'));
    EXPECT_EQ(got[5].wParam, WPARAM(VK_NEXT));
    EXPECT_EQ(got[6].wParam, WPARAM(VK_F5));
    EXPECT_EQ(got[7].wParam, WPARAM(VK_ESCAPE));
}

// The layout's own Latin letter first; where it has none, the US letter of
// the key's place; the digit row always gives its digits. As on Windows.
TEST(PlatformKeymap, LettersAndDigitsUnderOtherLayouts) {
    using olvlinux::virtualKeyFor;
    EXPECT_EQ(virtualKeyFor(SDLK_a, SDL_SCANCODE_Q, KMOD_NUM), WORD('A')) << "AZERTY keeps its letters";
    EXPECT_EQ(virtualKeyFor(SDLK_COMMA, SDL_SCANCODE_M, KMOD_NUM), WORD(0xBC)) << "AZERTY's comma is no M";
    EXPECT_EQ(virtualKeyFor(SDLK_AMPERSAND, SDL_SCANCODE_1, KMOD_NUM), WORD('1'));
    EXPECT_EQ(virtualKeyFor(SDLK_QUOTE, SDL_SCANCODE_4, KMOD_NUM), WORD('4'));
    EXPECT_EQ(virtualKeyFor(0x434, SDL_SCANCODE_L, KMOD_NUM), WORD('L')) << "Russian de";
    EXPECT_EQ(virtualKeyFor(0x3BE, SDL_SCANCODE_J, KMOD_NUM), WORD('J')) << "Greek xi";
    EXPECT_EQ(virtualKeyFor(0x436, SDL_SCANCODE_SEMICOLON, KMOD_NUM), WORD(0)) << "no letter at that place";
}

TEST_F(PlatformMessages, AltKeysAreSystemKeysTheViewerDoesNotSee) {
    LayerWindow window;
    pushKey(window.sdlId(), SDL_KEYDOWN, SDLK_l, false, KMOD_LALT | KMOD_NUM);
    pushKey(window.sdlId(), SDL_KEYDOWN, SDLK_l, false, KMOD_LCTRL | KMOD_NUM);
    std::vector<MSG> got = takeAll();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_NE(got[0].message, UINT(WM_KEYDOWN)) << "Alt+L is WM_SYSKEYDOWN on Windows";
    EXPECT_EQ(DefWindowProcA(window.hWnd, got[0].message, got[0].wParam, got[0].lParam), 0);
    EXPECT_EQ(got[1].message, UINT(WM_KEYDOWN));
}

TEST_F(PlatformMessages, WindowChangesBecomeSizeActivateAndClose) {
    LayerWindow window;
    Uint32 id = window.sdlId();
    pushWindowEvent(id, SDL_WINDOWEVENT_FOCUS_GAINED);
    pushWindowEvent(id, SDL_WINDOWEVENT_FOCUS_LOST);
    pushWindowEvent(id, SDL_WINDOWEVENT_MINIMIZED);
    pushWindowEvent(id, SDL_WINDOWEVENT_RESTORED);
    pushWindowEvent(id, SDL_WINDOWEVENT_CLOSE);
    std::vector<MSG> got = takeAll();
    ASSERT_EQ(got.size(), 7u);
    EXPECT_EQ(got[0].message, UINT(WM_ACTIVATE));
    EXPECT_EQ(LOWORD(got[0].wParam), WA_ACTIVE);
    EXPECT_EQ(HIWORD(got[0].wParam), 0);
    EXPECT_EQ(got[1].message, UINT(WM_ACTIVATE));
    EXPECT_EQ(LOWORD(got[1].wParam), WA_INACTIVE);
    EXPECT_EQ(HIWORD(got[1].wParam), 0) << "losing the focus is not minimising";
    EXPECT_EQ(got[2].message, UINT(WM_ACTIVATE));
    EXPECT_NE(HIWORD(got[2].wParam), 0) << "minimised";
    EXPECT_EQ(got[3].message, UINT(WM_SIZE));
    EXPECT_EQ(got[3].wParam, WPARAM(SIZE_MINIMIZED));
    EXPECT_EQ(got[4].message, UINT(WM_ACTIVATE));
    EXPECT_EQ(HIWORD(got[4].wParam), 0) << "restored";
    EXPECT_EQ(got[5].message, UINT(WM_SIZE));
    EXPECT_EQ(LOWORD(got[5].lParam), 1024);
    EXPECT_EQ(HIWORD(got[5].lParam), 768);
    EXPECT_EQ(got[6].message, UINT(WM_CLOSE));

    // The default procedure closes by destroying the window.
    EXPECT_EQ(DefWindowProcA(window.hWnd, WM_CLOSE, 0, 0), 0);
    EXPECT_FALSE(DestroyWindow(window.hWnd)) << "already destroyed";
    window.hWnd = nullptr;
}

TEST_F(PlatformMessages, ResizingTheXWindowGivesWmSize) {
    LayerWindow window;
    ShowWindow(window.hWnd, SW_SHOW);
    drainMessages();
    std::string id = findXWindow(window.caption);
    ASSERT_FALSE(id.empty());
    runCommand("xdotool windowsize " + id + " 640 480");
    std::vector<MSG> got = pumpUntil([](const std::vector<MSG>& m) { return m.back().message == WM_SIZE; });
    ASSERT_FALSE(got.empty());
    EXPECT_EQ(got.back().message, UINT(WM_SIZE));
    EXPECT_EQ(got.back().wParam, WPARAM(SIZE_RESTORED));
    EXPECT_EQ(LOWORD(got.back().lParam), 640);
    EXPECT_EQ(HIWORD(got.back().lParam), 480);
}

TEST_F(PlatformMessages, AReplacedWindowsKeysFollowTheFocusButNotItsOtherEvents) {
    // The full-screen switch: keys read for the old window still count (F
    // and Escape pressed together), its close and size events do not.
    LayerWindow window;
    Uint32 oldId = window.sdlId();
    ASSERT_TRUE(DestroyWindow(window.hWnd));
    window.hWnd = nullptr;
    LayerWindow next(WS_OVERLAPPEDWINDOW, "PlatformNextClass");
    pushWindowEvent(oldId, SDL_WINDOWEVENT_CLOSE);
    pushWindowEvent(oldId, SDL_WINDOWEVENT_SIZE_CHANGED, 10, 10);
    pushKey(oldId, SDL_KEYDOWN, SDLK_ESCAPE);
    pushKey(0, SDL_KEYDOWN, SDLK_l);  // sent to a window without the focus
    std::vector<MSG> got = takeAll();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].hwnd, next.hWnd);
    EXPECT_EQ(got[0].wParam, WPARAM(VK_ESCAPE));
    EXPECT_EQ(got[1].hwnd, next.hWnd);
    EXPECT_EQ(got[1].wParam, WPARAM('L'));
}

// A key typed through the X server: on a display of its own, where no
// other test process can take the keyboard focus, the window is given the
// focus, waited for, and then the key arrives.
TEST_F(PlatformMessages, RealKeyPressFromTheXServer) {
    if (runCommand("command -v xdotool").empty()) GTEST_SKIP() << "xdotool is not installed";
    const char* const marker = "OLVISTRA_KEY_PRESS_CHILD";
    const std::string name = "PlatformMessages.RealKeyPressFromTheXServer";
    if (!std::getenv(marker)) {
        PrivateDisplay display("1024x768x24");
        if (!display.started()) GTEST_SKIP() << "Xvfb is not installed";
        ASSERT_FALSE(display.number().empty()) << "Xvfb did not report its display";
        TempDir dir;
        ChildRun child = runOnDisplay(display, name, marker, dir);
        EXPECT_TRUE(childPassed(child, name)) << child.out << child.err;
        return;
    }
    LayerWindow window;
    ShowWindow(window.hWnd, SW_SHOW);
    auto focused = [](const std::vector<MSG>& m) {
        return m.back().message == WM_ACTIVATE && LOWORD(m.back().wParam) != WA_INACTIVE;
    };
    // The focus can be given only once the window is mapped: asked again
    // until it comes.
    bool active = false;
    for (int attempt = 0; attempt < 60 && !active; ++attempt) {
        SetFocus(window.hWnd);
        std::vector<MSG> got = pumpUntil(focused, 1.0);
        active = !got.empty() && focused(got);
    }
    ASSERT_TRUE(active) << "the window never got the keyboard focus";
    runCommand("xdotool key End");
    std::vector<MSG> got = pumpUntil([](const std::vector<MSG>& m) { return m.back().message == WM_KEYUP; });
    bool seen = false;
    for (const MSG& msg : got)
        if (msg.message == WM_KEYDOWN && msg.wParam == VK_END) seen = true;
    EXPECT_TRUE(seen) << "End pressed through XTEST never arrived as WM_KEYDOWN VK_END";
}
