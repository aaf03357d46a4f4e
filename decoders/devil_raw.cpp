// DevIL's raw format: width, height and depth (little-endian 32-bit), bytes
// per pixel and bytes per channel (one byte each), then the samples. DevIL
// reads it only when asked for by type, and takes any bytes-per-pixel value
// for RGBA; only layouts whose sizes agree are kept, and the file must be
// exactly its header and samples, so another program's .raw is not shown as
// noise.
#include "decoders/devil_limits.h"
#include "decoders/formats.h"
#include "decoders/devil.h"
#include "decoders/picture_files.h"

namespace {

const long rawHeaderBytes = 14;

long long fileSize(const std::string& path) {
    std::shared_ptr<const std::string_view> file = pictureFileBytes(path);
    return file ? (long long)file->size() : -1;
}

int channelsOf(ILint format) {
    switch (format) {
    case IL_LUMINANCE: return 1;
    case IL_RGB: return 3;
    case IL_RGBA: return 4;
    default: return 0;
    }
}

}  // namespace

bool decodeDevilRaw(const std::string& path) {
    drainDevilErrors();
    ILboolean ok = ilLoad(IL_RAW, path.c_str());
    if (drainDevilErrors() || ok != IL_TRUE) return false;
    int channels = channelsOf(ilGetInteger(IL_IMAGE_FORMAT));
    ILint bytesPerChannel = ilGetInteger(IL_IMAGE_BPC);
    if (channels == 0 || (bytesPerChannel != 1 && bytesPerChannel != 2)) return false;
    if (ilGetInteger(IL_IMAGE_BYTES_PER_PIXEL) != channels * bytesPerChannel) return false;
    return fileSize(path) == rawHeaderBytes + (long long)ilGetInteger(IL_IMAGE_SIZE_OF_DATA);
}
