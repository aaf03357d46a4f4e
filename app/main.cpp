// The entry point: start-up settings, then the viewer.
#include <string>

#include "app/main_loop.h"
#include "app/startup.h"
#include "platform/win32.h"
#include "render/gl_window.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR lpCmdLine, int) {
    if (!loadInstallDir()) return 0;
    // The working directory is read before moving to the install directory,
    // so relative start paths resolve against where the viewer was started.
    std::string startPath = startPathFrom(hostPathStyle(), lpCmdLine, currentWorkingDir());
    _chdir(installDir);
    fullscreen = false;
    return runViewer(startPath, "Olvistra - " + startPath);
}
