// Large JPEGs decoded at a half, a quarter or an eighth of their size.
// libjpeg then computes only the low frequencies of each block and converts
// and upsamples only the pixels it outputs, so a photo far larger than the
// window decodes in a fraction of the time, and the shrink after it starts
// from a fraction of the pixels. The decompressor is set up here and DevIL
// loads from it (ilLoadFromJpegStruct, DevIL's entry for a decompressor its
// caller prepared), so the picture lands in the bound image as DevIL's own
// JPEG reader leaves it, and the checks after a decode are the same.
#include "decoders/devil.h"
#include "decoders/devil_limits.h"
#include "decoders/formats.h"
#include "decoders/libraries/libjpeg_errors.h"
#include "decoders/picture_files.h"
#include "util/downscale.h"

// Exported by DevIL (by our Windows build through a patch) but left out of
// its headers.
extern "C" ILAPI ILboolean ILAPIENTRY ilLoadFromJpegStruct(void* decompressor);

namespace {

// The largest of 8, 4 and 2 that divides width x height into no less than
// cappedSize makes of it; 1 when not even a half is that large. A half or a
// quarter keeps each block's frequencies below the reduced size's limit, a
// fair low-pass filter, and the shrink takes it the rest of the way. An
// eighth keeps only each block's mean, a plain block average, so it is used
// only where the shrink's own block pre-shrink would average as much (2.5
// times the drawn size or more left), not down to the drawn size, where a
// block average lets fine detail alias.
unsigned reductionFor(uint32_t width, uint32_t height, uint32_t maxSide) {
    uint32_t cappedWidth = 0, cappedHeight = 0;
    cappedSize(width, height, maxSide, &cappedWidth, &cappedHeight);
    for (unsigned divisor = 8; divisor > 1; divisor /= 2) {
        uint64_t tenths = divisor == 8 ? 25 : 10;
        // libjpeg rounds a reduced side up.
        uint64_t reducedWidth = (width + divisor - 1) / divisor, reducedHeight = (height + divisor - 1) / divisor;
        if (reducedWidth * 10 >= cappedWidth * tenths && reducedHeight * 10 >= cappedHeight * tenths) return divisor;
    }
    return 1;
}

// Everything touched after setjmp is plain data declared before it, so the
// long jump skips no destructor.
bool loadInto(const std::string_view* file, uint32_t maxSide, jpeg_decompress_struct* info, LibjpegErrors* errors) {
    if (setjmp(errors->jump)) return false;
    jpeg_create_decompress(info);
    jpeg_mem_src(info, reinterpret_cast<const unsigned char*>(file->data()), (unsigned long)file->size());
    if (jpeg_read_header(info, TRUE) != JPEG_HEADER_OK) return false;
    // Four channels go to the CMYK decoder by way of DevIL's whole decode.
    if (info->num_components != 1 && info->num_components != 3) return false;
    if (!acceptableSize(info->image_width, info->image_height)) return false;
    unsigned divisor = reductionFor(info->image_width, info->image_height, maxSide);
    if (divisor == 1) return false;
    info->scale_num = 1;
    info->scale_denom = divisor;
    // As DevIL's own JPEG reader sets them.
    info->do_block_smoothing = TRUE;
    info->do_fancy_upsampling = TRUE;
    drainDevilErrors();
    if (ilLoadFromJpegStruct(info) != IL_TRUE || drainDevilErrors()) return false;
    jpeg_finish_decompress(info);
    return true;
}

}  // namespace

bool loadReducedJpeg(const std::string& path, uint32_t maxSide, uint32_t* fullWidth, uint32_t* fullHeight) {
    std::shared_ptr<const std::string_view> file = pictureFileBytes(path);
    if (!file || file->size() < 3 || file->substr(0, 3) != "\xFF\xD8\xFF") return false;
    jpeg_decompress_struct info = {};
    LibjpegErrors errors = {};
    errors.handle(&info);
    // A damaged file (any warning) is left to the whole decode, which
    // decides on it as for every other JPEG.
    bool ok = loadInto(file.get(), maxSide, &info, &errors) && errors.manager.num_warnings == 0;
    *fullWidth = info.image_width;
    *fullHeight = info.image_height;
    jpeg_destroy_decompress(&info);
    return ok;
}
