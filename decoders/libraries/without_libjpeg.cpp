// Where no libjpeg of ours is linked (a Windows build against an installed
// DevIL, which does not export its entry for a prepared decompressor), every
// JPEG is DevIL's whole decode, four-channel ones included.
#include "decoders/formats.h"

bool loadReducedJpeg(const std::string&, uint32_t, uint32_t*, uint32_t*) { return false; }

bool decodeCmykJpeg(const std::string&) { return false; }

bool cmykJpegDecoderBuiltIn() { return false; }
