// The entry point: start-up settings, then the viewer.
#include <string>

#include "app/startup.h"
#include "platform/win32.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR lpCmdLine, int) {
    if (!loadInstallDir()) return 0;
    std::string startPath = startPathFrom(hostPathStyle(), lpCmdLine, currentWorkingDir());
    _chdir(installDir);
    std::string title = "Olvistra - " + startPath;
    (void)title;
    return 0;
}
