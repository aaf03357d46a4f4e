// The state the Linux window, GL context, display and message files share,
// and the look-ups they all make in it (layer_state.h): one file that the
// others call and that calls none of them.
//
// Honoured: SDL's video subsystem is started on first use, by whichever
// call needs a display first; a display SDL cannot reach, or one whose
// only drivers show nothing (offscreen, dummy), is a failure.
// Not supported: stopping the video subsystem again (it lives as long as
// the process).
#include <time.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/linux/layer_state.h"

namespace olvlinux {

LayerState& layer() {
    // Never destroyed: SDL objects must not be torn down by static destructors.
    static LayerState* state = new LayerState;
    return *state;
}

namespace {

const int videoStartAttempts = 5;
const Uint32 videoRetryDelayMs = 200;

bool showsWindows(const char* driver) {
    return driver && std::strcmp(driver, "offscreen") != 0 && std::strcmp(driver, "dummy") != 0;
}

}  // namespace

bool ensureVideo() {
    if (SDL_WasInit(SDL_INIT_VIDEO)) return true;
    // Ctrl+C and SIGTERM keep their default effect instead of becoming
    // SDL_QUIT events, which the layer ignores (only WM_CLOSE ends the loop).
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    // The screen saver is held off only while the viewer is in front
    // (messages.cpp), as the Windows viewer refuses SC_SCREENSAVE there.
    SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
    // A full-screen window stays up when a message box takes the focus.
    SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
    // When SDL cannot reach the display it quietly settles for a driver whose
    // windows nobody sees (offscreen, dummy): the viewer would then run on
    // unseen. Only a driver that shows windows counts. The X server has been
    // seen to turn a new client away for a moment right after another one
    // was killed, so a refusal is tried again for a short while.
    std::string refusal;
    for (int attempt = 0; attempt < videoStartAttempts; ++attempt) {
        if (attempt > 0) SDL_Delay(videoRetryDelayMs);
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
            refusal = SDL_GetError();
            continue;
        }
        const char* driver = SDL_GetCurrentVideoDriver();
        if (showsWindows(driver)) {
            SDL_StopTextInput();  // no WM_CHAR is made, so no text events are needed
            if (attempt > 0) std::fprintf(stderr, "olvistra: display reached at attempt %d\n", attempt + 1);
            return true;
        }
        refusal = std::string("no display, only the ") + (driver ? driver : "?") + " video driver";
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }
    std::fprintf(stderr, "olvistra: cannot show windows: %s\n", refusal.c_str());
    return false;
}

std::uint64_t nowNs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::uint64_t>(ts.tv_sec) * 1000000000u + static_cast<std::uint64_t>(ts.tv_nsec);
}

Window* findWindow(HWND hWnd) {
    auto& windows = layer().windows;
    auto it = windows.find(hWnd);
    return it == windows.end() ? nullptr : it->second.get();
}

Window* findWindowBySdlId(Uint32 id) {
    if (id == 0) return nullptr;
    for (auto& entry : layer().windows)
        if (entry.second->sdlId == id) return entry.second.get();
    return nullptr;
}

Window* findWindowByDc(HDC hdc) {
    auto it = layer().deviceContexts.find(hdc);
    return it == layer().deviceContexts.end() ? nullptr : it->second;
}

}  // namespace olvlinux
