// Lists the names in one directory. The constructor reads the whole
// directory through the find functions and closes the search before it
// returns; readdir() then hands the stored names out one at a time.
//
// Failures are raised as the text itself (a std::string):
// "Handdir::opendir -> FindFirstFile" when the directory cannot be listed,
// "Handdir::opendir -> FindNextFile" when the enumeration ends in an error.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "model/array.h"

class Handdir {
public:
    Array<std::string> names;  // in the order the system returned them
    uint32_t cursor;           // index of the next name readdir() returns
    std::string pattern;       // directory with backslashes, then "\*"

    explicit Handdir(std::string path);
    Handdir(const Handdir&) = delete;
    Handdir& operator=(const Handdir&) = delete;

    bool opendir(std::string path);

    // The next name, or the empty text when all have been handed out.
    std::string readdir();
};

// Hands the directory's names to `visit` in the order the system returns
// them until it returns false, so a caller after the first few names does
// not read the rest. False when the directory cannot be listed. Never raises
// on its own account.
bool visitNames(const std::string& path, const std::function<bool(const std::string&)>& visit);

// True when the path lists as a directory with at least one name. Never raises.
bool isReadableDir(std::string path);
