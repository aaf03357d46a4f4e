// A picture file's head as the viewer reads it on its main thread, before
// any sandbox, to set the decode's time limit: the JPEG segment walk and the
// PNG, GIF, BMP, PSD, DDS, JPEG 2000, EXR and DCX headers, and for the
// formats known by their extension only (Targa, Dr. Halo, DevIL raw) the
// same bytes under those names.
//
// Input: the whole file. Its limit must be at least the base for its size
// and at most what the largest decodable picture earns.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "model/decode_time_limit.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string head(reinterpret_cast<const char*>(data), size < claimHeadBytes ? size : claimHeadBytes);
    uint32_t least = decodeTimeLimitFromSize(size, 0), most = decodeTimeLimitFromSize(size, UINT64_MAX);
    for (const char* extension : {"png", "tga", "cut", "raw"}) {
        uint32_t limit = decodeTimeLimitForHead(head, size, extension);
        if (limit < least || limit > most) std::abort();
    }
    return 0;
}
