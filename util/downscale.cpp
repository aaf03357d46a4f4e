#include "util/downscale.h"

#include <algorithm>
#include <cstddef>
#include <vector>

namespace {

// The overlap of each target cell with the source cells along one axis, in
// units of 1 / (source length * target length) of the picture's side: source
// cell i spans [i * target, (i + 1) * target) and target cell j spans
// [j * source, (j + 1) * source), so every weight is a whole number and the
// weights of one target cell add up to `source`. Every cell gets `reach`
// weights from its first source cell on, the unused ones 0.
struct Spans {
    std::vector<uint32_t> first;
    std::vector<uint32_t> weights;  // reach per target cell
    uint32_t reach = 0;
};

Spans spans(uint32_t source, uint32_t target) {
    Spans result;
    result.reach = uint32_t((uint64_t(source) + target - 1) / target) + 1;
    if (result.reach > source) result.reach = source;
    result.first.resize(target);
    result.weights.assign(size_t(target) * result.reach, 0);
    for (uint32_t j = 0; j < target; ++j) {
        uint64_t begin = uint64_t(j) * source, end = begin + source;
        uint64_t i = begin / target;
        // The last cells may not reach `reach` source cells further.
        uint64_t last = source > result.reach ? source - result.reach : 0;
        uint64_t first = i < last ? i : last;
        result.first[j] = uint32_t(first);
        uint32_t* weight = &result.weights[size_t(j) * result.reach];
        for (; i * target < end; ++i) {
            uint64_t from = i * target > begin ? i * target : begin;
            uint64_t to = (i + 1) * target < end ? (i + 1) * target : end;
            weight[i - first] = uint32_t(to - from);
        }
    }
    return result;
}

// Column sums are at most 255 * height, so 32 bits serve below 16 million
// source rows; the row sums are at most 255 * width * height.
template <typename ColumnSum>
void sumRows(const unsigned char* __restrict in, ColumnSum weight, size_t count, ColumnSum* __restrict sum) {
    for (size_t k = 0; k < count; ++k) sum[k] += ColumnSum(in[k]) * weight;
}

template <typename ColumnSum, uint32_t channels>
void sumColumns(const ColumnSum* sums, const Spans& columns, uint32_t targetWidth, double scale, unsigned char* out) {
    const uint32_t reach = columns.reach;
    const uint32_t* weight = columns.weights.data();
    for (uint32_t i = 0; i < targetWidth; ++i, weight += reach) {
        const ColumnSum* at = sums + size_t(columns.first[i]) * channels;
        uint64_t total[channels] = {};
        for (uint32_t s = 0; s < reach; ++s, at += channels)
            for (uint32_t c = 0; c < channels; ++c) total[c] += uint64_t(at[c]) * weight[s];
        for (uint32_t c = 0; c < channels; ++c) {
            double mean = double(total[c]) * scale + 0.5;
            *out++ = mean >= 255.0 ? 255 : (unsigned char)(mean);
        }
    }
}

template <typename ColumnSum>
void shrink(const unsigned char* source, uint32_t width, uint32_t height, uint32_t channels, unsigned char* target,
            uint32_t targetWidth, uint32_t targetHeight) {
    Spans rows = spans(height, targetHeight), columns = spans(width, targetWidth);
    size_t rowBytes = size_t(width) * channels;
    std::vector<ColumnSum> sums(rowBytes);
    double scale = 1.0 / (double(width) * double(height));
    for (uint32_t j = 0; j < targetHeight; ++j) {
        // Down the source rows first, along whole rows; then across the
        // column sums of this target row.
        std::fill(sums.begin(), sums.end(), ColumnSum(0));
        const uint32_t* weight = &rows.weights[size_t(j) * rows.reach];
        for (uint32_t r = 0; r < rows.reach; ++r) {
            if (weight[r] == 0) continue;
            const unsigned char* in = source + (size_t(rows.first[j]) + r) * rowBytes;
            sumRows<ColumnSum>(in, ColumnSum(weight[r]), rowBytes, sums.data());
        }
        unsigned char* out = target + size_t(j) * targetWidth * channels;
        switch (channels) {
            case 1: sumColumns<ColumnSum, 1>(sums.data(), columns, targetWidth, scale, out); break;
            case 2: sumColumns<ColumnSum, 2>(sums.data(), columns, targetWidth, scale, out); break;
            case 3: sumColumns<ColumnSum, 3>(sums.data(), columns, targetWidth, scale, out); break;
            default: sumColumns<ColumnSum, 4>(sums.data(), columns, targetWidth, scale, out); break;
        }
    }
}


// The fast path for common ratios: the same overlaps, turned into weights
// in fixed point that add up to exactly 2^bits per target cell, so a plain
// colour stays exact and a mean moves by a step or two at most. Down the
// rows, 8-bit weights keep every sum within 16 bits (255 * 256), which lets
// the compiler work on eight or sixteen bytes at once; across, the 8.8
// fixed-point sums times weights of 2^16 in all stay below 2^32.
const uint32_t rowWeightBits = 8;
const uint32_t columnWeightBits = 16;
// Beyond this many source cells per target cell the rounding of 8-bit
// weights would show; such shrinks take the exact path.
const uint32_t fastMaxRatio = 16;

std::vector<uint32_t> fixedWeights(const Spans& exact, uint32_t source, uint32_t bits) {
    std::vector<uint32_t> fixed(exact.weights.size());
    const uint64_t one = uint64_t(1) << bits;
    for (size_t cell = 0; cell * exact.reach < exact.weights.size(); ++cell) {
        const uint32_t* from = &exact.weights[cell * exact.reach];
        uint32_t* to = &fixed[cell * exact.reach];
        uint64_t total = 0;
        uint32_t largest = 0;
        for (uint32_t s = 0; s < exact.reach; ++s) {
            to[s] = uint32_t((uint64_t(from[s]) * one + source / 2) / source);
            total += to[s];
            if (to[s] > to[largest]) largest = s;
        }
        to[largest] = uint32_t(to[largest] + one - total);  // rounding leftovers
    }
    return fixed;
}

void sumRowsFixed(const unsigned char* __restrict in, uint16_t weight, size_t count, uint16_t* __restrict sum) {
    for (size_t k = 0; k < count; ++k) sum[k] = uint16_t(sum[k] + uint16_t(in[k]) * weight);
}

template <uint32_t channels>
void sumColumnsFixed(const uint16_t* sums, const Spans& columns, const uint32_t* weights, uint32_t targetWidth,
                     unsigned char* out) {
    const uint32_t reach = columns.reach;
    const uint32_t* weight = weights;
    for (uint32_t i = 0; i < targetWidth; ++i, weight += reach) {
        const uint16_t* at = sums + size_t(columns.first[i]) * channels;
        uint32_t total[channels] = {};
        for (uint32_t s = 0; s < reach; ++s, at += channels)
            for (uint32_t c = 0; c < channels; ++c) total[c] += uint32_t(at[c]) * weight[s];
        for (uint32_t c = 0; c < channels; ++c) *out++ = (unsigned char)((total[c] + (1u << 23)) >> 24);
    }
}

void shrinkFixed(const unsigned char* source, uint32_t width, uint32_t height, uint32_t channels,
                 unsigned char* target, uint32_t targetWidth, uint32_t targetHeight) {
    Spans rows = spans(height, targetHeight), columns = spans(width, targetWidth);
    std::vector<uint32_t> rowWeights = fixedWeights(rows, height, rowWeightBits);
    std::vector<uint32_t> columnWeights = fixedWeights(columns, width, columnWeightBits);
    size_t rowBytes = size_t(width) * channels;
    std::vector<uint16_t> sums(rowBytes);
    for (uint32_t j = 0; j < targetHeight; ++j) {
        std::fill(sums.begin(), sums.end(), uint16_t(0));
        const uint32_t* weight = &rowWeights[size_t(j) * rows.reach];
        for (uint32_t r = 0; r < rows.reach; ++r) {
            if (weight[r] == 0) continue;
            const unsigned char* in = source + (size_t(rows.first[j]) + r) * rowBytes;
            sumRowsFixed(in, uint16_t(weight[r]), rowBytes, sums.data());
        }
        unsigned char* out = target + size_t(j) * targetWidth * channels;
        switch (channels) {
            case 1: sumColumnsFixed<1>(sums.data(), columns, columnWeights.data(), targetWidth, out); break;
            case 2: sumColumnsFixed<2>(sums.data(), columns, columnWeights.data(), targetWidth, out); break;
            case 3: sumColumnsFixed<3>(sums.data(), columns, columnWeights.data(), targetWidth, out); break;
            default: sumColumnsFixed<4>(sums.data(), columns, columnWeights.data(), targetWidth, out); break;
        }
    }
}

}  // namespace

