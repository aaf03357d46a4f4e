// The two requests the viewer answers without opening a window: --help (-h)
// and --version (-V). Any other command line is one path, as always; a file
// really named like an option is reached as ./--help.
#pragma once

#include <string>

enum class CommandLineRequest { view, help, version };

// What the command-line text asks for. Only the whole text counts, after the
// double quotes are removed as they are from a path.
CommandLineRequest commandLineRequest(const char* commandLine);

// The usage line, the keys and the environment variables.
const char* usageText();

// "olvistra " and the version number.
std::string versionText();
