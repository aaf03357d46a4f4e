#include "util/shrink.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>


namespace {

// The pre-shrink sums whole blocks of source pixels, which costs one add a
// byte, and stops at 2.5 times the target or above: from there on the
// Catmull-Rom filter alone decides what is kept. The filter's cost grows
// with that multiple, and a block's own aliasing with its size: at twice
// the target a fine zone plate keeps a ripple of 3.4 levels, at 2.5 times
// 2.6, at 4 times 1.7, at a cost of 14, 17 and 30 ms on a 6000 x 4000
// photo (bench/shrink.sh prints both). Catmull-Rom keeps a photo closest to
// a Lanczos resize (a Mitchell filter is softer), at the same cost.
const uint64_t preShrinkTenths = 25;

// The block side along one axis: as large as leaves the target's cells at
// least preShrinkTenths / 10 blocks each.
uint32_t blockSide(uint32_t source, uint32_t target) {
    return std::max(1u, uint32_t(uint64_t(source) * 10 / (uint64_t(target) * preShrinkTenths)));
}

float catmullRom(float distance) {
    float t = std::fabs(distance);
    if (t < 1.0f) return (1.5f * t - 2.5f) * t * t + 1.0f;
    if (t < 2.0f) return ((-0.5f * t + 2.5f) * t - 4.0f) * t + 2.0f;
    return 0.0f;
}

// The filter along one axis: target cell j is the weighted sum of `taps`
// source cells from first[j] on, weights adding up to 1. Cells past the
// picture's edge lend their weight to the edge cell.
struct Taps {
    std::vector<uint32_t> first;
    std::vector<float> weights;  // `taps` per target cell
    uint32_t taps = 0;
};

// `cells` source cells spanning `length` cells' worth of the picture (the
// last cell of a block pre-shrink may be a part one) onto `target` cells.
Taps catmullRomTaps(uint32_t cells, double length, uint32_t target) {
    Taps result;
    double scale = length / target;
    double support = 2.0 * std::max(scale, 1.0);
    uint32_t taps = uint32_t(std::ceil(2.0 * support)) + 1;
    result.taps = std::min(taps, cells);
    result.first.resize(target);
    result.weights.assign(size_t(target) * result.taps, 0.0f);
    for (uint32_t j = 0; j < target; ++j) {
        double centre = (j + 0.5) * scale;
        int64_t from = int64_t(std::floor(centre - support));
        int64_t start = std::clamp<int64_t>(from, 0, int64_t(cells - result.taps));
        float* weight = &result.weights[size_t(j) * result.taps];
        float total = 0.0f;
        for (int64_t i = from; i < from + int64_t(taps); ++i) {
            float w = catmullRom(float((i + 0.5 - centre) / std::max(scale, 1.0)));
            int64_t cell = std::clamp<int64_t>(i, 0, int64_t(cells) - 1);
            weight[cell - start] += w;
            total += w;
        }
        for (uint32_t s = 0; s < result.taps; ++s) weight[s] /= total;
        result.first[j] = uint32_t(start);
    }
    return result;
}

// Premultiplied sums of a large block pass 32 bits (255 * 255 * 66,052
// pixels), hence 64-bit totals.
//
// Sums of `count` consecutive pixels (`block` of them when it is not 0) of
// a row of column sums, as floats times `scale`; the picture's last block
// may be a part one, scaled by `lastScale`.
template <uint32_t channels, uint32_t block, typename Sum>
void sumAcross(const Sum* __restrict sum, uint32_t width, uint32_t blockWidth, float scale, float lastScale,
               float* __restrict out) {
    const uint32_t count = block ? block : blockWidth;
    uint32_t whole = width / count;
    for (uint32_t i = 0; i < whole; ++i) {
        uint64_t total[channels] = {};
        for (uint32_t x = 0; x < count; ++x, sum += channels)
            for (uint32_t c = 0; c < channels; ++c) total[c] += sum[c];
        for (uint32_t c = 0; c < channels; ++c) *out++ = float(total[c]) * scale;
    }
    uint32_t rest = width - whole * count;
    if (rest == 0) return;
    uint64_t total[channels] = {};
    for (uint32_t x = 0; x < rest; ++x, sum += channels)
        for (uint32_t c = 0; c < channels; ++c) total[c] += sum[c];
    for (uint32_t c = 0; c < channels; ++c) *out++ = float(total[c]) * lastScale;
}

template <uint32_t channels, typename Sum>
void sumAcrossBlocks(const Sum* sum, uint32_t width, uint32_t blockWidth, float scale, float lastScale, float* out) {
    switch (blockWidth) {
        case 1: sumAcross<channels, 1>(sum, width, blockWidth, scale, lastScale, out); break;
        case 2: sumAcross<channels, 2>(sum, width, blockWidth, scale, lastScale, out); break;
        case 3: sumAcross<channels, 3>(sum, width, blockWidth, scale, lastScale, out); break;
        case 4: sumAcross<channels, 4>(sum, width, blockWidth, scale, lastScale, out); break;
        default: sumAcross<channels, 0>(sum, width, blockWidth, scale, lastScale, out); break;
    }
}

// The picture as blocks of blockWidth x blockHeight source pixels, one block
// row at a time, as floats: the block's mean, colours weighted by alpha
// (premultiplied) when the picture has it. Down the rows the sums are
// 16-bit where they fit, which doubles what one instruction adds.
class BlockRows {
public:
    BlockRows(const unsigned char* source, uint32_t width, uint32_t height, uint32_t channels, bool alpha,
              uint32_t blockWidth, uint32_t blockHeight)
        : source_(source), width_(width), height_(height), channels_(channels), alpha_(alpha),
          blockWidth_(blockWidth), blockHeight_(blockHeight),
          narrow_(!alpha && blockHeight <= 65535 / 255) {
        if (narrow_)
            narrowSums_.resize(size_t(width) * channels);
        else
            sums_.resize(size_t(width) * channels);
    }

