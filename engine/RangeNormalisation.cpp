// Rescales the adapted luminance between a black and a white point taken from
// its histogram, so that the black point becomes 0 and the white point about 1.
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <memory>
#include <new>

#include "OutputOperator.h"
#include "ParallelRows.h"

namespace {

constexpr int32_t kTopBin = kNormalisationBins - 1;

// Values per thread below which splitting a pass is not worth a thread.
constexpr int64_t kValuesPerThread = 1 << 16;

// trunc(v) limited to 0..65535; NaN counts as bin 0.
int32_t BinOf(float v) {
    if (v >= static_cast<float>(kTopBin)) return kTopBin;
    if (v > 0) return static_cast<int32_t>(v);
    return 0;
}

// Extremes of values[begin, end), as one scan in buffer order finds them.
void ScanExtremes(const float* values, int64_t begin, int64_t end, float* minimum, float* maximum) {
    float lo = 1e9f;
    float hi = -1e9f;
    for (int64_t i = begin; i < end; ++i) {
        const float v = values[i];
        if (v > hi && v <= FLT_MAX) hi = v;
        if (v < lo && v >= -FLT_MAX) lo = v;
    }
    *minimum = lo;
    *maximum = hi;
}

// v -> (v - minimum) x scale, or the same in double when the scale is 0 or
// infinite (a range narrower than 65535 / FLT_MAX or wider than FLT_MAX).
struct RangeScaling {
    float minimum;
    float scale;
    bool wide;
    double wideScale;

    float Apply(float v) const {
        if (!wide) return (v - minimum) * scale;
        return static_cast<float>((static_cast<double>(v) - minimum) * wideScale);
    }
};

void ScaleAndCount(float* values, int64_t begin, int64_t end, const RangeScaling& scaling, int32_t* histogram) {
    for (int64_t i = begin; i < end; ++i) {
        const float v = scaling.Apply(values[i]);
        values[i] = v;
        ++histogram[BinOf(v)];
    }
}

}  // namespace

// Each chunk keeps the first strictly greater (smaller) value of its own
// part; taking the chunks' results in buffer order with the same strict
// comparisons keeps the first such value of the whole buffer, so even the
// sign of a zero extreme is the one a single scan finds.
void FindLuminanceExtremes(const float* values, int64_t count, float* minimum, float* maximum) {
    const int32_t chunks = ChunkCount(count, kValuesPerThread);
    float lows[kMaxEngineChunks];
    float highs[kMaxEngineChunks];
    for (int32_t i = 0; i < chunks; ++i) {
        lows[i] = 1e9f;
        highs[i] = -1e9f;
    }
    ForEachChunk(count, chunks, [&](int32_t chunk, int64_t begin, int64_t end) {
        ScanExtremes(values, begin, end, &lows[chunk], &highs[chunk]);
    });
    float lo = 1e9f;
    float hi = -1e9f;
    for (int32_t i = 0; i < chunks; ++i) {
        if (highs[i] > hi) hi = highs[i];
        if (lows[i] < lo) lo = lows[i];
    }
    *minimum = lo;
    *maximum = hi;
}

// Every chunk counts into a histogram of its own; the counts are then added
// into `histogram`, exactly, as integers. Without memory for the extra
// histograms the pass runs on one thread.
void ScaleIntoHistogram(float* values, int64_t count, float minimum, float maximum, float scale,
                        int32_t* histogram) {
    const bool wide = !(scale > 0 && scale <= FLT_MAX);
    const RangeScaling scaling{minimum, scale, wide,
                               wide ? 65535.0 / (static_cast<double>(maximum) - minimum) : 0.0};
    int32_t chunks = ChunkCount(count, kValuesPerThread);
    std::unique_ptr<int32_t[]> extra;
    if (chunks > 1) {
        extra.reset(new (std::nothrow) int32_t[static_cast<size_t>(chunks - 1) * kNormalisationBins]());
        if (!extra) chunks = 1;
    }
    ForEachChunk(count, chunks, [&](int32_t chunk, int64_t begin, int64_t end) {
        int32_t* own = chunk == 0 ? histogram : extra.get() + static_cast<size_t>(chunk - 1) * kNormalisationBins;
        ScaleAndCount(values, begin, end, scaling, own);
    });
    for (int32_t c = 1; c < chunks; ++c) {
        const int32_t* own = extra.get() + static_cast<size_t>(c - 1) * kNormalisationBins;
        for (int32_t b = 0; b < kNormalisationBins; ++b) histogram[b] += own[b];
    }
}

int32_t FindBlackBin(const int32_t* histogram, int64_t target) {
    int32_t i = 0;
    int64_t sum = 0;
    while (sum < target && i < kTopBin) {
        sum += histogram[i];
        ++i;
    }
    return i;
}

