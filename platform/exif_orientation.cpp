#include "platform/exif_orientation.h"

#include <libexif/exif-data.h>
#include <libexif/exif-loader.h>
#include <libexif/exif-utils.h>

#include <string>

#include "util/orientation.h"
#include "util/text.h"

namespace {

bool namesJpeg(const char* path) {
    std::string extension = extensionOf(path);
    return extension == "jpg" || extension == "jpe" || extension == "jpeg";
}

// The tag's value when it is one well-formed SHORT, else 0.
int orientationOf(ExifData* data) {
    ExifEntry* entry = exif_content_get_entry(data->ifd[EXIF_IFD_0], EXIF_TAG_ORIENTATION);
    if (!entry || entry->format != EXIF_FORMAT_SHORT || entry->components != 1 || !entry->data || entry->size < 2)
        return 0;
    return int(exif_get_short(entry->data, exif_data_get_byte_order(data)));
}

}  // namespace

// The loader is fed the file's bytes only as far as the EXIF block, in the
// pieces its own file reader uses. The data is parsed as it is: without
// FOLLOW_SPECIFICATION libexif would add missing tags and change the values
// it finds.
int jpegOrientation(const HandedFile& file) {
    if (!namesJpeg(file.name.c_str())) return 1;
    ExifLoader* loader = exif_loader_new();
    if (!loader) return 1;
    const size_t piece = 1024;
    for (size_t at = 0; at < file.bytes.size(); at += piece) {
        size_t length = file.bytes.size() - at < piece ? file.bytes.size() - at : piece;
        std::string copy(file.bytes.substr(at, length));  // the loader takes bytes it may change
        if (!exif_loader_write(loader, reinterpret_cast<unsigned char*>(&copy[0]), unsigned(length))) break;
    }
    const unsigned char* block = nullptr;
    unsigned int size = 0;
    exif_loader_get_buf(loader, &block, &size);
    int orientation = 0;
    if (block && size > 0) {
        if (ExifData* data = exif_data_new()) {
            exif_data_unset_option(data, EXIF_DATA_OPTION_FOLLOW_SPECIFICATION);
            exif_data_load_data(data, block, size);
            orientation = orientationOf(data);
            exif_data_unref(data);
        }
    }
    exif_loader_unref(loader);
    return isKnownOrientation(orientation) ? orientation : 1;
}
