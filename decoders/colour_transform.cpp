#include "decoders/colour_transform.h"

#include <cstring>
#include <deque>
#include <utility>

#include <lcms2.h>

namespace {

// A profile closed when it goes.
struct Profile {
    cmsHPROFILE handle = nullptr;
    explicit Profile(cmsHPROFILE made = nullptr) : handle(made) {}
    ~Profile() {
        if (handle) cmsCloseProfile(handle);
    }
    Profile(const Profile&) = delete;
    Profile& operator=(const Profile&) = delete;
};

struct Display {
    std::string bytes;
    bool opened = false;
    cmsHPROFILE profile = nullptr;  // null: sRGB
};

Display& display() {
    static Display state;
    return state;
}

// A picture can name a profile that only makes sense in other places: a
// device link, an abstract or named-colour profile converts nothing here.
bool describesDevice(cmsHPROFILE profile) {
    cmsProfileClassSignature kind = cmsGetDeviceClass(profile);
    return kind == cmsSigInputClass || kind == cmsSigDisplayClass || kind == cmsSigOutputClass ||
           kind == cmsSigColorSpaceClass;
}

// The display's profile, opened the first time it is needed; null when it
// is missing or cannot take RGB colours out.
cmsHPROFILE displayProfile() {
    Display& state = display();
    if (state.opened) return state.profile;
    state.opened = true;
    if (state.bytes.empty()) return nullptr;
    cmsHPROFILE profile = cmsOpenProfileFromMem(state.bytes.data(), cmsUInt32Number(state.bytes.size()));
    if (!profile) return nullptr;
    if (cmsGetColorSpace(profile) != cmsSigRgbData || !describesDevice(profile)) {
        cmsCloseProfile(profile);
        return nullptr;
    }
    state.profile = profile;
    return profile;
}

cmsToneCurve* transferCurve(double gamma) {
    if (gamma > 0) return cmsBuildGamma(nullptr, gamma);
    const cmsFloat64Number srgb[5] = {2.4, 1 / 1.055, 0.055 / 1.055, 1 / 12.92, 0.04045};
    return cmsBuildParametricToneCurve(nullptr, 4, srgb);
}

cmsHPROFILE profileFromNumbers(const ColourDescription& description) {
    const Chromaticities& c = description.primaries;
    cmsCIExyY white = {c.white[0], c.white[1], 1.0};
    cmsCIExyYTRIPLE primaries = {{c.red[0], c.red[1], 1.0}, {c.green[0], c.green[1], 1.0}, {c.blue[0], c.blue[1], 1.0}};
    cmsToneCurve* curve = transferCurve(description.gamma);
    if (!curve) return nullptr;
    cmsToneCurve* curves[3] = {curve, curve, curve};
    cmsHPROFILE profile = cmsCreateRGBProfile(&white, &primaries, curves);
    cmsFreeToneCurve(curve);
    return profile;
}

// The picture's profile; null when it is damaged or does not fit the pixels
// (a grey one fits RGB samples only when they were grey). Whether it can
// convert at all shows when the transform is made.
cmsHPROFILE pictureProfile(const ColourDescription& description, const SampleLayout& layout) {
    bool cmyk = layout.cmyk;
    if (description.kind == ColourDescription::Kind::srgb) return cmyk ? nullptr : cmsCreate_sRGBProfile();
    if (description.kind == ColourDescription::Kind::numbers) return cmyk ? nullptr : profileFromNumbers(description);
    cmsHPROFILE profile = cmsOpenProfileFromMem(description.icc.data(), cmsUInt32Number(description.icc.size()));
    if (!profile) return nullptr;
    cmsColorSpaceSignature space = cmsGetColorSpace(profile);
    bool fits = cmyk ? space == cmsSigCmykData : space == cmsSigRgbData || (layout.fromGrey && space == cmsSigGrayData);
    if (!fits || !describesDevice(profile)) {
        cmsCloseProfile(profile);
        return nullptr;
    }
    return profile;
}

cmsUInt32Number pixelFormat(const SampleLayout& layout, bool output) {
    if (layout.cmyk && !output) return layout.inverted ? TYPE_CMYK_8_REV : TYPE_CMYK_8;
    bool alpha = layout.cmyk || layout.channels == 4;
    bool sixteen = layout.sixteenBits && !output;
    cmsUInt32Number format = COLORSPACE_SH(PT_RGB) | CHANNELS_SH(3) | BYTES_SH(sixteen ? 2 : 1);
    if (alpha) format |= EXTRA_SH(1);
    if (layout.bgr && !layout.cmyk) format |= DOSWAP_SH(1) | (alpha ? SWAPFIRST_SH(1) : 0);
    return format;
}

// Transforms made for recent pictures: pictures from one camera or editor
// share their profile, and a transform costs more to make than to run on a
// screen-sized picture.
struct CachedTransform {
    std::string key;
    cmsHTRANSFORM transform;  // null: nothing to do for that key
};

const size_t cachedTransforms = 8;

std::deque<CachedTransform>& cache() {
    static std::deque<CachedTransform> transforms;
    return transforms;
}

std::string keyOf(const ColourDescription& description, const SampleLayout& layout, cmsUInt32Number in,
                  cmsUInt32Number out) {
    std::string key(reinterpret_cast<const char*>(&in), sizeof in);
    key.append(reinterpret_cast<const char*>(&out), sizeof out);
    key.push_back(char(description.kind));
    key.push_back(char(layout.fromGrey));
    if (description.kind == ColourDescription::Kind::icc) return key + description.icc;
    if (description.kind == ColourDescription::Kind::numbers) {
        key.append(reinterpret_cast<const char*>(&description.primaries), sizeof description.primaries);
        key.append(reinterpret_cast<const char*>(&description.gamma), sizeof description.gamma);
    }
    return key;
}

cmsHTRANSFORM makeTransform(const ColourDescription& description, const SampleLayout& layout, cmsUInt32Number in,
                            cmsUInt32Number out) {
    Profile source(pictureProfile(description, layout));
    if (!source.handle) return nullptr;
    // The grey sample first, the other two and alpha carried along.
    if (cmsGetColorSpace(source.handle) == cmsSigGrayData)
        in = COLORSPACE_SH(PT_GRAY) | CHANNELS_SH(1) | BYTES_SH(layout.sixteenBits ? 2 : 1) | EXTRA_SH(layout.channels - 1);
    cmsHPROFILE shown = displayProfile();
    Profile srgb(shown ? nullptr : cmsCreate_sRGBProfile());
    cmsUInt32Number intent = INTENT_PERCEPTUAL;
    if (!cmsIsIntentSupported(source.handle, intent, LCMS_USED_AS_INPUT) ||
        !cmsIsIntentSupported(shown ? shown : srgb.handle, intent, LCMS_USED_AS_OUTPUT))
        intent = INTENT_RELATIVE_COLORIMETRIC;
    bool grey = T_COLORSPACE(in) == PT_GRAY;
    cmsUInt32Number flags = cmsFLAGS_BLACKPOINTCOMPENSATION | (layout.channels == 4 && !layout.cmyk && !grey ? cmsFLAGS_COPY_ALPHA : 0);
    return cmsCreateTransform(source.handle, in, shown ? shown : srgb.handle, out, intent, flags);
}

void quiet(cmsContext, cmsUInt32Number, const char*) {}

}  // namespace

