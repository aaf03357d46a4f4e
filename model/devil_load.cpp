#include "model/devil_load.h"

#include <cstring>
#include <vector>

#include "decoders/colour_description.h"
#include "decoders/colour_transform.h"
#include "decoders/formats.h"
#include "decoders/own_decoders.h"
#include "decoders/picture_files.h"
#include "model/bound_image.h"
#include "model/payload_check.h"
#include "platform/services.h"
#include "util/shrink.h"
#include "util/orientation.h"
#include "util/trace.h"
#include "decoders/devil.h"

namespace {

bool loadChecked(ILenum type, const std::string& path) {
    if (!devilPayloadFits(type, path)) return false;
    drainDevilErrors();
    ILboolean ok = type == IL_TYPE_UNKNOWN ? ilLoadImage(path.c_str()) : ilLoad(type, path.c_str());
    bool errors = drainDevilErrors();
    return ok == IL_TRUE && !errors && boundImageIsConsistent();
}

bool decodeWithDevil(const std::string& path) {
    if (loadChecked(IL_TYPE_UNKNOWN, path)) return true;
    ILenum detected = ilDetermineType(path.c_str());
    drainDevilErrors();
    if (detected == IL_TYPE_UNKNOWN || detected == ilTypeFromExt(path.c_str())) return false;
    return loadChecked(detected, path);
}

// A JPEG far larger than it is drawn is loaded at a reduced size; anything
// that refuses takes the whole decode.
bool decodeReduced(const std::string& path, uint32_t maxSide, uint32_t* fullWidth, uint32_t* fullHeight) {
    trace::Timer timer(trace::Step::decode);
    return devilMayRead(path) && loadReducedJpeg(path, maxSide, fullWidth, fullHeight) && boundImageIsConsistent();
}

}  // namespace

bool decodeImage(const std::string& path) {
    trace::Timer timer(trace::Step::decode);
    if (devilMayRead(path) && decodeWithDevil(path) && !devilColoursAreWrong(path)) return true;
    return decodeWithOwnDecoders(path) && boundImageIsConsistent();
}