int32_t FindWhiteBin(const int32_t* histogram, int64_t total, int64_t target) {
    int32_t i = kTopBin - 1;  // the top bin is never subtracted
    int64_t remaining = total;
    while (remaining > target && i > 0) {
        remaining -= histogram[i];
        --i;
    }
    return i;
}

LinearMap ComputeLinearMap(float minimum, float scale, int32_t lo, int32_t hi) {
    // A white bin of 0 would divide by zero: it counts as 1.
    const int32_t divisor = hi > 0 ? hi : 1;
    const float lowLevel = minimum + static_cast<float>(lo) / scale;
    const float highLevel = lowLevel + static_cast<float>(divisor) / scale;
    float a = static_cast<float>(1.0 / static_cast<double>(highLevel - lowLevel));
    const float b = a * (minimum - lowLevel);
    a = a / scale;
    if (std::isfinite(a) && std::isfinite(b) && a > 0) return LinearMap{a, b};
    // The levels were too close for single precision: the same map, formed
    // in bin units.
    return LinearMap{1.0f / static_cast<float>(divisor), -static_cast<float>(lo) / static_cast<float>(divisor)};
}

void ApplyLinearMap(float* values, int64_t count, LinearMap map) {
    ParallelFor(count, kValuesPerThread, [&](int64_t begin, int64_t end) {
        for (int64_t i = begin; i < end; ++i) {
            float v = map.scale * values[i] + map.offset;
            if (!(v >= 0)) {
                v = 0;
            } else if (v > FLT_MAX) {
                v = FLT_MAX;
            }
            values[i] = v;
        }
    });
}

namespace {

float BlackTarget(float blackPercent, int64_t count) { return static_cast<float>(blackPercent / 200.0 * count); }

float WhiteTarget(float whitePercent, int64_t count) {
    return static_cast<float>((100 - static_cast<double>(whitePercent)) / 100 * count);
}

// The first passes of both normalisations: extremes, then every value
// rescaled to 0..65535 and counted into a new histogram. Returns 0,
// kFlatLuminance or kEngineOutOfMemory (values unchanged on both failures).
int32_t RescaleIntoHistogram(float* values, int64_t count, float* minimum, float* scale,
                             std::unique_ptr<int32_t[]>* histogram) {
    float maximum;
    FindLuminanceExtremes(values, count, minimum, &maximum);
    if (!(*minimum < maximum)) return kFlatLuminance;
    *scale = 65535.0f / (maximum - *minimum);

    histogram->reset(new (std::nothrow) int32_t[kNormalisationBins]());
    if (!*histogram) return kEngineOutOfMemory;
    ScaleIntoHistogram(values, count, *minimum, maximum, *scale, histogram->get());
    return 0;
}

}  // namespace

int32_t NormaliseLuminanceRange(float* values, int64_t count, float whitePercent, float blackPercent) {
    float minimum;
    float scale;
    std::unique_ptr<int32_t[]> histogram;
    if (int32_t failure = RescaleIntoHistogram(values, count, &minimum, &scale, &histogram)) return failure;

    const auto blackTarget = static_cast<int64_t>(BlackTarget(blackPercent, count));
    const auto whiteTarget = static_cast<int64_t>(WhiteTarget(whitePercent, count));
    const int32_t lo = FindBlackBin(histogram.get(), blackTarget);
    const int32_t hi = FindWhiteBin(histogram.get(), count, whiteTarget);

    ApplyLinearMap(values, count, ComputeLinearMap(minimum, scale, lo, hi));
    return hi;
}

int32_t FindPreviewBlackBin(const int32_t* histogram, float target) {
    int32_t i = 0;
    float sum = 0;
    // The target is at most 5 % of the counts, so the walk stops long before
    // the end; the bound only keeps a wrong target inside the histogram.
    while (sum < target && i < kNormalisationBins) {
        sum += static_cast<float>(histogram[i]);
        ++i;
    }
    return i;
}

int32_t FindPreviewWhiteBin(const int32_t* histogram, int64_t total, float target) {
    int32_t i = kTopBin - 1;  // the top bin is never subtracted
    float remaining = static_cast<float>(total);
    while (remaining > target && i > 0) {
        remaining -= static_cast<float>(histogram[i]);
        --i;
    }
    return i;
}

int32_t NormalisePreviewLuminanceRange(float* values, int64_t count, float whitePercent, float blackPercent) {
    float minimum;
    float scale;
    std::unique_ptr<int32_t[]> histogram;
    if (int32_t failure = RescaleIntoHistogram(values, count, &minimum, &scale, &histogram)) return failure;

    const int32_t lo = FindPreviewBlackBin(histogram.get(), BlackTarget(blackPercent, count));
    const int32_t hi = FindPreviewWhiteBin(histogram.get(), count, WhiteTarget(whitePercent, count));

    ApplyLinearMap(values, count, ComputeLinearMap(minimum, scale, lo, hi));
    return hi;
}
