// JPEG 2000 through OpenJPEG: a .jp2 file or a bare codestream, decoded in
// strict mode (a codestream cut short fails instead of showing its decoded
// part) and on the calling thread only. Grey, grey and alpha, RGB, RGBA and
// sYCC pictures are turned into 8-bit RGBA; samples of any precision are
// scaled to 8 bits, signed ones shifted to start at 0, and subsampled
// components are read at the nearest sample.
#include <openjpeg.h>

#include "decoders/formats.h"
#include "decoders/picture_files.h"

namespace {

void silence(const char*, void*) {}

// An OpenJPEG object ended by its own destroy function.
template <typename T, void (*destroy)(T*)>
struct Owned {
    T* object = nullptr;
    ~Owned() {
        if (object) destroy(object);
    }
};

bool usableComponent(const opj_image_comp_t& component) {
    return component.data && component.w > 0 && component.h > 0 && component.prec >= 1 && component.prec <= 31;
}

// The sample of the component at the picture's (x, y), as 8 bits.
int sampleAt(const opj_image_comp_t& component, uint64_t x, uint64_t y, uint32_t width, uint32_t height) {
    uint64_t cx = x * component.w / width;
    uint64_t cy = y * component.h / height;
    int64_t value = component.data[cy * component.w + cx];
    if (component.sgnd) value += int64_t(1) << (component.prec - 1);
    int64_t top = (int64_t(1) << component.prec) - 1;
    if (value < 0) value = 0;
    if (value > top) value = top;
    return int((value * 255 + top / 2) / top);
}

unsigned char clamp8(double value) { return (unsigned char)(value < 0 ? 0 : value > 255 ? 255 : value + 0.5); }

bool fillRgba(const opj_image_t& image) {
    uint32_t count = image.numcomps;
    if (count == 0 || count > 4 || !image.comps) return false;
    for (uint32_t c = 0; c < count; ++c)
        if (!usableComponent(image.comps[c])) return false;
    if (image.color_space == OPJ_CLRSPC_CMYK || image.color_space == OPJ_CLRSPC_EYCC) return false;
    uint32_t width = image.comps[0].w, height = image.comps[0].h;
    bool grey = count <= 2 || image.color_space == OPJ_CLRSPC_GRAY;
    bool alpha = count == 2 || count == 4;
    bool ycc = !grey && image.color_space == OPJ_CLRSPC_SYCC;
    unsigned char* target = rgbaCanvas(width, height);
    if (!target) return false;
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x, target += 4) {
            int first = sampleAt(image.comps[0], x, y, width, height);
            if (grey) {
                target[0] = target[1] = target[2] = (unsigned char)first;
            } else if (ycc) {
                double cb = sampleAt(image.comps[1], x, y, width, height) - 128.0;
                double cr = sampleAt(image.comps[2], x, y, width, height) - 128.0;
                target[0] = clamp8(first + 1.402 * cr);
                target[1] = clamp8(first - 0.344136 * cb - 0.714136 * cr);
                target[2] = clamp8(first + 1.772 * cb);
            } else {
                target[0] = (unsigned char)first;
                target[1] = (unsigned char)sampleAt(image.comps[1], x, y, width, height);
                target[2] = (unsigned char)sampleAt(image.comps[2], x, y, width, height);
            }
            target[3] = alpha ? (unsigned char)sampleAt(image.comps[count - 1], x, y, width, height) : 255;
        }
    }
    return true;
}

OPJ_CODEC_FORMAT codecOf(std::string_view file) {
    return file.compare(0, 4, "\xFF\x4F\xFF\x51") == 0 ? OPJ_CODEC_J2K : OPJ_CODEC_JP2;
}

// The file's bytes as OpenJPEG's stream: where the next read starts.
struct MemoryStream {
    const std::string_view* bytes;
    OPJ_OFF_T at;
};

OPJ_SIZE_T readStream(void* buffer, OPJ_SIZE_T count, void* data) {
    MemoryStream* stream = static_cast<MemoryStream*>(data);
    OPJ_OFF_T left = OPJ_OFF_T(stream->bytes->size()) - stream->at;
    if (left <= 0) return OPJ_SIZE_T(-1);  // the end, as OpenJPEG's own reader reports it
    OPJ_SIZE_T got = OPJ_SIZE_T(left) < count ? OPJ_SIZE_T(left) : count;
    stream->bytes->copy(static_cast<char*>(buffer), got, size_t(stream->at));
    stream->at += OPJ_OFF_T(got);
    return got;
}

OPJ_BOOL seekStream(OPJ_OFF_T to, void* data) {
    MemoryStream* stream = static_cast<MemoryStream*>(data);
    if (to < 0 || to > OPJ_OFF_T(stream->bytes->size())) return OPJ_FALSE;
    stream->at = to;
    return OPJ_TRUE;
}

OPJ_OFF_T skipStream(OPJ_OFF_T count, void* data) {
    MemoryStream* stream = static_cast<MemoryStream*>(data);
    return seekStream(stream->at + count, data) ? count : -1;
}

}  // namespace

bool decodeJpeg2000(const std::string& path) {
    std::shared_ptr<const std::string_view> file = pictureFileBytes(path);
    if (!file) return false;
    Owned<opj_codec_t, opj_destroy_codec> codec;
    codec.object = opj_create_decompress(codecOf(*file));
    if (!codec.object) return false;
    opj_set_info_handler(codec.object, silence, nullptr);
    opj_set_warning_handler(codec.object, silence, nullptr);
    opj_set_error_handler(codec.object, silence, nullptr);
    opj_dparameters_t parameters;
    opj_set_default_decoder_parameters(&parameters);
    if (!opj_setup_decoder(codec.object, &parameters)) return false;
    opj_decoder_set_strict_mode(codec.object, OPJ_TRUE);
    opj_codec_set_threads(codec.object, 0);  // no threads: the helper may not start any
    Owned<opj_stream_t, opj_stream_destroy> stream;
    stream.object = opj_stream_create(OPJ_J2K_STREAM_CHUNK_SIZE, OPJ_TRUE);
    if (!stream.object) return false;
    MemoryStream read = {file.get(), 0};
    opj_stream_set_user_data(stream.object, &read, nullptr);
    opj_stream_set_user_data_length(stream.object, OPJ_UINT64(file->size()));
    opj_stream_set_read_function(stream.object, readStream);
    opj_stream_set_skip_function(stream.object, skipStream);
    opj_stream_set_seek_function(stream.object, seekStream);
    Owned<opj_image_t, opj_image_destroy> image;
    if (!opj_read_header(stream.object, codec.object, &image.object) || !image.object) return false;
    if (image.object->numcomps == 0 || image.object->numcomps > 4) return false;
    if (image.object->x1 <= image.object->x0 || image.object->y1 <= image.object->y0) return false;
    if (!acceptableSize(image.object->x1 - image.object->x0, image.object->y1 - image.object->y0)) return false;
    if (!opj_decode(codec.object, stream.object, image.object)) return false;
    if (!opj_end_decompress(codec.object, stream.object)) return false;
    return fillRgba(*image.object);
}
