#include "decoders/own_decoders.h"

#include <cstring>
#include <exception>

#include "decoders/formats.h"
#include "decoders/jpeg_header.h"
#include "decoders/picture_files.h"
#include "util/text.h"
#include "decoders/devil.h"

namespace {

// The start of the file, enough for every signature below.
struct FileStart {
    unsigned char bytes[16] = {};
    size_t size = 0;

    bool startsWith(const char* signature, size_t length) const {
        return size >= length && std::memcmp(bytes, signature, length) == 0;
    }
};

FileStart readStart(const std::string& path) {
    FileStart start;
    if (std::shared_ptr<const std::string_view> bytes = pictureFileBytes(path))
        start.size = bytes->copy(reinterpret_cast<char*>(start.bytes), sizeof start.bytes);
    return start;
}

bool isDcx(const FileStart& start) { return start.startsWith("\xB1\x68\xDE\x3A", 4); }

}  // namespace

bool devilMayRead(const std::string& path) {
    return extensionOf(path) != "cut" && extensionOf(path) != "dcx" && !isDcx(readStart(path));
}

bool devilColoursAreWrong(const std::string& path) {
    if (ilGetInteger(IL_IMAGE_BYTES_PER_PIXEL) != 4 || ilGetInteger(IL_IMAGE_TYPE) != IL_UNSIGNED_BYTE) return false;
    return cmykJpegDecoderBuiltIn() && jpegComponentCount(path) == 4;
}

bool decodeWithOwnDecoders(const std::string& path) {
    // A library that runs out of memory on a hostile header throws; the
    // picture then fails like any other refused file.
    try {
        FileStart start = readStart(path);
        if (start.startsWith("BM", 2)) return decodeBmp(path);
        if (start.startsWith("\xFF\xD8\xFF", 3)) return jpegComponentCount(path) == 4 && decodeCmykJpeg(path);
        if (isDcx(start)) return decodeDcx(path);
        if (start.startsWith("\0\0\0\x0CjP  \r\n\x87\n", 12) || start.startsWith("\xFF\x4F\xFF\x51", 4))
            return decodeJpeg2000(path);
        if (start.startsWith("\x76\x2F\x31\x01", 4)) return decodeOpenExr(path);
        std::string extension = extensionOf(path);
        if (extension == "cut") return decodeCut(path);
        if (extension == "raw") return decodeDevilRaw(path);
    } catch (const std::exception&) {
    }
    return false;
}
