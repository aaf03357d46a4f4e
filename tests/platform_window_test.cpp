// Window classes, windows, icon and cursor of the Linux Win32 layer, checked
// against what the X server really shows.
#include <cstring>

#include "platform_test_support.h"

#include "platform/linux/icon_file.h"

extern const unsigned char olvistraIconData[];
extern const std::size_t olvistraIconSize;

using namespace platform_test;

namespace {

LRESULT CALLBACK otherProc(HWND, UINT, WPARAM, LPARAM) { return 0; }

WNDCLASSA classNamed(const char* name, WNDPROC proc = recordingProc) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = name;
    return wc;
}

}  // namespace

class PlatformWindowClass : public PlatformDisplayTest {};

TEST_F(PlatformWindowClass, RegistrationFollowsTheWin32Rules) {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA wc = classNamed("PlatformRulesClass");
    ASSERT_NE(RegisterClassA(&wc), 0);

    // The same name again, in any letter case, is refused.
    WNDCLASSA again = classNamed("platformrulesCLASS", otherProc);
    EXPECT_EQ(RegisterClassA(&again), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_CLASS_ALREADY_EXISTS));

    // A class with a window cannot go; without one it can, and only once.
    HWND hWnd = CreateWindowExA(0, "PlatformRulesClass", "rules", WS_OVERLAPPEDWINDOW, 0, 0, 64, 64, nullptr,
                                nullptr, instance, nullptr);
    ASSERT_NE(hWnd, nullptr);
    EXPECT_FALSE(UnregisterClassA("PlatformRulesClass", instance));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_CLASS_HAS_WINDOWS));
    ASSERT_TRUE(DestroyWindow(hWnd));
    EXPECT_FALSE(UnregisterClassA("PlatformRulesClass", nullptr)) << "another module's class of that name";
    EXPECT_TRUE(UnregisterClassA("PlatformRulesClass", instance));
    EXPECT_FALSE(UnregisterClassA("PlatformRulesClass", instance));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_CLASS_DOES_NOT_EXIST));
    EXPECT_FALSE(UnregisterClassA("NeverRegistered", instance));

    // Registered again, the class takes its new procedure.
    WNDCLASSA renewed = classNamed("PlatformRulesClass", otherProc);
    ASSERT_NE(RegisterClassA(&renewed), 0);
    hWnd = CreateWindowExA(0, "PlatformRulesClass", "rules", WS_OVERLAPPEDWINDOW, 0, 0, 64, 64, nullptr, nullptr,
                           instance, nullptr);
    ASSERT_NE(hWnd, nullptr);
    MSG msg{hWnd, WM_KEYDOWN, 'L', 0, 0, {0, 0}};
    DispatchMessageA(&msg);
    EXPECT_TRUE(received().empty()) << "the old procedure was called";
    DestroyWindow(hWnd);
    EXPECT_TRUE(UnregisterClassA("PlatformRulesClass", instance));
}

TEST_F(PlatformWindowClass, WindowsNeedARegisteredClassAndDieOnce) {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    EXPECT_EQ(CreateWindowExA(0, "NoSuchClass", "x", WS_OVERLAPPEDWINDOW, 0, 0, 64, 64, nullptr, nullptr, instance,
                              nullptr),
              nullptr);
    LayerWindow window;
    ASSERT_NE(window.hWnd, nullptr);
    HWND stale = window.hWnd;
    EXPECT_TRUE(DestroyWindow(stale));
    window.hWnd = nullptr;
    EXPECT_FALSE(DestroyWindow(stale));
    EXPECT_EQ(GetDC(stale), nullptr);

    // A handle is never handed out twice, so the stale one stays dead.
    LayerWindow next;
    EXPECT_NE(next.hWnd, stale);
    EXPECT_FALSE(DestroyWindow(stale));
}

class PlatformWindow : public PlatformDisplayTest {};

