// The EXIF Orientation tag of JPEG files, read with libexif inside the decode
// helper, so that a malformed EXIF block can only hurt the helper.
#pragma once

#include "platform/services.h"

// The Orientation tag (1 to 8, see util/orientation.h) of a file whose name
// ends in .jpg, .jpe or .jpeg (in any case); 1 for other files and for a
// missing, damaged or unknown tag.
int jpegOrientation(const HandedFile& file);
