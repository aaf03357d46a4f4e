// Decoders of our own for the pictures DevIL cannot read, or reads wrongly.
//
// DevIL stays the first decoder: these run only where it refused a file
// (BMP v4/v5 headers, JPEG 2000, OpenEXR, RAW), where it took a CMYK or YCCK
// JPEG for RGBA, and in place of its DCX and Dr. Halo CUT readers, which
// write past their buffers on ordinary files and never give a picture. Each
// leaves its picture in DevIL's bound image, so the rest of the decode path
// (checks, shrinking, turning, copying out) is the same for every format.
#pragma once

#include <string>

// False for the files whose DevIL reader must not run (DCX and CUT, by
// content or by extension).
bool devilMayRead(const std::string& path);

// True when DevIL decoded the file but its colours are wrong and a decoder
// of ours can do better: a four-channel JPEG (CMYK or YCCK) taken as RGBA.
// Reads the bound image's layout.
bool devilColoursAreWrong(const std::string& path);

// Decodes the file with the decoder its content (or, for RAW and CUT, its
// extension) calls for. True when one of them left a complete picture in
// DevIL's bound image; the caller still checks that image.
bool decodeWithOwnDecoders(const std::string& path);
