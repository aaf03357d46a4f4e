// Checked decoding of an image file into DevIL's bound image.
//
// DevIL 1.7.8 reports failure unreliably: a failed load can leave the
// previous image's size and pixels in place, fail with an empty error stack,
// or return true for a truncated file or an image whose data size overflowed
// 32 bits. decodeImage() accepts a decode only when every one of its checks
// passes, so no size or pixel of another image is ever taken for this one.
#pragma once

#include <cstdint>
#include <string>

#include "decoders/devil_limits.h"
#include "platform/services.h"

// Decodes the file into DevIL's bound image. When the decoder that the file
// name's extension chooses fails, tries once more with the type DevIL detects
// from the content (a PNG saved as .jpg), then with our own decoders for what
// DevIL cannot read (decoders/own_decoders.h). True only for a complete,
// consistent 2D image; after false the bound image holds nothing worth showing.
bool decodeImage(const std::string& path);

// The decoder the decode helper program serves the viewer with: DevIL, then
// our own decoders.
HelperDecoder devilHelperDecoder();