namespace {

// What decodeToRgba() knows of the colours of the picture it left in the
// bound image.
struct DecodedColours {
    ColourDescription description;
    bool grey = false;  // made RGBA from grey samples
};

DecodedColours& decodedColours() {
    static DecodedColours colours;
    return colours;
}

// The helper's DevIL: started once, before the helper gives up its rights;
// afterwards it reads only the files handed over for each job.
void startDecoder(const std::string& displayProfile) {
    useDisplayProfile(displayProfile);
    startDevil();
    useHandedFilesInDevil();
}

// Rows go out bottom first, which is what ILUT would have made of the image
// for the texture; the viewer then registers that origin, so ILUT leaves the
// rows as they are and the picture stays the right way up. The common 8- and
// 16-bit RGB(A)/BGR(A) layouts are turned into 8-bit RGBA while copying out;
// anything else is converted by DevIL first.
bool decodeToRgba(const std::vector<HandedFile>& files, uint32_t maxSide, uint32_t* width, uint32_t* height) {
    HandedPictureFiles handed(files);
    const std::string& path = files.at(0).name;
    uint32_t fullWidth = 0, fullHeight = 0;
    bool reduced = decodeReduced(path, maxSide, &fullWidth, &fullHeight);
    if (!reduced && !decodeImage(path)) return false;
    {
        trace::Timer timer(trace::Step::decode);
        decodedColours().description = readColourDescription(path);
    }
    ILint format = ilGetInteger(IL_IMAGE_FORMAT);
    decodedColours().grey = format == IL_LUMINANCE || format == IL_LUMINANCE_ALPHA;
    ILint type = ilGetInteger(IL_IMAGE_TYPE);
    bool direct = (type == IL_UNSIGNED_BYTE || type == IL_UNSIGNED_SHORT) &&
                  (format == IL_RGB || format == IL_RGBA || format == IL_BGR || format == IL_BGRA);
    if (!direct) {
        drainDevilErrors();
        ILboolean converted = ilConvertImage(IL_RGBA, IL_UNSIGNED_BYTE);
        if (drainDevilErrors() || converted != IL_TRUE || !boundImageIsConsistent()) return false;
        if (ilGetInteger(IL_IMAGE_BYTES_PER_PIXEL) != 4) return false;
    }
    *width = reduced ? fullWidth : uint32_t(ilGetInteger(IL_IMAGE_WIDTH));
    *height = reduced ? fullHeight : uint32_t(ilGetInteger(IL_IMAGE_HEIGHT));
    return true;
}

// A turned picture is read from DevIL's pixels in the same single pass. A
// picture to be shrunk is shrunk as stored, in its own layout, and the small
// copy is then turned and converted. Colours are converted to the display's
// on 16-bit samples as they are narrowed (dark linear values lose most to
// narrowing), and on 8-bit ones after shrinking, where there are fewer.
void copyDecodedRgba(unsigned char* target, int orientation, uint32_t targetWidth, uint32_t targetHeight) {
    size_t width = size_t(ilGetInteger(IL_IMAGE_WIDTH));
    size_t height = size_t(ilGetInteger(IL_IMAGE_HEIGHT));
    ILint format = ilGetInteger(IL_IMAGE_FORMAT);
    size_t channels = size_t(ilGetInteger(IL_IMAGE_BYTES_PER_PIXEL));
    bool swapped = format == IL_BGR || format == IL_BGRA;
    bool topFirst = ilGetInteger(IL_IMAGE_ORIGIN) == IL_ORIGIN_UPPER_LEFT;
    unsigned char* data = ilGetData();
    SampleLayout stored;
    stored.sixteenBits = ilGetInteger(IL_IMAGE_TYPE) == IL_UNSIGNED_SHORT;
    stored.channels = uint32_t(stored.sixteenBits ? channels / 2 : channels);
    stored.bgr = swapped;
    stored.fromGrey = decodedColours().grey;
    ColourConversion colours = conversionFor(decodedColours().description, stored);
    std::vector<unsigned char> narrowed;
    if (stored.sixteenBits) {
        // The high byte of each sample, as DevIL's own conversion keeps it,
        // in one pass instead of a conversion to four channels. Without a
        // colour conversion the bytes go into the front of DevIL's own
        // buffer (each where its sample has already been read), which
        // spares a large picture half its size again in fresh memory.
        trace::Timer timer(trace::Step::decode);
        channels /= 2;
        size_t count = width * height * channels;
        const ILushort* samples = reinterpret_cast<const ILushort*>(data);
        if (colours.active()) {
            narrowed.resize(count);
            colours.convert(samples, narrowed.data(), width * height);
            data = narrowed.data();
        } else {
            for (size_t i = 0; i < count; ++i) data[i] = (unsigned char)(samples[i] >> 8);
        }
    }
    bool sidesSwapped = isKnownOrientation(orientation) && orientationSwapsSides(orientation);
    size_t storedTargetWidth = sidesSwapped ? targetHeight : targetWidth;
    size_t storedTargetHeight = sidesSwapped ? targetWidth : targetHeight;
    std::vector<unsigned char> shrunk;
    if (storedTargetWidth < width || storedTargetHeight < height) {
        trace::Timer timer(trace::Step::decode);
        shrunk.resize(storedTargetWidth * storedTargetHeight * channels);
        shrinkPixels(data, uint32_t(width), uint32_t(height), uint32_t(channels), shrunk.data(),
                     uint32_t(storedTargetWidth), uint32_t(storedTargetHeight));
        data = shrunk.data();
        width = storedTargetWidth;
        height = storedTargetHeight;
    }
    if (colours.active() && !stored.sixteenBits) {
        trace::Timer timer(trace::Step::decode);
        colours.convert(data, data, width * height);
    }
    if (isKnownOrientation(orientation) && orientation != 1) {
        PixelLayout layout;
        layout.channels = uint32_t(channels);
        layout.bgr = swapped;
        layout.topRowFirst = topFirst;
        orientPixels(data, uint32_t(width), uint32_t(height), layout, orientation, target);
        return;
    }
    for (size_t y = 0; y < height; ++y) {
        const unsigned char* from = data + (topFirst ? height - 1 - y : y) * width * channels;
        unsigned char* to = target + y * width * 4;
        if (channels == 4 && !swapped) {
            std::memcpy(to, from, width * 4);
            continue;
        }
        for (size_t x = 0; x < width; ++x, from += channels, to += 4) {
            to[0] = from[swapped ? 2 : 0];
            to[1] = from[1];
            to[2] = from[swapped ? 0 : 2];
            to[3] = channels == 4 ? from[3] : 255;
        }
    }
}

}  // namespace

HelperDecoder devilHelperDecoder() { return {startDecoder, decodeToRgba, copyDecodedRgba}; }
