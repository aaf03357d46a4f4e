// Failure injection for tests: makes chosen platform calls fail, so that every
// failure path of the window lifecycle, and a folder that cannot be listed,
// can be exercised on a real display.
// Only the test build compiles this in (OLVISTRA_TEST_HOOKS); nothing that
// users run can reach it.
#pragma once

enum class PlatformCall {
    RegisterClassA,
    UnregisterClassA,
    CreateWindowExA,
    DestroyWindow,
    GetDC,
    ReleaseDC,
    ChoosePixelFormat,
    SetPixelFormat,
    wglCreateContext,
    wglMakeCurrent,         // making a context current
    wglMakeCurrentRelease,  // making no context current (both arguments none)
    wglDeleteContext,
    ChangeDisplaySettingsA,  // the switch into a full-screen mode
    FindFirstFileA,          // listing a folder, as when it is taken away
    Count
};

// Makes every later call of `call` fail until cleared.
void platformSetCallFails(PlatformCall call, bool fails);
void platformClearCallFailures();

// Answered inside the layer before each injectable call.
#ifdef OLVISTRA_TEST_HOOKS
bool platformCallFails(PlatformCall call);
#else
inline bool platformCallFails(PlatformCall) { return false; }
#endif

// The decode helper's process id, or 0 when none runs.
long decodeHelperId();
// Replaces the decode time limit (0 restores the one each file earns).
void setDecodeTimeLimitForTests(unsigned ms);
