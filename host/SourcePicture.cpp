#include "SourcePicture.h"

#include <cmath>
#include <cstddef>
#include <cstring>

#include "../engine/BitPatterns.h"
#include "../engine/EngineMaths.h"
#include "../engine/ToneMapEngine.h"

namespace {

constexpr int32_t kBins = 256;
constexpr int32_t kTopLevel = 255;
constexpr uint32_t kOneBits = 0x3F800000;  // 1.0f

// trunc(255 x s^(1/2.2)) for s in (0, 1].
// The engine's pow: the same levels in both builds.
int32_t DirectLevel(float s) { return static_cast<int32_t>(255.0 * Pow(static_cast<double>(s), 1.0 / 2.2)); }

// The level as a step function of the sample: a million samples of a Large
// picture need not each pay for a double-precision power. The level never
// falls as the sample grows, so it is the number of steps at or below the
// sample. Positive floats order like their bit patterns: the top sixteen
// bits pick a bucket whose first sample's level is stored; the few steps
// inside a bucket are then passed one by one.
struct LinearLevelSteps {
    float step[kTopLevel + 1];        // step[v]: the smallest sample of level v or above (v >= 1)
    uint8_t bucketLevel[kOneBits >> 16];

    LinearLevelSteps() {
        step[0] = 0;
        for (int32_t v = 1; v <= kTopLevel; ++v) {
            uint32_t below = 0;        // level(below) < v
            uint32_t atOrAbove = kOneBits;  // level(atOrAbove) >= v
            while (atOrAbove - below > 1) {
                const uint32_t middle = below + (atOrAbove - below) / 2;
                (DirectLevel(FloatOf(middle)) >= v ? atOrAbove : below) = middle;
            }
            step[v] = FloatOf(atOrAbove);
        }
        for (uint32_t bucket = 0; bucket < (kOneBits >> 16); ++bucket)
            bucketLevel[bucket] = static_cast<uint8_t>(DirectLevel(FloatOf(bucket << 16)));
    }

    uint8_t LevelOf(float s) const {
        int32_t level = bucketLevel[BitsOf(s) >> 16];
        while (level < kTopLevel && s >= step[level + 1]) ++level;
        return static_cast<uint8_t>(level);
    }
};

const LinearLevelSteps& Steps() {
    static const LinearLevelSteps steps;
    return steps;
}

uint8_t LinearLevel(const LinearLevelSteps& steps, float sample) {
    if (!(sample > 0)) return 0;  // NaN too
    if (sample >= 1.0f) return kTopLevel;
    return steps.LevelOf(sample);
}

}  // namespace

uint8_t DisplayLevelOfCode(uint16_t code) {
    const int32_t level = code >> 7;
    return static_cast<uint8_t>(level > kTopLevel ? kTopLevel : level);
}

uint8_t DisplayLevelOfLinear(float sample) { return LinearLevel(Steps(), sample); }

void BuildSourcePicture(const SourceImage& source, int32_t width, int32_t height, uint8_t* picture,
                        int32_t* histogram) {
    std::memset(histogram, 0, kBins * sizeof(int32_t));
    if (width <= 0 || height <= 0) return;
    const LinearLevelSteps& steps = Steps();
    const size_t plane = static_cast<size_t>(width) * static_cast<size_t>(height);
    const float rowRatio = static_cast<float>(source.height) / static_cast<float>(height);
    const float columnRatio = static_cast<float>(source.width) / static_cast<float>(width);
    const int32_t green = (source.nb - 1) / 2;
    const int32_t blue = source.nb - 1;
    size_t k = 0;
    for (int32_t y = 0; y < height; ++y) {
        const size_t row = static_cast<size_t>(PreviewSampleIndex(y, rowRatio, source.height));
        for (int32_t x = 0; x < width; ++x, ++k) {
            const size_t column = static_cast<size_t>(PreviewSampleIndex(x, columnRatio, source.width));
            const size_t i = (row * static_cast<size_t>(source.width) + column) * static_cast<size_t>(source.nb);
            uint8_t rgb[3];
            if (source.sixteenBit) {
                rgb[0] = DisplayLevelOfCode(source.codes[i]);
                rgb[1] = DisplayLevelOfCode(source.codes[i + green]);
                rgb[2] = DisplayLevelOfCode(source.codes[i + blue]);
            } else {
                rgb[0] = LinearLevel(steps, source.floats[i]);
                rgb[1] = LinearLevel(steps, source.floats[i + green]);
                rgb[2] = LinearLevel(steps, source.floats[i + blue]);
            }
            picture[k] = rgb[0];
            picture[plane + k] = rgb[1];
            picture[2 * plane + k] = rgb[2];
            ++histogram[PictureHistogramBin(rgb[0], rgb[1], rgb[2])];
        }
    }
}

void CountPictureHistogram(const uint8_t* picture, int32_t width, int32_t height, int32_t* histogram) {
    std::memset(histogram, 0, kBins * sizeof(int32_t));
    if (width <= 0 || height <= 0) return;
    const size_t plane = static_cast<size_t>(width) * static_cast<size_t>(height);
    for (size_t k = 0; k < plane; ++k)
        ++histogram[PictureHistogramBin(picture[k], picture[plane + k], picture[2 * plane + k])];
}
