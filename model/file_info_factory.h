// Which names of a folder make entries, and of which kind: an image entry
// for a name with an image extension, a directory entry for a readable
// folder, nothing for the rest (names shorter than 5 bytes, hidden names,
// other files). isImageName and firstImageIn apply the same rules without
// making an entry, for the start file and the first picture shown ahead of
// the whole list.
#pragma once

#include <string>

#include "model/file_info.h"

// True when the factory makes an image entry of this path: a name of 5
// bytes or more, not beginning with '.', with one of the image extensions.
bool isImageName(const std::string& fullPath);

// The path of the first entry a list of `dir` (ending in a separator) would
// hold, when that entry is an image; empty when it is a folder, when there
// is none, or when the folder cannot be read. Never raises.
std::string firstImageIn(const std::string& dir);

// Classifies a full path into an image entry, a directory entry or nothing.
class FileInfoFactory {
public:
    // A new entry owned by the caller, or null. May raise "can not read file".
    FileInfo* create(std::string fullPath);

    // The one factory, made on first use and never destroyed.
    static FileInfoFactory* instance();
};
