// The entry point: start-up settings, then the viewer.
#include <string>

#include "app/command_line.h"
#include "app/main_loop.h"
#include "app/startup.h"
#include "platform/services.h"
#include "platform/win32.h"
#include "render/gl_window.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR lpCmdLine, int) {
    // Asked before anything else, so they are answered without settings.
    switch (commandLineRequest(lpCmdLine)) {
        case CommandLineRequest::help: return showCommandLineAnswer(usageText()) ? 0 : 1;
        case CommandLineRequest::version: return showCommandLineAnswer(versionText().c_str()) ? 0 : 1;
        case CommandLineRequest::view: break;
    }
    if (!loadInstallDir()) return 0;
    // The working directory is read before moving to the install directory,
    // so relative start paths resolve against where the viewer was started.
    std::string startPath = startPathFrom(hostPathStyle(), lpCmdLine, currentWorkingDir());
    _chdir(installDir);
    return runViewer(startPath, "Olvistra - " + startPath);
}
