// The one header through which the viewer reaches the operating system.
//
// On Windows it is the real <windows.h>. Everywhere else it declares the
// subset of Win32 the viewer calls, with the real names, A-forms, types,
// structure fields and constant values, implemented by platform/linux over
// SDL2 and POSIX. The app code is therefore the same text on both sides.
#pragma once

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <direct.h>
#else
#include "linux/win32_subset.h"
#endif

#include <pthread.h>

// Services of our own that both platforms provide (platform/<os>/...).

// Path conventions of the host: Windows paths (drive colons, backslashes)
// or POSIX paths (a leading '/' is absolute, '/' joins).
#ifdef _WIN32
constexpr bool platformUsesPosixPaths = false;
#else
constexpr bool platformUsesPosixPaths = true;
#endif

// Starts `program` (looked up like the shell would) with `argument` as its
// one and only argument, without a command processor in between, and waits
// for it to end. Returns false when it could not be started.
bool runProgramAndWait(const char* program, const char* argument);

// True when the path opens for reading as a file (fopen with "rb"), then
// closes it at once. A directory never counts, on any platform.
bool fileOpensForReading(const char* path);
