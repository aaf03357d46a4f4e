// Figures for the decode helper, printed rather than checked (run through
// bench/decode.sh on an optimised build): the helper's overhead over
// an in-process decode for an image shown first, and the time from the step
// to a drawn frame for a neighbour that was decoded ahead.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>

#include <lcms2.h>

#include "app/start_listing.h"
#include "model/decode_ahead.h"
#include "model/decode_time_limit.h"
#include "model/devil_load.h"
#include "model/file_info.h"
#include "model/file_list.h"
#include "platform/services.h"
#include "render/gl.h"
#include "render/scene.h"
#include "support/gl_test_context.h"
#include "support/decode_waits.h"
#include "decoders/devil.h"
#include <IL/ilut.h>

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point begin) {
    return std::chrono::duration<double, std::milli>(Clock::now() - begin).count();
}

// The JPEGs come from bench/decode.sh.
std::string benchImage(const char* name) {
    const char* dir = std::getenv("OLVISTRA_BENCH_DIR");
    return dir ? std::string(dir) + "/" + name : std::string();
}

// The decode and texture upload as the viewer did them in its own process.
double inProcessMs(const std::string& path) {
    Clock::time_point begin = Clock::now();
    EXPECT_TRUE(decodeImage(path));
    GLuint texture = ilutGLBindTexImage();
    glFinish();
    double ms = msSince(begin);
    glDeleteTextures(1, &texture);
    return ms;
}

// Shown first: the helper is new, started by the viewer while its window
// opens (warm) or by this very decode (cold).
double throughHelperMs(const std::string& path, bool warm) {
    endDecoding();
    if (warm) {
        decodeServiceStart();
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }
    Clock::time_point begin = Clock::now();
    FileInfoImg entry(path);
    openDecoded(entry);
    glFinish();
    double ms = msSince(begin);
    EXPECT_NE(entry.texture, 0u);
    entry.unload();
    return ms;
}

// From the step (current moves on) to the finished frame showing it.
double steppedToAheadMs(const std::string& dir) {
    fileList = new FileList(dir);
    for (int i = 0; i < 300; ++i) {  // shown entry loaded, neighbour ready
        if (advanceDecoding(fileList)) getDecoded(*fileList, fileList->current());
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    Clock::time_point begin = Clock::now();
    fileList->moveTo(1);
    EXPECT_TRUE(advanceDecoding(fileList));
    setupProjection(1024, 768);
    renderScene(fileList);
    glFinish();
    double ms = msSince(begin);
    delete fileList;
    fileList = nullptr;
    endDecoding();
    return ms;
}

// One decode by a warm helper, from the request to the mapped pixels.
double helperDecodeMs(const std::string& path) {
    decodeServiceStart();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    Clock::time_point begin = Clock::now();
    EXPECT_TRUE(decodeServiceSubmit(path.c_str(), 0, decodeTimeLimitMsFor(path.c_str())));
    DecodedImage image;
    DecodeJobState state = DecodeJobState::running;
    while (state == DecodeJobState::running) state = decodeServicePoll(1000, &image);
    double ms = msSince(begin);
    EXPECT_EQ(state, DecodeJobState::done);
    releaseDecodedImage(&image);
    return ms;
}

// A copy of the JPEG with one more segment after its start of image.
std::string copyWithSegment(const std::string& path, const std::string& segment, const std::string& suffix) {
    std::string jpeg;
    if (FILE* in = std::fopen(path.c_str(), "rb")) {
        char buffer[65536];
        for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, in)) > 0;) jpeg.append(buffer, got);
        std::fclose(in);
    }
    std::string copy = path.substr(0, path.size() - 4) + suffix;
    if (FILE* out = std::fopen(copy.c_str(), "wb")) {
        std::string bytes = jpeg.substr(0, 2) + segment + jpeg.substr(2);
        std::fwrite(bytes.data(), 1, bytes.size(), out);
        std::fclose(out);
    }
    return copy;
}

// A copy of the JPEG whose EXIF block says "turn a quarter clockwise".
std::string turnedCopy(const std::string& path) {
    const char tiff[] = "Exif\0\0II*\0\x08\0\0\0\x01\0\x12\x01\x03\0\x01\0\0\0\x06\0\0\0\0\0\0\0";
    std::string segment = std::string("\xff\xe1\0", 3) + char(sizeof tiff - 1 + 2) + std::string(tiff, sizeof tiff - 1);
    return copyWithSegment(path, segment, "-turned.jpg");
}

