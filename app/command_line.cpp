#include "app/command_line.h"

#include "util/text.h"

CommandLineRequest commandLineRequest(const char* commandLine) {
    if (!commandLine) return CommandLineRequest::view;
    std::string text = replaceAll(commandLine, "\"", "");
    if (text == "--help" || text == "-h") return CommandLineRequest::help;
    if (text == "--version" || text == "-V") return CommandLineRequest::version;
    return CommandLineRequest::view;
}

const char* usageText() {
    return "Usage: olvistra [PATH]\n"
           "Shows the pictures and folders of a folder one at a time. PATH is a picture (its\n"
           "folder is listed and the picture shown first) or a folder. Everything after the\n"
           "program name is the one path, blanks included; double quotes are removed.\n"
           "A file really named --help, -h, --version or -V is opened as ./--help.\n"
           "\n"
           "  -h, --help     show this text and end\n"
           "  -V, --version  show the version and end\n"
           "\n"
           "Keys:\n"
           "  L, Right, Page Down  next entry\n"
           "  J, Left, Page Up     previous entry\n"
           "  Home, End            first, last entry\n"
           "  R, F5                reload the picture from disk\n"
           "  E                    open the picture in the paint program (mspaint)\n"
           "  I                    info box: path, folder, size, aspect ratio\n"
           "  F1                   help box\n"
           "  F                    switch between window and full screen\n"
           "  Escape               quit\n"
           "\n"
           "Environment:\n"
           "  OLVISTRA_TRACE=1     write where the time of each shown picture goes to\n"
           "                       standard error\n"
           "  OLVISTRA_REGISTRY=FILE\n"
           "                       read the install directory from FILE instead of the\n"
           "                       installed registry file (Linux)\n"
           "  OLVISTRA_DIALOG_ANSWER=yes|no\n"
           "                       answer every message box at once without showing it\n"
           "                       (Linux)\n";
}

std::string versionText() { return std::string("olvistra ") + OLVISTRA_VERSION + "\n"; }
