// The decode-service test's pictures are made up by its fake decoder and
// carry no EXIF block: every one is stored upright.
#include "platform/exif_orientation.h"

int jpegOrientation(const HandedFile&) { return 1; }
