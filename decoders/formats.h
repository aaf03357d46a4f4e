// The decoders behind decodeWithOwnDecoders(), one file each. Each decodes
// one format into DevIL's bound image and is true only for a complete
// picture of a size the viewer takes (see rgbaCanvas).
#pragma once

#include <cstdint>
#include <string>

// Makes DevIL's bound image an 8-bit RGBA picture of this size, top row
// first, and gives its pixels to fill; nullptr when the size is refused
// (empty, or larger than the viewer takes).
unsigned char* rgbaCanvas(uint32_t width, uint32_t height);

// True when a picture of this size may be decoded at all: checked against
// the header before a library allocates for it.
bool acceptableSize(uint64_t width, uint64_t height);

// BMP with the header forms DevIL lacks (v4/v5, bit-field masks, alpha,
// top-down rows), through stb_image.
bool decodeBmp(const std::string& path);

// A JPEG with four channels, CMYK or YCCK, to RGB, through libjpeg.
bool decodeCmykJpeg(const std::string& path);
// False in a build without that decoder: DevIL's colours are then kept.
bool cmykJpegDecoderBuiltIn();

// A JPEG of one or three channels loaded into DevIL's bound image at the
// smallest of a half, a quarter and an eighth of its size that is no smaller
// than cappedSize makes of it for maxSide (an eighth only where 2.5 times
// that is left); its full size is given in
// fullWidth x fullHeight. False when no reduction applies, on any error or
// warning, and in a build without libjpeg: the caller then decodes the whole.
bool loadReducedJpeg(const std::string& path, uint32_t maxSide, uint32_t* fullWidth, uint32_t* fullHeight);

// DCX: the first page, read by DevIL's PCX reader.
bool decodeDcx(const std::string& path);

// Dr. Halo CUT, coloured by the .pal file beside it, or in grey levels.
bool decodeCut(const std::string& path);

// DevIL's own raw format, which it reads only when asked for by type.
bool decodeDevilRaw(const std::string& path);

// JPEG 2000 (.jp2 file or bare codestream), through OpenJPEG.
bool decodeJpeg2000(const std::string& path);

// OpenEXR, tone-mapped to 8 bits, through the OpenEXR library.
bool decodeOpenExr(const std::string& path);
