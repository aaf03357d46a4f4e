// The display's colour profile on Windows: the ICC profile file that colour
// management associates with the monitor the viewer's window is on, read
// through GetICMProfile and handed to the decode helpers as bytes. First the
// primary monitor's (the window opens at the origin, there); read again
// when the window moves to another monitor (WM_MOVE) or the display
// settings change (WM_DISPLAYCHANGE). A profile changed in Colour
// Management alone sends no message: it counts from the next of those.
#include <cstdio>

#include "platform/decode_transport.h"
#include "platform/display_profile.h"
#include "platform/win32.h"

namespace {

std::string fileBytes(const wchar_t* path) {
    std::string bytes;
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return bytes;
    LARGE_INTEGER size = {};
    if (GetFileSizeEx(file, &size) && size.QuadPart > 0 &&
        uint64_t(size.QuadPart) <= decode_transport::maxDisplayProfileBytes) {
        bytes.resize(size_t(size.QuadPart));
        DWORD got = 0;
        if (!ReadFile(file, &bytes[0], DWORD(bytes.size()), &got, nullptr) || got != bytes.size()) bytes.clear();
    }
    CloseHandle(file);
    return bytes;
}

struct ProfileState {
    bool read = false;
    HMONITOR monitor = nullptr;  // whose profile `bytes` is
    std::string bytes;
};

ProfileState& state() {
    static ProfileState held;
    return held;
}

std::string monitorProfile(HMONITOR handle) {
    MONITORINFOEXW monitor = {};
    monitor.cbSize = sizeof monitor;
    if (!GetMonitorInfoW(handle, &monitor)) return std::string();
    HDC screen = CreateDCW(L"DISPLAY", monitor.szDevice, nullptr, nullptr);
    if (!screen) return std::string();
    wchar_t path[MAX_PATH + 1] = {};
    DWORD length = MAX_PATH;
    bool found = GetICMProfileW(screen, &length, path) != FALSE;
    DeleteDC(screen);
    return found ? fileBytes(path) : std::string();
}

}  // namespace

namespace decode_transport {

const std::string& displayProfile() {
    ProfileState& held = state();
    if (!held.read) {
        held.read = true;
        POINT origin = {0, 0};
        held.monitor = MonitorFromPoint(origin, MONITOR_DEFAULTTOPRIMARY);
        held.bytes = monitorProfile(held.monitor);
    }
    return held.bytes;
}

}  // namespace decode_transport

bool followDisplayProfile(HWND window, bool displaySettingsChanged) {
    decode_transport::displayProfile();
    ProfileState& held = state();
    HMONITOR monitor = MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST);
    if (!monitor || (!displaySettingsChanged && monitor == held.monitor)) return false;
    held.monitor = monitor;
    std::string bytes = monitorProfile(monitor);
    if (bytes == held.bytes) return false;
    held.bytes = bytes;
    return true;
}
