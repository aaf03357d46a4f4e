// The display's colour profile while the viewer runs. Every decode helper
// is started with the profile in force (platform/decode_transport.h), so a
// new one means new helpers and pictures decoded again. Implemented by
// platform/linux/display_profile.cpp and platform/windows/display_profile.cpp.
#pragma once

#include "platform/win32.h"

// Called for WM_MOVE and WM_DISPLAYCHANGE. Reads the profile of the monitor
// the window is on when the window has moved to another monitor, or always
// when `displaySettingsChanged` (WM_DISPLAYCHANGE: the display's settings or
// its published profile changed). True when the profile in force is now
// another one; the caller then has pictures decoded again.
bool followDisplayProfile(HWND window, bool displaySettingsChanged);
