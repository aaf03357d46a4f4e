// Figures for util/shrink, printed rather than checked (run through
// bench/shrink.sh, built as the Release build builds it): the time to shrink
// a 6000 x 4000 and a 1920 x 1080 photo to the square a 1024 x 768 window
// draws them in, beside the plain area average (util/downscale) it
// replaced, and the ripple a zone plate keeps beyond the target's Nyquist
// radius.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <random>
#include <vector>

#include "util/downscale.h"
#include "util/shrink.h"

namespace {

using Clock = std::chrono::steady_clock;

// Gradient and noise, like bench/run's big.jpg.
std::vector<unsigned char> photo(uint32_t width, uint32_t height, uint32_t channels) {
    std::vector<unsigned char> pixels(size_t(width) * height * channels);
    std::mt19937 random(1);
    std::normal_distribution<double> noise(0.0, 20.0);
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x)
            for (uint32_t c = 0; c < channels; ++c) {
                double base = c == 0 ? 255.0 : c == 1 ? 128.0 + 80.0 * x / width : 64.0;
                double value = c == 3 ? 255.0 : base + noise(random);
                pixels[(size_t(y) * width + x) * channels + c] = (unsigned char)std::clamp(value, 0.0, 255.0);
            }
    return pixels;
}

// 127.5 + 127.5 cos(pi r^2 / side), grey, in three channels.
std::vector<unsigned char> zonePlate(uint32_t side) {
    std::vector<unsigned char> pixels(size_t(side) * side * 3);
    for (uint32_t y = 0; y < side; ++y)
        for (uint32_t x = 0; x < side; ++x) {
            double dx = x + 0.5 - side / 2.0, dy = y + 0.5 - side / 2.0;
            auto grey = (unsigned char)std::lround(127.5 + 127.5 * std::cos(M_PI * (dx * dx + dy * dy) / side));
            for (int c = 0; c < 3; ++c) pixels[(size_t(y) * side + x) * 3 + c] = grey;
        }
    return pixels;
}

// The spread of the shrunk plate from 1.5 times its Nyquist radius out to
// the plate's edge, as the zone-plate test counts it on screen.
double spreadBeyondNyquist(const std::vector<unsigned char>& shrunk, uint32_t target, uint32_t plateSide) {
    double scale = double(target) / plateSide;
    double from = 1.5 * target / 2.0 + 2.0 / scale, to = plateSide / 2.0 - 2.0 / scale;
    double sum = 0, squares = 0, count = 0;
    for (uint32_t y = 0; y < target; ++y)
        for (uint32_t x = 0; x < target; ++x) {
            double r = std::hypot(x + 0.5 - target / 2.0, y + 0.5 - target / 2.0) / scale;
            if (r < from || r > to) continue;
            double grey = shrunk[(size_t(y) * target + x) * 3 + 1];
            sum += grey;
            squares += grey * grey;
            count += 1;
        }
    double mean = sum / count;
    return std::sqrt(squares / count - mean * mean);
}

template <typename Shrink>
double timedMs(Shrink shrink) {
    Clock::time_point begin = Clock::now();
    shrink();
    return std::chrono::duration<double, std::milli>(Clock::now() - begin).count();
}

double median(std::vector<double> times) {
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

}  // namespace

int main() {
    struct Case {
        uint32_t width, height, channels, targetWidth, targetHeight;
    };
    const int runs = 15;
    for (Case shown : {Case{6000, 4000, 3, 742, 495}, Case{6000, 4000, 4, 742, 495}, Case{1920, 1080, 3, 742, 417}}) {
        std::vector<unsigned char> source = photo(shown.width, shown.height, shown.channels);
        std::vector<unsigned char> target(size_t(shown.targetWidth) * shown.targetHeight * shown.channels);
        auto box = [&] {
            downscaleBox(source.data(), shown.width, shown.height, shown.channels, target.data(), shown.targetWidth,
                         shown.targetHeight);
        };
        auto shrink = [&] {
            shrinkPixels(source.data(), shown.width, shown.height, shown.channels, target.data(), shown.targetWidth,
                         shown.targetHeight);
        };
        // Alternating, so that a busy spell of the machine weighs on both.
        std::vector<double> boxMs, shrinkMs;
        for (int i = 0; i < runs; ++i) {
            boxMs.push_back(timedMs(box));
            shrinkMs.push_back(timedMs(shrink));
        }
        std::printf("%ux%u, %u channels -> %ux%u: area average %.1f ms, shrink %.1f ms (median of %d)\n",
                    shown.width, shown.height, shown.channels, shown.targetWidth, shown.targetHeight, median(boxMs),
                    median(shrinkMs), runs);
    }
    for (uint32_t plateSide : {2400u, 6000u}) {
        const uint32_t target = 742;
        std::vector<unsigned char> plate = zonePlate(plateSide);
        std::vector<unsigned char> shrunk(size_t(target) * target * 3);
        downscaleBox(plate.data(), plateSide, plateSide, 3, shrunk.data(), target, target);
        double box = spreadBeyondNyquist(shrunk, target, plateSide);
        shrinkPixels(plate.data(), plateSide, plateSide, 3, shrunk.data(), target, target);
        std::printf("zone plate %u -> %u: spread beyond 1.5x Nyquist, area average %.2f, shrink %.2f\n", plateSide,
                    target, box, spreadBeyondNyquist(shrunk, target, plateSide));
    }
    return 0;
}
