// Small text operations on paths, names and numbers. Every function takes
// its arguments by value, returns a new value and keeps no state.
#pragma once

#include <string>

// Replaces every non-overlapping occurrence of `search`, left to right.
// An empty `search` leaves `source` unchanged.
std::string replaceAll(std::string source, std::string search, std::string replacement);

// ASCII A-Z to a-z; every other byte (also above 127) unchanged, no locale.
std::string toLower(std::string text);

// The text after the last '.', lower-cased; the whole text when it has none.
std::string extensionOf(std::string name);

// The path up to and including its last '/' or '\', or ".\" when it has none.
std::string dirnameOf(std::string path);

// True when ':' occurs anywhere in the path.
bool hasDriveColon(std::string path);

// Decimal text of the value, as "%d" writes it.
std::string intToString(int value);
