// Where OpenJPEG, OpenEXR and libjpeg are not at hand (the Windows build),
// these formats are left to DevIL alone.
#include "decoders/formats.h"

bool decodeCmykJpeg(const std::string&) { return false; }

bool cmykJpegDecoderBuiltIn() { return false; }

bool loadReducedJpeg(const std::string&, uint32_t, uint32_t*, uint32_t*) { return false; }

bool decodeJpeg2000(const std::string&) { return false; }

bool decodeOpenExr(const std::string&) { return false; }
