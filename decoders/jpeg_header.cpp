#include "decoders/jpeg_header.h"

#include "decoders/picture_files.h"
#include "util/byte_reader.h"

int jpegComponentCount(const std::string& path) {
    std::shared_ptr<const std::string_view> file = pictureFileBytes(path);
    if (!file) return 0;
    ByteSource source(*file);
    ByteReader in{source};
    uint64_t frame = jpegFrameHeaderOffset(in);
    // Marker, length, precision, height and width come before the count.
    int components = frame && in.be(frame + 2, 2) >= 8 ? int(in.be(frame + 9, 1)) : 0;
    return in.ok ? components : 0;
}
