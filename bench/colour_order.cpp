// Figures for the order of work on 8-bit pictures drawn smaller, printed
// rather than checked (run through bench/shrink.sh): the helper shrinks
// first and converts the few shrunk pixels to the display's colours; this
// prints how far that lands from converting every pixel first, for
// pictures stored in Display P3 (gamma 2.2) shown on an sRGB display, and
// what making the conversion and running it on either costs.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

#include "decoders/colour_transform.h"
#include "util/shrink.h"

namespace {

const uint32_t width = 2400, height = 1600, targetWidth = 742, targetHeight = 495;

ColourConversion p3ToDisplay() {
    ColourDescription p3;
    p3.kind = ColourDescription::Kind::numbers;
    p3.primaries.red[0] = 0.680, p3.primaries.red[1] = 0.320;
    p3.primaries.green[0] = 0.265, p3.primaries.green[1] = 0.690;
    p3.primaries.blue[0] = 0.150, p3.primaries.blue[1] = 0.060;
    p3.gamma = 2.2;
    SampleLayout layout;
    layout.channels = 3;
    return conversionFor(p3, layout);
}

// The largest and the mean difference of any sample, shrink-then-convert
// against convert-then-shrink.
void compare(const char* name, const std::vector<unsigned char>& picture, const ColourConversion& colours) {
    std::vector<unsigned char> converted(picture.size());
    colours.convert(picture.data(), converted.data(), size_t(width) * height);
    std::vector<unsigned char> first(size_t(targetWidth) * targetHeight * 3), after(first.size());
    shrinkPixels(converted.data(), width, height, 3, first.data(), targetWidth, targetHeight);
    shrinkPixels(picture.data(), width, height, 3, after.data(), targetWidth, targetHeight);
    colours.convert(after.data(), after.data(), size_t(targetWidth) * targetHeight);
    int largest = 0;
    double total = 0;
    size_t clipped = 0, beyondOne = 0;
    for (size_t i = 0; i < first.size(); ++i) {
        int difference = std::abs(int(first[i]) - int(after[i]));
        largest = std::max(largest, difference);
        total += difference;
        beyondOne += difference > 1;
    }
    for (unsigned char sample : converted) clipped += sample == 0 || sample == 255;
    std::printf("%-44s largest %2d, mean %.2f, %.2f%% over 1 level (%.1f%% of samples clip when converted)\n", name,
                largest, total / double(first.size()), 100.0 * double(beyondOne) / double(first.size()),
                100.0 * double(clipped) / double(converted.size()));
}

// Noise of `spread` around a colour that drifts across the picture.
std::vector<unsigned char> texture(int red, int green, int blue, double spread) {
    std::vector<unsigned char> pixels(size_t(width) * height * 3);
    std::mt19937 random(3);
    std::normal_distribution<double> noise(0.0, spread);
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x) {
            int base[3] = {red, green + int(40.0 * x / width), blue + int(40.0 * y / height)};
            for (int c = 0; c < 3; ++c)
                pixels[(size_t(y) * width + x) * 3 + c] = (unsigned char)std::clamp(base[c] + noise(random), 0.0, 255.0);
        }
    return pixels;
}

// One-pixel squares of two colours.
std::vector<unsigned char> checker(const unsigned char (&one)[3], const unsigned char (&other)[3]) {
    std::vector<unsigned char> pixels(size_t(width) * height * 3);
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x)
            for (int c = 0; c < 3; ++c) pixels[(size_t(y) * width + x) * 3 + c] = ((x + y) % 2 ? one : other)[c];
    return pixels;
}

double msSince(std::chrono::steady_clock::time_point begin) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - begin).count();
}

}  // namespace

int main() {
    auto begin = std::chrono::steady_clock::now();
    ColourConversion colours = p3ToDisplay();
    double madeMs = msSince(begin);
    if (!colours.active()) {
        std::printf("no conversion made\n");
        return 1;
    }
    // Photo-like pixels (no two neighbours alike, so Little CMS's cache of
    // the last pixel does not help); a 6000 x 4000 photo has 6.25 times as
    // many as the 2400 x 1600 here.
    std::vector<unsigned char> photo = texture(150, 110, 90, 25.0);
    begin = std::chrono::steady_clock::now();
    colours.convert(photo.data(), photo.data(), size_t(targetWidth) * targetHeight);
    double shrunkMs = msSince(begin);
    photo = texture(150, 110, 90, 25.0);
    begin = std::chrono::steady_clock::now();
    colours.convert(photo.data(), photo.data(), size_t(width) * height);
    double wholeMs = msSince(begin);
    std::printf("P3 to sRGB: making the conversion %.1f ms; converting %ux%u %.1f ms, %ux%u %.1f ms\n", madeMs,
                targetWidth, targetHeight, shrunkMs, width, height, wholeMs);
    std::printf("P3 (gamma 2.2) %ux%u -> %ux%u on an sRGB display, shrink-then-convert against convert-first:\n",
                width, height, targetWidth, targetHeight);
    compare("photo-like, in the sRGB gamut", texture(150, 110, 90, 25.0), colours);
    compare("photo-like, saturated past the sRGB gamut", texture(235, 30, 20, 25.0), colours);
    compare("pixel checker, grey 40 / grey 220", checker({40, 40, 40}, {220, 220, 220}), colours);
    compare("pixel checker, P3 red / P3 green", checker({255, 0, 0}, {0, 255, 0}), colours);
    return 0;
}
