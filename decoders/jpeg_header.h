// What a JPEG's headers say before any pixel is decoded.
#pragma once

#include <string>

// The number of colour components of the file's first frame (1 grey, 3
// YCbCr or RGB, 4 CMYK or YCCK), or 0 when the file is no JPEG or its
// headers end before the frame header.
int jpegComponentCount(const std::string& path);
