// Where the decoders read a picture's bytes, and those of the files beside it
// (util/picture_companions.h). In the decode helper these are only the files
// the viewer opened and handed it for the job in hand: the helper opens no
// file itself, and after its lockdown could not. Elsewhere (tests, tools)
// they are read from disk. DevIL reads through here too (useHandedFilesInDevil).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/services.h"

// While one lives, files are looked up by name among `files` only, never on
// disk. The files must outlive it.
class HandedPictureFiles {
public:
    explicit HandedPictureFiles(const std::vector<HandedFile>& files);
    ~HandedPictureFiles();
    HandedPictureFiles(const HandedPictureFiles&) = delete;
    HandedPictureFiles& operator=(const HandedPictureFiles&) = delete;
};

// The bytes of the file at `path`; null when it is not there, or not one of
// the files handed. A file read from disk is refused beyond the size a
// handed one may have (decodeMaxHandedFileBytes).
std::shared_ptr<const std::string_view> pictureFileBytes(const std::string& path);

// Makes DevIL's file reads (ilLoadImage, ilLoad, ilDetermineType) read
// through pictureFileBytes.
void useHandedFilesInDevil();
