// Where DevIL does not export its entry for a prepared libjpeg decompressor
// (a Windows build against an installed DevIL), every JPEG is decoded whole.
#include "decoders/formats.h"

bool loadReducedJpeg(const std::string&, uint32_t, uint32_t*, uint32_t*) { return false; }
