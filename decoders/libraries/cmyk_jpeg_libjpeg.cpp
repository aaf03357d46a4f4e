// Four-channel JPEGs through libjpeg, which turns YCCK into CMYK and tells
// whether an Adobe APP14 marker was present. Adobe's applications (and every
// writer that follows them, libjpeg's own included) store CMYK inverted,
// 255 meaning no ink; without the marker the samples are plain ink amounts.
// With an embedded CMYK profile the inks are converted to the display's
// colours through it; without one (or with a damaged one) the picture is
// made RGB by formula: each of R, G, B is what is left after its ink and the
// black ink, (1 - C)(1 - K) for red.
#include <vector>

#include "decoders/colour_description.h"
#include "decoders/colour_transform.h"
#include "decoders/formats.h"
#include "decoders/libraries/libjpeg_errors.h"
#include "decoders/picture_files.h"

namespace {

// Everything touched after setjmp is plain data declared before it, so the
// long jump skips no destructor.
// The conversion of the inks through the file's profile (no libjpeg call
// inside, so no jump leaves it half done).
ColourConversion inkConversion(const ColourDescription& colours, bool inverted) {
    SampleLayout layout;
    layout.cmyk = true;
    layout.inverted = inverted;
    return conversionFor(colours, layout);
}

bool decodeInto(const std::string_view* file, jpeg_decompress_struct* info, LibjpegErrors* errors, const ColourDescription* colours) {
    if (setjmp(errors->jump)) return false;
    jpeg_create_decompress(info);
    jpeg_mem_src(info, reinterpret_cast<const unsigned char*>(file->data()), (unsigned long)file->size());
    if (jpeg_read_header(info, TRUE) != JPEG_HEADER_OK || info->num_components != 4) return false;
    if (!acceptableSize(info->image_width, info->image_height)) return false;
    info->out_color_space = JCS_CMYK;
    jpeg_start_decompress(info);
    if (info->output_components != 4) return false;
    unsigned char* target = rgbaCanvas(info->output_width, info->output_height);
    if (!target) return false;
    bool inverted = info->saw_Adobe_marker;
    ColourConversion inks = inkConversion(*colours, inverted);
    JSAMPARRAY row = (*info->mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(info), JPOOL_IMAGE,
                                                info->output_width * 4, 1);
    while (info->output_scanline < info->output_height) {
        // A file cut short ends with a warning and grey rows: refused.
        if (jpeg_read_scanlines(info, row, 1) != 1 || info->err->num_warnings > 0) return false;
        if (inks.active()) {
            inks.convert(row[0], target, info->output_width);
            for (JDIMENSION x = 0; x < info->output_width; ++x, target += 4) target[3] = 255;
            continue;
        }
        for (JDIMENSION x = 0; x < info->output_width; ++x, target += 4) {
            const JSAMPLE* ink = row[0] + size_t(x) * 4;
            unsigned left[4];
            for (int c = 0; c < 4; ++c) left[c] = inverted ? ink[c] : 255u - ink[c];
            for (int c = 0; c < 3; ++c) target[c] = (unsigned char)((left[c] * left[3] + 127) / 255);
            target[3] = 255;
        }
    }
    jpeg_finish_decompress(info);
    return info->err->num_warnings == 0;
}

}  // namespace

bool cmykJpegDecoderBuiltIn() { return true; }

bool decodeCmykJpeg(const std::string& path) {
    std::shared_ptr<const std::string_view> file = pictureFileBytes(path);
    if (!file) return false;
    ColourDescription colours = readColourDescription(path);
    jpeg_decompress_struct info = {};
    LibjpegErrors errors = {};
    errors.handle(&info);
    bool ok = decodeInto(file.get(), &info, &errors, &colours);
    jpeg_destroy_decompress(&info);
    return ok;
}
