// The picture "Show Original" shows: the source image sampled at the
// preview's size, 8-bit planar RGB, and the luminance histogram of its bytes.
#pragma once

#include <cstdint>

// The host's input: width x height pixels of nb interleaved samples, 16-bit
// codes 0..32768 or linear 32-bit floats.
struct SourceImage {
    int32_t width;
    int32_t height;
    int32_t nb;
    bool sixteenBit;
    const float* floats;
    const uint16_t* codes;
};

// A 16-bit code as a display byte: code >> 7, 32768 giving 255.
uint8_t DisplayLevelOfCode(uint16_t code);

// A linear float as a display byte, as the host shows a linear document:
// trunc(255 x s^(1/2.2)), the power in double; 0 for s <= 0 and NaN, 255
// from 1 up.
uint8_t DisplayLevelOfLinear(float sample);

// Histogram bin of a pixel's display bytes: (54 r + 183 g + 19 b) >> 8.
inline int32_t PictureHistogramBin(int32_t red, int32_t green, int32_t blue) {
    return (54 * red + 183 * green + 19 * blue) >> 8;
}

// Samples `source` at width x height (row trunc(y x (H / h)), column
// trunc(x x (W / w)), the ratios and products in single precision) into the
// three planes of `picture` and counts each pixel into the 256 bins of
// `histogram`, which it clears first.
void BuildSourcePicture(const SourceImage& source, int32_t width, int32_t height, uint8_t* picture,
                        int32_t* histogram);

// The histogram of a picture of three planes of width x height bytes.
void CountPictureHistogram(const uint8_t* picture, int32_t width, int32_t height, int32_t* histogram);
