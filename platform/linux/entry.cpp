// The process entry point. A message box's child is this executable started
// again, and becomes the box at once; otherwise main hands WinMain the
// command-line text Windows would, the arguments after the program name
// joined with single blanks, so an unquoted path with blanks arrives whole.
#include <string>

#include "platform/linux/messagebox.h"
#include "platform/win32.h"

int main(int argc, char** argv) {
    if (startedAsMessageBoxChild(argc, argv)) runMessageBoxChild(argc, argv);
    std::string commandLine;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) commandLine += ' ';
        commandLine += argv[i];
    }
    return WinMain(GetModuleHandleA(nullptr), nullptr, &commandLine[0], 1);
}