TEST_F(PlatformWindow, OpensHiddenThenShowsA1024x768ClientAtTheOrigin) {
    RECT rect{0, 0, 1024, 768};
    ASSERT_TRUE(AdjustWindowRectEx(&rect, WS_OVERLAPPEDWINDOW, FALSE, WS_EX_APPWINDOW | WS_EX_WINDOWEDGE));
    ASSERT_EQ(rect.right - rect.left, 1024) << "the size given to CreateWindowExA is the client size";
    ASSERT_EQ(rect.bottom - rect.top, 768);

    LayerWindow window;
    ASSERT_NE(window.hWnd, nullptr);
    EXPECT_FALSE(xGeometryOf(window.caption).found) << "the window must start hidden";

    EXPECT_FALSE(ShowWindow(window.hWnd, SW_SHOW)) << "was hidden before";
    SetForegroundWindow(window.hWnd);
    SetFocus(window.hWnd);
    XGeometry shown = xGeometryOf(window.caption);
    ASSERT_TRUE(shown.found) << "no visible X window titled " << window.caption;
    EXPECT_EQ(shown.width, 1024);
    EXPECT_EQ(shown.height, 768);
    EXPECT_EQ(shown.x, 0);
    EXPECT_EQ(shown.y, 0);
    EXPECT_TRUE(SDL_GetWindowFlags(window.sdl()) & SDL_WINDOW_RESIZABLE) << "WS_OVERLAPPEDWINDOW can be resized";

    EXPECT_TRUE(ShowWindow(window.hWnd, SW_HIDE));
    EXPECT_FALSE(xGeometryOf(window.caption).found);
}

TEST_F(PlatformWindow, ShowCursorKeepsTheWin32DisplayCount) {
    EXPECT_EQ(ShowCursor(FALSE), -1);
    EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_DISABLE);
    EXPECT_EQ(ShowCursor(FALSE), -2);
    EXPECT_EQ(ShowCursor(TRUE), -1);
    EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_DISABLE) << "hidden until the count is back to 0";
    EXPECT_EQ(ShowCursor(TRUE), 0);
    EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_ENABLE);
}

TEST_F(PlatformWindow, ApplicationIconIsResource107OfTheProgram) {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    HICON icon = LoadIconA(instance, MAKEINTRESOURCEA(107));
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(LoadIconA(instance, MAKEINTRESOURCEA(108)), nullptr);
    EXPECT_EQ(LoadIconA(nullptr, MAKEINTRESOURCEA(107)), nullptr) << "not a system icon";
    EXPECT_NE(LoadCursorA(nullptr, IDC_ARROW), nullptr);

    // The class icon becomes the X window's _NET_WM_ICON.
    WNDCLASSA wc = classNamed("PlatformIconClass");
    wc.hIcon = icon;
    ASSERT_NE(RegisterClassA(&wc), 0);
    std::string caption = uniqueCaption("icon");
    HWND hWnd = CreateWindowExA(0, "PlatformIconClass", caption.c_str(), WS_OVERLAPPEDWINDOW, 0, 0, 64, 64,
                                nullptr, nullptr, instance, nullptr);
    ASSERT_NE(hWnd, nullptr);
    ShowWindow(hWnd, SW_SHOW);
    std::string id = findXWindow(caption);
    ASSERT_FALSE(id.empty());
    std::string property = runCommand("xprop -id " + id + " _NET_WM_ICON 2>/dev/null");
    DestroyWindow(hWnd);
    UnregisterClassA("PlatformIconClass", instance);
    if (property.empty()) GTEST_SKIP() << "xprop is not installed";
    EXPECT_NE(property.find("Icon (128 x 128)"), std::string::npos) << property.substr(0, 200);
}

class PlatformIcon : public ::testing::Test {};