    uint32_t columns() const { return (width_ + blockWidth_ - 1) / blockWidth_; }
    uint32_t rows() const { return (height_ + blockHeight_ - 1) / blockHeight_; }
    size_t rowFloats() const { return size_t(columns()) * channels_; }

    void row(uint32_t index, float* __restrict out) {
        uint32_t top = index * blockHeight_, bottom = std::min(top + blockHeight_, height_);
        if (blockWidth_ == 1 && blockHeight_ == 1 && !alpha_) {  // no pre-shrink: the row as it is
            const unsigned char* __restrict in = source_ + size_t(top) * width_ * channels_;
            for (size_t k = 0; k < size_t(width_) * channels_; ++k) out[k] = float(in[k]);
            return;
        }
        if (narrow_)
            sumDown(top, bottom, narrowSums_.data());
        else if (alpha_)
            sumDownPremultiplied(top, bottom);
        else
            sumDown(top, bottom, sums_.data());
        // Premultiplied sums carry a factor of 255.
        float unit = alpha_ ? 255.0f : 1.0f;
        uint32_t rest = width_ % blockWidth_;
        float scale = 1.0f / (unit * float(blockWidth_) * float(bottom - top));
        float lastScale = 1.0f / (unit * float(rest ? rest : blockWidth_) * float(bottom - top));
        if (narrow_)
            across(narrowSums_.data(), scale, lastScale, out);
        else
            across(sums_.data(), scale, lastScale, out);
    }

private:
    template <typename Sum>
    void sumDown(uint32_t top, uint32_t bottom, Sum* __restrict sum) const {
        size_t rowBytes = size_t(width_) * channels_;
        const unsigned char* __restrict in = source_ + size_t(top) * rowBytes;
        for (size_t k = 0; k < rowBytes; ++k) sum[k] = in[k];
        for (uint32_t y = top + 1; y < bottom; ++y) {
            in += rowBytes;
            for (size_t k = 0; k < rowBytes; ++k) sum[k] = Sum(sum[k] + in[k]);
        }
    }

    void sumDownPremultiplied(uint32_t top, uint32_t bottom) {
        std::fill(sums_.begin(), sums_.end(), 0u);
        for (uint32_t y = top; y < bottom; ++y) {
            const unsigned char* in = source_ + size_t(y) * width_ * channels_;
            if (channels_ == 2)
                addPremultiplied<2>(in);
            else
                addPremultiplied<4>(in);
        }
    }

    template <uint32_t channels>
    void addPremultiplied(const unsigned char* __restrict in) {
        uint32_t* __restrict sum = sums_.data();
        for (uint32_t x = 0; x < width_; ++x, in += channels, sum += channels) {
            uint32_t a = in[channels - 1];
            for (uint32_t c = 0; c + 1 < channels; ++c) sum[c] += in[c] * a;
            sum[channels - 1] += a * 255;
        }
    }

    template <typename Sum>
    void across(const Sum* sum, float scale, float lastScale, float* out) const {
        switch (channels_) {
            case 1: sumAcrossBlocks<1>(sum, width_, blockWidth_, scale, lastScale, out); break;
            case 2: sumAcrossBlocks<2>(sum, width_, blockWidth_, scale, lastScale, out); break;
            case 3: sumAcrossBlocks<3>(sum, width_, blockWidth_, scale, lastScale, out); break;
            default: sumAcrossBlocks<4>(sum, width_, blockWidth_, scale, lastScale, out); break;
        }
    }

