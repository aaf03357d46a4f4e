// The display's colour profile on Windows: the ICC profile file that colour
// management associates with the monitor the viewer's window opens on (the
// window opens at the origin, on the primary monitor), read once through
// GetICMProfile and handed to the decode helper as bytes.
#include <cstdio>

#include "platform/decode_transport.h"
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

std::string monitorProfile() {
    POINT origin = {0, 0};
    MONITORINFOEXW monitor = {};
    monitor.cbSize = sizeof monitor;
    if (!GetMonitorInfoW(MonitorFromPoint(origin, MONITOR_DEFAULTTOPRIMARY), &monitor)) return std::string();
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
    static const std::string bytes = monitorProfile();
    return bytes;
}

}  // namespace decode_transport
