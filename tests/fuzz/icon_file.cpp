// The window icon's .ico reader, on any bytes.
//
// Input: the .ico file. A decoded icon has a size within the reader's
// bounds and one pixel for each of it.
#include <cstdint>
#include <cstdlib>

#include "platform/linux/icon_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    olvlinux::IconImage image;
    if (!olvlinux::decodeIcon(data, size, image)) return 0;
    bool sane = image.width > 0 && image.width <= 1024 && image.height > 0 && image.height <= 1024 &&
                image.argb.size() == size_t(image.width) * size_t(image.height);
    if (!sane) std::abort();
    return 0;
}
