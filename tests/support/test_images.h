// Writers of small test images with a known size and one known colour.
//
// bmp (BITMAPINFOHEADER), png, tga, jpg, psd, dds, raw and pcx are written by
// DevIL's own encoders, so DevIL must be started (a GLTestContext does it).
// gif, cut, dcx and dcm are written here. jp2, psp and exr get only the
// format's signature (real ones come from tests/support/make_format_samples).
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include <jpeglib.h>

struct Rgb {
    uint8_t r, g, b;
};

// Writes a width x height image filled with `colour` in `format` (one of the
// names above) to `path`. Raises std::runtime_error when it cannot.
void writeTestImage(const std::string& path, const std::string& format, uint32_t width, uint32_t height,
                    Rgb colour);

// Writes raw bytes to a file.
void writeBytes(const std::string& path, const std::string& bytes);
// Reads a whole file.
std::string readBytes(const std::string& path);

// Appends a 16- or 32-bit little-endian field, as image headers store them.
void put16(std::string& out, uint32_t v);
void put32(std::string& out, uint32_t v);

// A solid JPEG written by libjpeg at quality 100: `samples` is one pixel, 3
// (RGB) or 4 (CMYK) samples, stored as `stored` (YCbCr, CMYK or YCCK), with
// Adobe's APP14 marker or without; `segments` (marker, bytes) follow the
// headers. Raises std::runtime_error when it cannot.
void writeSolidJpeg(const std::string& path, uint32_t width, uint32_t height, const std::vector<int>& samples,
                    J_COLOR_SPACE stored, bool adobeMarker, const std::vector<std::pair<int, std::string>>& segments);