// A copy of the JPEG carrying a Display P3 profile made by Little CMS.
std::string p3Copy(const std::string& path) {
    const cmsCIExyY white = {0.3127, 0.3290, 1};
    const cmsCIExyYTRIPLE primaries = {{0.680, 0.320, 1}, {0.265, 0.690, 1}, {0.150, 0.060, 1}};
    cmsToneCurve* curve = cmsBuildGamma(nullptr, 2.2);
    cmsToneCurve* curves[3] = {curve, curve, curve};
    cmsHPROFILE profile = cmsCreateRGBProfile(&white, &primaries, curves);
    cmsFreeToneCurve(curve);
    cmsUInt32Number size = 0;
    cmsSaveProfileToMem(profile, nullptr, &size);
    std::string icc(size, '\0');
    cmsSaveProfileToMem(profile, &icc[0], &size);
    cmsCloseProfile(profile);
    std::string body = std::string("ICC_PROFILE\0\1\1", 14) + icc;
    std::string segment = std::string("\xff\xe2", 2) + char((body.size() + 2) >> 8) + char((body.size() + 2) & 0xFF) + body;
    return copyWithSegment(path, segment, "-p3.jpg");
}

}  // namespace

// What converting a photo's colours through its embedded profile adds to its
// decode in the helper (the pixels shrunk to the built-in cap, 2048).
TEST(DecodeBench, DISABLED_ProfiledPhotoOverUntagged) {
    std::string big = benchImage("big/a.jpg");
    if (big.empty()) GTEST_SKIP() << "OLVISTRA_BENCH_DIR is not set";
    std::string tagged = p3Copy(big);
    double plain = 1e9, profiled = 1e9;
    for (int round = 0; round < 9; ++round) {
        plain = std::min(plain, helperDecodeMs(big));
        profiled = std::min(profiled, helperDecodeMs(tagged));
    }
    std::printf("6000x4000 decode in the helper, best of 9: untagged %.0f ms, with a P3 profile %.0f ms (%.3fx)\n",
                plain, profiled, profiled / plain);
    std::remove(tagged.c_str());
    endDecoding();
}

// What the upright turn of a photo adds to its decode in the helper.
TEST(DecodeBench, DISABLED_TurnedPhotoOverUnturned) {
    std::string big = benchImage("big/a.jpg");
    if (big.empty()) GTEST_SKIP() << "OLVISTRA_BENCH_DIR is not set";
    std::string turned = turnedCopy(big);
    double plain = 1e9, quarter = 1e9;
    for (int round = 0; round < 5; ++round) {
        plain = std::min(plain, helperDecodeMs(big));
        quarter = std::min(quarter, helperDecodeMs(turned));
    }
    std::printf("6000x4000 decode in the helper, best of 5: as stored %.0f ms, turned a quarter %.0f ms (%+.1f%%)\n",
                plain, quarter, (quarter / plain - 1) * 100);
    std::remove(turned.c_str());
    endDecoding();
}

TEST(DecodeBench, DISABLED_IsolationOverheadAndStepToAheadNeighbour) {
    GLTestContext gl;
    setupRenderState();
    std::string big = benchImage("big/a.jpg");
    if (big.empty()) GTEST_SKIP() << "OLVISTRA_BENCH_DIR is not set";
    for (int round = 0; round < 3; ++round) {
        double inside = inProcessMs(big);
        double cold = throughHelperMs(big, false);
        double warm = throughHelperMs(big, true);
        std::printf("6000x4000 shown first: in-process %.0f ms, helper started with it %.0f ms (%+.1f%%), "
                    "helper started at launch %.0f ms (%+.1f%%)\n",
                    inside, cold, (cold / inside - 1) * 100, warm, (warm / inside - 1) * 100);
    }
    for (const char* size : {"hd", "big"}) {
        for (int round = 0; round < 3; ++round)
            std::printf("%s: step to a neighbour decoded ahead, to finished frame: %.1f ms\n", size,
                        steppedToAheadMs(benchImage(size) + "/"));
    }
}
