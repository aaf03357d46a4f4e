// The one header through which the viewer reaches the operating system.
//
// On Windows it is the real <windows.h>. Everywhere else it declares the
// subset of Win32 the viewer calls, with the real names, A-forms, types,
// structure fields and constant values, implemented by platform/linux over
// SDL2 and POSIX. The app code is therefore the same text on both sides.
// The services of the project's own that both platforms provide are in
// platform/services.h.
#pragma once

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <direct.h>
#include <imm.h>
#else
#include "linux/win32_subset.h"
#endif

#include <pthread.h>