    const unsigned char* source_;
    uint32_t width_, height_, channels_;
    bool alpha_;
    uint32_t blockWidth_, blockHeight_;
    bool narrow_;
    std::vector<uint16_t> narrowSums_;
    std::vector<uint32_t> sums_;
};

unsigned char toByte(float value) {
    if (!(value > 0.0f)) return 0;
    return value >= 254.5f ? 255 : (unsigned char)(value + 0.5f);
}

// One target row from its filtered floats: rounded, clamped, and with alpha
// the colours taken out of premultiplication.
void writeRow(const float* row, uint32_t width, uint32_t channels, bool alpha, unsigned char* out) {
    if (!alpha) {
        for (size_t k = 0; k < size_t(width) * channels; ++k) out[k] = toByte(row[k]);
        return;
    }
    for (uint32_t x = 0; x < width; ++x, row += channels, out += channels) {
        float a = row[channels - 1];
        float unpremultiply = a >= 0.5f ? 255.0f / a : 0.0f;
        for (uint32_t c = 0; c + 1 < channels; ++c) out[c] = toByte(row[c] * unpremultiply);
        out[channels - 1] = toByte(a);
    }
}

template <uint32_t channels>
void filterAcross(const float* column, const Taps& across, uint32_t targetWidth, float* out) {
    const float* weight = across.weights.data();
    for (uint32_t i = 0; i < targetWidth; ++i, weight += across.taps) {
        const float* at = column + size_t(across.first[i]) * channels;
        float total[channels] = {};
        for (uint32_t s = 0; s < across.taps; ++s, at += channels)
            for (uint32_t c = 0; c < channels; ++c) total[c] += at[c] * weight[s];
        for (uint32_t c = 0; c < channels; ++c) *out++ = total[c];
    }
}

// The block rows the filter down the picture reaches, kept in a ring of as
// many rows as it has taps and made as it first reaches them.
class RowWindow {
public:
    RowWindow(BlockRows& blocks, uint32_t size) : blocks_(blocks), size_(size), rows_(size * blocks.rowFloats()) {}

    const float* row(uint32_t index) {
        float* slot = &rows_[size_t(index % size_) * blocks_.rowFloats()];
        while (made_ <= index) {
            blocks_.row(made_, &rows_[size_t(made_ % size_) * blocks_.rowFloats()]);
            ++made_;
        }
        return slot;
    }

private:
    BlockRows& blocks_;
    uint32_t size_;
    std::vector<float> rows_;
    uint32_t made_ = 0;
};

}  // namespace

void shrinkPixels(const unsigned char* source, uint32_t width, uint32_t height, uint32_t channels,
                  unsigned char* target, uint32_t targetWidth, uint32_t targetHeight) {
    bool alpha = channels == 2 || channels == 4;
    uint32_t blockWidth = blockSide(width, targetWidth), blockHeight = blockSide(height, targetHeight);
    BlockRows blocks(source, width, height, channels, alpha, blockWidth, blockHeight);
    Taps across = catmullRomTaps(blocks.columns(), double(width) / blockWidth, targetWidth);
    Taps down = catmullRomTaps(blocks.rows(), double(height) / blockHeight, targetHeight);
    RowWindow window(blocks, down.taps);
    size_t rowFloats = blocks.rowFloats();
    std::vector<float> column(rowFloats), filtered(size_t(targetWidth) * channels);
    for (uint32_t j = 0; j < targetHeight; ++j) {
        // Down the block rows first, along whole rows; then across.
        std::fill(column.begin(), column.end(), 0.0f);
        const float* weight = &down.weights[size_t(j) * down.taps];
        uint32_t s = 0;
        // Four rows a pass: the sums are loaded and stored a quarter as often.
        for (; s + 4 <= down.taps; s += 4) {
            const float* __restrict in0 = window.row(down.first[j] + s);
            const float* __restrict in1 = window.row(down.first[j] + s + 1);
            const float* __restrict in2 = window.row(down.first[j] + s + 2);
            const float* __restrict in3 = window.row(down.first[j] + s + 3);
            float* __restrict sum = column.data();
            float w0 = weight[s], w1 = weight[s + 1], w2 = weight[s + 2], w3 = weight[s + 3];
            for (size_t k = 0; k < rowFloats; ++k) sum[k] += in0[k] * w0 + in1[k] * w1 + in2[k] * w2 + in3[k] * w3;
        }
        for (; s < down.taps; ++s) {
            const float* __restrict in = window.row(down.first[j] + s);
            float* __restrict sum = column.data();
            float w = weight[s];
            for (size_t k = 0; k < rowFloats; ++k) sum[k] += in[k] * w;
        }
        switch (channels) {
            case 1: filterAcross<1>(column.data(), across, targetWidth, filtered.data()); break;
            case 2: filterAcross<2>(column.data(), across, targetWidth, filtered.data()); break;
            case 3: filterAcross<3>(column.data(), across, targetWidth, filtered.data()); break;
            default: filterAcross<4>(column.data(), across, targetWidth, filtered.data()); break;
        }
        writeRow(filtered.data(), targetWidth, channels, alpha, target + size_t(j) * targetWidth * channels);
    }
}
