// The display's colour profile on Linux: the ICC profile that colour
// managers (colord, GNOME's and KDE's colour settings, dispwin) publish as
// the `_ICC_PROFILE` property of the X root window, which XWayland carries
// too. Read once, over a connection of its own, before the window opens.
// The connection stays open while the viewer runs (one socket).
//
// Honoured: `_ICC_PROFILE` of the default screen's root window (the first
// monitor's profile), in 8-bit format, up to maxDisplayProfileBytes.
// Not supported: `_ICC_PROFILE_<n>` of further monitors, a profile changed
// while the viewer runs, a Wayland session without XWayland (sRGB then).
#include <X11/Xlib.h>

#include <cstdlib>

#include "platform/decode_transport.h"

namespace {

std::string readRootWindowProfile() {
    std::string bytes;
    const char* name = std::getenv("DISPLAY");
    if (!name || !*name) return bytes;
    ::Display* connection = XOpenDisplay(nullptr);
    if (!connection) return bytes;
    Atom property = XInternAtom(connection, "_ICC_PROFILE", True);
    Atom type = None;
    int format = 0;
    unsigned long items = 0, left = 0;
    unsigned char* data = nullptr;
    if (property != None &&
        XGetWindowProperty(connection, DefaultRootWindow(connection), property, 0, long(decode_transport::maxDisplayProfileBytes / 4),
                           False, AnyPropertyType, &type, &format, &items, &left, &data) == Success &&
        data && format == 8 && left == 0)
        bytes.assign(reinterpret_cast<const char*>(data), items);
    if (data) XFree(data);
    // Left open: this is the viewer's first connection, made before SDL's,
    // and an X server with no client left starts afresh (Xvfb, and Xorg
    // without -noreset), which SDL's connection could then run into.
    return bytes;
}

}  // namespace

namespace decode_transport {

const std::string& displayProfile() {
    static const std::string bytes = readRootWindowProfile();
    return bytes;
}

}  // namespace decode_transport
