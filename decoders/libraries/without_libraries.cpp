// Where OpenJPEG and OpenEXR are not at hand (the Windows build), these
// formats, and four-channel JPEGs, are left to DevIL alone.
#include "decoders/formats.h"

bool decodeCmykJpeg(const std::string&) { return false; }

bool cmykJpegDecoderBuiltIn() { return false; }

bool decodeJpeg2000(const std::string&) { return false; }

bool decodeOpenExr(const std::string&) { return false; }