void useDisplayProfile(std::string bytes) {
    Display& state = display();
    if (state.profile) cmsCloseProfile(state.profile);
    state = Display();
    state.bytes = std::move(bytes);
    for (CachedTransform& cached : cache())
        if (cached.transform) cmsDeleteTransform(cached.transform);
    cache().clear();
}

ColourConversion conversionFor(const ColourDescription& description, const SampleLayout& layout) {
    ColourConversion conversion;
    bool srgbToSrgb = description.kind == ColourDescription::Kind::srgb && display().bytes.empty();
    if (srgbToSrgb || (layout.channels != 3 && layout.channels != 4)) return conversion;
    static const bool silenced = (cmsSetLogErrorHandler(quiet), true);
    (void)silenced;
    cmsUInt32Number in = pixelFormat(layout, false), out = pixelFormat(layout, true);
    std::string key = keyOf(description, layout, in, out);
    std::deque<CachedTransform>& transforms = cache();
    for (const CachedTransform& cached : transforms) {
        if (cached.key != key) continue;
        conversion.transform = cached.transform;
        return conversion;
    }
    if (transforms.size() == cachedTransforms) {
        if (transforms.front().transform) cmsDeleteTransform(transforms.front().transform);
        transforms.pop_front();
    }
    cmsHTRANSFORM made = makeTransform(description, layout, in, out);
    transforms.push_back({std::move(key), made});
    conversion.transform = made;
    return conversion;
}

void ColourConversion::convert(const void* in, void* out, size_t pixels) const {
    if (!transform) return;
    // Little CMS counts pixels in 32 bits.
    const size_t step = size_t(1) << 30;
    const cmsUInt32Number inFormat = cmsGetTransformInputFormat(transform);
    const cmsUInt32Number outFormat = cmsGetTransformOutputFormat(transform);
    size_t inBytes = size_t(T_BYTES(inFormat)) * (T_CHANNELS(inFormat) + T_EXTRA(inFormat));
    size_t outBytes = size_t(T_BYTES(outFormat)) * (T_CHANNELS(outFormat) + T_EXTRA(outFormat));
    const unsigned char* from = static_cast<const unsigned char*>(in);
    unsigned char* to = static_cast<unsigned char*>(out);
    for (size_t done = 0; done < pixels; done += step) {
        size_t count = pixels - done < step ? pixels - done : step;
        cmsDoTransform(transform, from + done * inBytes, to + done * outBytes, cmsUInt32Number(count));
    }
}