TEST_F(PlatformIcon, DecodesTheLargestBitmapOfTheEmbeddedIconTopRowFirst) {
    olvlinux::IconImage image;
    ASSERT_TRUE(olvlinux::decodeIcon(olvistraIconData, olvistraIconSize, image));
    // The 256-pixel image is a PNG; the largest bitmap is 128 pixels.
    EXPECT_EQ(image.width, 128);
    EXPECT_EQ(image.height, 128);
    // The frame's dark blue, opaque, at the middle of the bottom edge; the
    // rows are stored bottom-up.
    EXPECT_EQ(image.argb[116 * 128 + 64], 0xFF283CA0u);
}

namespace {

// A one-image .ico of w x h pixels at `bits` per pixel, with the given
// colour rows (bottom-up, already padded) and AND mask rows.
std::vector<unsigned char> makeIco(int w, int h, int bits, const std::vector<unsigned char>& pixels,
                                   const std::vector<unsigned char>& mask) {
    std::vector<unsigned char> out;
    auto put16 = [&](unsigned v) { out.push_back(v & 0xFF), out.push_back((v >> 8) & 0xFF); };
    auto put32 = [&](unsigned v) { put16(v & 0xFFFF), put16(v >> 16); };
    put16(0), put16(1), put16(1);
    out.push_back(static_cast<unsigned char>(w)), out.push_back(static_cast<unsigned char>(h));
    out.push_back(0), out.push_back(0), put16(1), put16(bits);
    put32(static_cast<unsigned>(40 + pixels.size() + mask.size())), put32(22);
    put32(40), put32(w), put32(2 * h), put16(1), put16(bits), put32(0), put32(0), put32(0), put32(0), put32(0),
        put32(0);
    out.insert(out.end(), pixels.begin(), pixels.end());
    out.insert(out.end(), mask.begin(), mask.end());
    return out;
}

}  // namespace

TEST_F(PlatformIcon, WithoutAlphaTheMaskDecidesTransparency) {
    // 2 x 2 at 24 bits: rows padded to 8 bytes; bottom row first.
    std::vector<unsigned char> pixels = {
        1, 2, 3, 4, 5, 6, 0, 0,     // bottom row
        7, 8, 9, 10, 11, 12, 0, 0,  // top row
    };
    std::vector<unsigned char> mask = {0x40, 0, 0, 0, 0x80, 0, 0, 0};  // bottom-right, top-left clear
    std::vector<unsigned char> ico = makeIco(2, 2, 24, pixels, mask);
    olvlinux::IconImage image;
    ASSERT_TRUE(olvlinux::decodeIcon(ico.data(), ico.size(), image));
    EXPECT_EQ(image.argb[0], 0x00090807u) << "top-left is masked out";
    EXPECT_EQ(image.argb[1], 0xFF0C0B0Au);
    EXPECT_EQ(image.argb[2], 0xFF030201u);
    EXPECT_EQ(image.argb[3], 0x00060504u) << "bottom-right is masked out";
}

TEST_F(PlatformIcon, RefusesDamagedOrForeignData) {
    olvlinux::IconImage image;
    std::vector<unsigned char> good(olvistraIconData, olvistraIconData + olvistraIconSize);
    EXPECT_FALSE(olvlinux::decodeIcon(good.data(), 100, image)) << "cut short";
    std::vector<unsigned char> cursor = good;
    cursor[2] = 2;  // a .cur file
    EXPECT_FALSE(olvlinux::decodeIcon(cursor.data(), cursor.size(), image));
    std::vector<unsigned char> onlyPng = makeIco(1, 1, 32, {1, 2, 3, 4}, {0, 0, 0, 0});
    std::memcpy(&onlyPng[22], "\x89PNG\r\n\x1a\n", 8);
    EXPECT_FALSE(olvlinux::decodeIcon(onlyPng.data(), onlyPng.size(), image)) << "PNG images are not understood";
    std::vector<unsigned char> wild = makeIco(1, 1, 32, {1, 2, 3, 4}, {0, 0, 0, 0});
    wild[18] = 0xFF, wild[19] = 0xFF, wild[20] = 0xFF, wild[21] = 0x7F;  // offset far past the end
    EXPECT_FALSE(olvlinux::decodeIcon(wild.data(), wild.size(), image));
}
