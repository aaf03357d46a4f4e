#include "decoders/jpeg_header.h"

#include <cstdio>

namespace {

// Reads the markers from the start of image up to the first frame header,
// skipping every segment by its length.
int componentsOfFirstFrame(FILE* file) {
    if (std::fgetc(file) != 0xFF || std::fgetc(file) != 0xD8) return 0;
    for (;;) {
        int byte = std::fgetc(file);
        if (byte != 0xFF) return 0;
        int marker = std::fgetc(file);
        while (marker == 0xFF) marker = std::fgetc(file);  // fill bytes
        if (marker < 0) return 0;
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) continue;  // no length
        if (marker == 0xD9 || marker == 0xDA) return 0;  // end, or scan data before any frame
        int high = std::fgetc(file);
        int low = std::fgetc(file);
        if (high < 0 || low < 0) return 0;
        long length = long(high) << 8 | long(low);
        if (length < 2) return 0;
        bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame) {
            unsigned char header[6];
            if (length < 8 || std::fread(header, 1, sizeof header, file) != sizeof header) return 0;
            return header[5];
        }
        if (std::fseek(file, length - 2, SEEK_CUR) != 0) return 0;
    }
}

}  // namespace

int jpegComponentCount(const std::string& path) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return 0;
    int components = componentsOfFirstFrame(file);
    std::fclose(file);
    return components;
}
