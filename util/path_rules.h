// The few places where Windows and POSIX paths differ, as plain functions
// that take the convention as an argument, so both rules can be tested on
// either host. The app passes hostPathStyle() (app/startup.h).
#pragma once

#include <string>

enum class PathStyle { windows, posix };

// The path shown when the command line names none: the root of the system.
std::string defaultStartPath(PathStyle style);

// Windows: a ':' anywhere makes a path absolute, and so do two leading
// separators (a network path, \\server\share\..., or a \\?\ or \\.\ path).
// POSIX: a leading '/'.
bool isAbsolutePath(PathStyle style, const std::string& path);

// True when two paths spelt alike by the file system name the same entry:
// on Windows, whose names are blind to letter case, with ASCII letters of
// either case and either separator alike; on POSIX, byte for byte.
bool samePathSpelling(PathStyle style, const std::string& a, const std::string& b);

// The working directory and a relative path joined by the style's separator,
// which is not doubled when the directory already ends in a separator.
std::string joinToWorkingDir(PathStyle style, const std::string& workingDir, const std::string& relative);

// The separator appended to a directory path that lacks one.
char directorySeparator(PathStyle style);
