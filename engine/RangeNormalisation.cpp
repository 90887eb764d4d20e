// Rescales the adapted luminance between a black and a white point taken from
// its histogram, so that the black point becomes 0 and the white point about 1.
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <memory>
#include <new>

#include "OutputOperator.h"

namespace {

constexpr int32_t kTopBin = kNormalisationBins - 1;

// trunc(v) limited to 0..65535; NaN counts as bin 0.
int32_t BinOf(float v) {
    if (v >= static_cast<float>(kTopBin)) return kTopBin;
    if (v > 0) return static_cast<int32_t>(v);
    return 0;
}

}  // namespace

void FindLuminanceExtremes(const float* values, int64_t count, float* minimum, float* maximum) {
    float lo = 1e9f;
    float hi = -1e9f;
    for (int64_t i = 0; i < count; ++i) {
        const float v = values[i];
        if (v > hi && v <= FLT_MAX) hi = v;
        if (v < lo && v >= -FLT_MAX) lo = v;
    }
    *minimum = lo;
    *maximum = hi;
}

void ScaleIntoHistogram(float* values, int64_t count, float minimum, float maximum, float scale,
                        int32_t* histogram) {
    if (scale > 0 && scale <= FLT_MAX) {
        for (int64_t i = 0; i < count; ++i) {
            const float v = (values[i] - minimum) * scale;
            values[i] = v;
            ++histogram[BinOf(v)];
        }
        return;
    }
    // The range is narrower than 65535 / FLT_MAX or wider than FLT_MAX.
    const double wideScale = 65535.0 / (static_cast<double>(maximum) - minimum);
    for (int64_t i = 0; i < count; ++i) {
        const float v = static_cast<float>((static_cast<double>(values[i]) - minimum) * wideScale);
        values[i] = v;
        ++histogram[BinOf(v)];
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
    for (int64_t i = 0; i < count; ++i) {
        float v = map.scale * values[i] + map.offset;
        if (!(v >= 0)) {
            v = 0;
        } else if (v > FLT_MAX) {
            v = FLT_MAX;
        }
        values[i] = v;
    }
}

int32_t NormaliseLuminanceRange(float* values, int64_t count, float whitePercent, float blackPercent) {
    float minimum;
    float maximum;
    FindLuminanceExtremes(values, count, &minimum, &maximum);
    if (!(minimum < maximum)) return kFlatLuminance;
    const float scale = 65535.0f / (maximum - minimum);

    std::unique_ptr<int32_t[]> histogram(new (std::nothrow) int32_t[kNormalisationBins]());
    if (!histogram) return kEngineOutOfMemory;
    ScaleIntoHistogram(values, count, minimum, maximum, scale, histogram.get());

    const auto blackTarget = static_cast<int64_t>(static_cast<float>(blackPercent / 200.0 * count));
    const auto whiteTarget = static_cast<int64_t>(static_cast<float>((100 - static_cast<double>(whitePercent)) / 100 * count));
    const int32_t lo = FindBlackBin(histogram.get(), blackTarget);
    const int32_t hi = FindWhiteBin(histogram.get(), count, whiteTarget);

    ApplyLinearMap(values, count, ComputeLinearMap(minimum, scale, lo, hi));
    return hi;
}
