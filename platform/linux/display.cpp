// Display modes over SDL2.
//
// SDL changes the video mode of a display only for a full-screen window, so
// ChangeDisplaySettingsA records the mode it grants, and CreateWindowExA
// makes a WS_POPUP window of that size full-screen in it (SDL switches the
// display then, and back to the desktop mode when the window goes).
//
// Honoured:
//  - a DEVMODEA record: dmPelsWidth, dmPelsHeight, dmBitsPerPel and
//    dmDisplayFrequency, each only when named in dmFields, are matched
//    against the modes the first display lists; DISP_CHANGE_BADMODE when
//    none fits. 32 bits per pixel is a 24-bit colour mode stored in 32-bit
//    pixels as well as a true 32-bit one. CDS_FULLSCREEN and flags 0 are
//    treated alike (nothing is ever stored).
//  - no record: back to the desktop mode; full-screen windows become
//    ordinary borderless windows. Always DISP_CHANGE_SUCCESSFUL.
// Not supported: other displays (dmDeviceName), CDS_TEST and the other
// flags, orientation and panning fields.
#include <vector>

#include "platform/linux/layer_state.h"
#include "platform/testing.h"

using namespace olvlinux;

namespace {

bool depthMatches(const DisplayModeInfo& mode, int requestedBits) {
    if (mode.bitsPerPixel == requestedBits) return true;
    return requestedBits == 32 && mode.bitsPerPixel == 24 && mode.bytesPerPixel == 4;
}

DisplayModeInfo infoOf(const SDL_DisplayMode& mode) {
    return {mode.w, mode.h, static_cast<int>(SDL_BITSPERPIXEL(mode.format)),
            static_cast<int>(SDL_BYTESPERPIXEL(mode.format)), mode.refresh_rate};
}

void leaveFullscreenWindows() {
    for (auto& entry : layer().windows) {
        SDL_Window* window = entry.second->sdl;
        if (SDL_GetWindowFlags(window) & SDL_WINDOW_FULLSCREEN) SDL_SetWindowFullscreen(window, 0);
    }
}

}  // namespace

namespace olvlinux {

int findDisplayMode(const std::vector<DisplayModeInfo>& modes, const DisplayModeInfo& desktop,
                    const DEVMODEA& request) {
    int width = (request.dmFields & DM_PELSWIDTH) ? static_cast<int>(request.dmPelsWidth) : desktop.width;
    int height = (request.dmFields & DM_PELSHEIGHT) ? static_cast<int>(request.dmPelsHeight) : desktop.height;
    bool anyDepth = !(request.dmFields & DM_BITSPERPEL);
    bool anyRate = !(request.dmFields & DM_DISPLAYFREQUENCY) || request.dmDisplayFrequency <= 1;
    for (std::size_t i = 0; i < modes.size(); ++i) {
        const DisplayModeInfo& mode = modes[i];
        if (mode.width != width || mode.height != height) continue;
        if (!anyDepth && !depthMatches(mode, static_cast<int>(request.dmBitsPerPel))) continue;
        if (!anyRate && mode.refreshRate != 0 && mode.refreshRate != static_cast<int>(request.dmDisplayFrequency))
            continue;
        return static_cast<int>(i);
    }
    return -1;
}

}  // namespace olvlinux

int GetSystemMetrics(int nIndex) {
    if ((nIndex != SM_CXSCREEN && nIndex != SM_CYSCREEN) || !ensureVideo()) return 0;
    SDL_DisplayMode mode;
    if (SDL_GetCurrentDisplayMode(0, &mode) != 0) return 0;
    return nIndex == SM_CXSCREEN ? mode.w : mode.h;
}

LONG ChangeDisplaySettingsA(DEVMODEA* lpDevMode, DWORD) {
    LayerState& state = layer();
    if (!lpDevMode) {
        if (state.fullscreenModeInForce) leaveFullscreenWindows();
        state.fullscreenModeInForce = false;
        return DISP_CHANGE_SUCCESSFUL;
    }
    if (platformCallFails(PlatformCall::ChangeDisplaySettingsA)) return DISP_CHANGE_BADMODE;
    if (!ensureVideo()) return DISP_CHANGE_FAILED;

    SDL_DisplayMode desktop{};
    if (SDL_GetDesktopDisplayMode(0, &desktop) != 0) return DISP_CHANGE_FAILED;
    std::vector<SDL_DisplayMode> sdlModes;
    std::vector<DisplayModeInfo> modes;
    int count = SDL_GetNumDisplayModes(0);
    for (int i = 0; i < count; ++i) {
        SDL_DisplayMode mode{};
        if (SDL_GetDisplayMode(0, i, &mode) != 0) continue;
        sdlModes.push_back(mode);
        modes.push_back(infoOf(mode));
    }
    int found = findDisplayMode(modes, infoOf(desktop), *lpDevMode);
    if (found < 0) return DISP_CHANGE_BADMODE;
    state.fullscreenMode = sdlModes[found];
    state.fullscreenModeInForce = true;
    return DISP_CHANGE_SUCCESSFUL;
}
