// The display's colour profile on Linux: the ICC profiles that colour
// managers (colord, GNOME's and KDE's colour settings, dispwin) publish on
// the X root window, which XWayland carries too: `_ICC_PROFILE` for the
// first monitor, `_ICC_PROFILE_<n>` for the n-th. Read first before the
// window opens, over a connection of its own that stays open while the
// viewer runs; a thread of ours watches the root window over a second one.
//
// Honoured:
//  - `_ICC_PROFILE` / `_ICC_PROFILE_<n>` of the default screen's root
//    window, in 8-bit format, up to maxDisplayProfileBytes; n is the
//    window's display index in SDL (its RandR order, primary first).
//  - Before the window opens, the first monitor's profile.
//  - A change of any of those properties: the watcher pushes an SDL event
//    that the message layer turns into WM_DISPLAYCHANGE, and the profile of
//    the window's monitor is read again.
//  - The window moved to another monitor (WM_MOVE): that monitor's profile.
// Not supported: monitors of further X screens, a Wayland session without
// XWayland (sRGB then).
#include <X11/Xlib.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <thread>

#include "platform/decode_transport.h"
#include "platform/display_profile.h"
#include "platform/linux/layer_state.h"

namespace {

const char* const profileProperty = "_ICC_PROFILE";

struct ProfileState {
    ::Display* connection = nullptr;  // the main thread's
    bool read = false;
    int monitor = 0;  // whose profile `bytes` is
    std::string bytes;
};

ProfileState& state() {
    static ProfileState held;
    return held;
}

std::string propertyName(int monitor) {
    return monitor == 0 ? profileProperty : std::string(profileProperty) + "_" + std::to_string(monitor);
}

std::string rootWindowProfile(::Display* connection, int monitor) {
    std::string bytes;
    Atom property = XInternAtom(connection, propertyName(monitor).c_str(), True);
    Atom type = None;
    int format = 0;
    unsigned long items = 0, left = 0;
    unsigned char* data = nullptr;
    if (property != None &&
        XGetWindowProperty(connection, DefaultRootWindow(connection), property, 0,
                           long(decode_transport::maxDisplayProfileBytes / 4), False, AnyPropertyType, &type, &format,
                           &items, &left, &data) == Success &&
        data && format == 8 && left == 0)
        bytes.assign(reinterpret_cast<const char*>(data), items);
    if (data) XFree(data);
    return bytes;
}

// True for `_ICC_PROFILE` and `_ICC_PROFILE_<n>`. Each atom's name is asked
// once: the root's other properties change often (the active window).
bool isProfileAtom(::Display* connection, Atom atom, std::map<Atom, bool>* known) {
    auto found = known->find(atom);
    if (found != known->end()) return found->second;
    char* name = XGetAtomName(connection, atom);
    size_t length = std::strlen(profileProperty);
    bool profile = name && std::strncmp(name, profileProperty, length) == 0 &&
                   (name[length] == '\0' || name[length] == '_');
    if (name) XFree(name);
    (*known)[atom] = profile;
    return profile;
}

// Runs for the viewer's life on a connection of its own, so the main
// thread's is never shared.
void watchRootWindow(::Display* connection) {
    XSelectInput(connection, DefaultRootWindow(connection), PropertyChangeMask);
    std::map<Atom, bool> known;
    for (;;) {
        XEvent event;
        XNextEvent(connection, &event);
        if (event.type != PropertyNotify || !isProfileAtom(connection, event.xproperty.atom, &known))
            continue;
        SDL_Event changed{};
        changed.type = olvlinux::displayProfileEventType();
        if (changed.type == 0) continue;
        // Fails before SDL's events are started; the window's first WM_MOVE
        // reads the profile again anyway.
        SDL_PushEvent(&changed);
    }
}

void readFirstProfile(ProfileState& held) {
    held.read = true;
    const char* name = std::getenv("DISPLAY");
    if (!name || !*name) return;
    XInitThreads();  // two threads with a connection each
    held.connection = XOpenDisplay(nullptr);
    if (!held.connection) return;
    // Left open: this is the viewer's first connection, made before SDL's,
    // and an X server with no client left starts afresh (Xvfb, and Xorg
    // without -noreset), which SDL's connection could then run into.
    held.bytes = rootWindowProfile(held.connection, 0);
    olvlinux::displayProfileEventType();  // registered before the watcher pushes one
    if (::Display* watched = XOpenDisplay(nullptr)) std::thread(watchRootWindow, watched).detach();
}

}  // namespace

namespace decode_transport {

const std::string& displayProfile() {
    ProfileState& held = state();
    if (!held.read) readFirstProfile(held);
    return held.bytes;
}

}  // namespace decode_transport

namespace olvlinux {

Uint32 displayProfileEventType() {
    static const Uint32 type = [] {
        Uint32 registered = SDL_RegisterEvents(1);
        return registered == Uint32(-1) ? Uint32(0) : registered;
    }();
    return type;
}

}  // namespace olvlinux

bool followDisplayProfile(HWND window, bool displaySettingsChanged) {
    decode_transport::displayProfile();
    ProfileState& held = state();
    olvlinux::Window* shown = olvlinux::findWindow(window);
    if (!held.connection || !shown) return false;
    int monitor = SDL_GetWindowDisplayIndex(shown->sdl);
    if (monitor < 0) monitor = 0;
    if (!displaySettingsChanged && monitor == held.monitor) return false;
    held.monitor = monitor;
    std::string bytes = rootWindowProfile(held.connection, monitor);
    if (bytes == held.bytes) return false;
    held.bytes = bytes;
    return true;
}