uint32_t pixelSideCap(uint32_t requested) {
    return requested == 0 || requested > textureSideCap ? textureSideCap : requested;
}

void cappedSize(uint32_t width, uint32_t height, uint32_t maxSide, uint32_t* cappedWidth, uint32_t* cappedHeight) {
    *cappedWidth = width;
    *cappedHeight = height;
    uint32_t longer = width > height ? width : height;
    if (longer <= maxSide || maxSide == 0) return;
    uint32_t shorter = width > height ? height : width;
    uint64_t rounded = (uint64_t(shorter) * maxSide * 2 + longer) / (uint64_t(longer) * 2);
    uint32_t side = rounded == 0 ? 1 : uint32_t(rounded);
    *cappedWidth = width > height ? maxSide : side;
    *cappedHeight = width > height ? side : maxSide;
}

void downscaleBox(const unsigned char* source, uint32_t width, uint32_t height, uint32_t channels,
                  unsigned char* target, uint32_t targetWidth, uint32_t targetHeight) {
    if (width / targetWidth <= fastMaxRatio && height / targetHeight <= fastMaxRatio) {
        shrinkFixed(source, width, height, channels, target, targetWidth, targetHeight);
    } else if (height < (1u << 24)) {
        shrink<uint32_t>(source, width, height, channels, target, targetWidth, targetHeight);
    } else {
        shrink<uint64_t>(source, width, height, channels, target, targetWidth, targetHeight);
    }
}
