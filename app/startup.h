// Start-up settings: the install directory from the registry and the
// absolute start path from the command line.
#pragma once

#include <string>

#include "util/path_rules.h"

// The path convention of the platform the viewer runs on.
PathStyle hostPathStyle();

// The install directory read from the registry; "D:\\" until then.
extern char installDir[260];

// Reads installDir from the registry. When the key is missing, tells the user
// and answers false: the program then ends with exit status 0. A value that
// does not fit the buffer with its terminating zero, or is not text, leaves
// the default.
bool loadInstallDir();

// The whole current working directory, however long.
std::string currentWorkingDir();

// The command-line text turned into the start path: the default root when it
// is empty, every double quote removed, a relative path joined to workingDir.
std::string startPathFrom(PathStyle style, const char* commandLine, const std::string& workingDir);
