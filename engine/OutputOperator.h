// Internal pieces of the output operators: the constants derived from the
// settings and statistics, the range normalisation of the adapted luminance,
// and the per-pixel luminance composition and colour reconstruction.
//
// The full-run operator (affich_image) and the preview operator share these;
// they differ in the strength weight, the normalisation walks, the pixel
// sampling and the final encoding.
#pragma once

#include <cstdint>

#include "ToneMapEngine.h"

// Everything the per-pixel pass needs, fixed once per call.
struct OutputConstants {
    float whitePercent;  // Pw, limited to 0..10 and then raised by 0.001
    float blackPercent;  // Pb, limited to 0..10
    float gamma;         // g, exponent applied to the composed luminance

    double saturation;         // s = ColorSaturation / 100
    float saturationExponent;  // s in single precision, for powf

    float strength;            // k, share of the global curve
    float strengthComplement;  // 1 - k
    bool globalCurve;          // k > 0 or any smoothing or clipping active

    float adaptation;      // La, adaptation luminance of the global curve
    float curveScale;      // c = 1 / log10(1 + maximum ratio)
    float inverseMaximum;  // r = 1 / maximum ratio

    float workingScale;  // 32768 for float pixels, 1 for table values
    float outputScale;   // 1 for float output, 32768 for 16-bit output
    float outputGamma;   // final encoding exponent

    bool colourShift;  // ColorTemperature != 0
    float whiteX;      // Xw, daylight white X over the D65 white X
    float whiteZ;      // Zw

    float lnMin, lnMax;       // log of the minimum and maximum luminance
    float mid, low, high;     // log-luminance landmarks
    bool highlightsSmoothing; // HighlightsSmoothing > 0
    bool shadowsSmoothing;    // ShadowsSmoothing > 0
    bool shadowsClipping;     // ShadowsClipping > 0
    bool saturationHighlights;  // SaturationHighlights != 0
    bool saturationShadows;     // SaturationShadows != 0

    // Transition starts (A), ends (B) and midpoints (M) in log-luminance.
    float highlightStart, highlightEnd, highlightMid;        // hA, hB, hM
    float shadowStart, shadowEnd, shadowMid;                 // sA, sB, sM
    float clipStart, clipEnd, clipMid;                       // cA, cB, cM
    float highlightAmplitude, highlightSaturationMid;        // aH, mH
    float shadowAmplitude, shadowSaturationMid;              // aS, mS

    // Smooth-step halves: *0 starts at the transition start, *1 at its end.
    CubicSegment highlight0, highlight1;                  // H0, H1
    CubicSegment shadow0, shadow1;                        // S0, S1
    CubicSegment clip0, clip1;                            // C0, C1
    CubicSegment highlightSaturation0, highlightSaturation1;  // SH0, SH1
    CubicSegment shadowSaturation0, shadowSaturation1;        // SL0, SL1
};

// ---- Set-up ----

// k of the full run: 0.009 x (100 - Strength).
float FullRunStrengthWeight(int32_t strength);

// k of the preview: Strength is raised to at least 1; a 16-bit source keeps
// a share of the global curve even at Strength 100 (0.14994).
float PreviewStrengthWeight(int32_t depthCode, int32_t strength);

// The preview's pictures are 8-bit: channels are encoded to 0..255.
constexpr float kPreviewOutputScale = 255.0f;

// Derives every constant from the settings array, the statistics and the
// strength weight k (which the two operators compute differently).
void SetUpOutputConstants(int32_t depthCode, const int32_t* settings, double outputGamma,
                          const ImageStats& stats, float strengthWeight, OutputConstants* constants);

// ---- Range normalisation ----

constexpr int32_t kNormalisationBins = 65536;
constexpr int32_t kFlatLuminance = -2;

// Smallest and largest finite value of `count` values, starting from 1e9 and
// -1e9. Infinite and NaN values are ignored.
void FindLuminanceExtremes(const float* values, int64_t count, float* minimum, float* maximum);

// Rescales every value to (v - minimum) x scale in place and counts it in one
// of 65536 bins. When scale is 0 or infinite (a range beyond single
// precision) the rescaling is done in double from the extremes instead.
void ScaleIntoHistogram(float* values, int64_t count, float minimum, float maximum, float scale,
                        int32_t* histogram);

// Black walk: first bin at which the running count reaches `target`.
int32_t FindBlackBin(const int32_t* histogram, int64_t target);

// White walk: from bin 65534 downwards while more than `target` of `total`
// values remain.
int32_t FindWhiteBin(const int32_t* histogram, int64_t total, int64_t target);

// v -> scale x v + offset, mapping bin lo to 0 and dividing by bin hi.
struct LinearMap {
    float scale;
    float offset;
};

LinearMap ComputeLinearMap(float minimum, float scale, int32_t lo, int32_t hi);

// Applies the map in place; results below 0 (and NaN) become 0, an infinite
// result the largest finite value.
void ApplyLinearMap(float* values, int64_t count, LinearMap map);

// The whole full-run normalisation: returns the white bin, kFlatLuminance or
// kEngineOutOfMemory (values unchanged on both failures).
int32_t NormaliseLuminanceRange(float* values, int64_t count, float whitePercent, float blackPercent);

// The preview's walks: the running counts are single-precision numbers
// compared with targets that are not truncated to integers.
int32_t FindPreviewBlackBin(const int32_t* histogram, float target);
int32_t FindPreviewWhiteBin(const int32_t* histogram, int64_t total, float target);

// The preview's normalisation: as the full run's, with the preview's walks.
int32_t NormalisePreviewLuminanceRange(float* values, int64_t count, float whitePercent, float blackPercent);

// ---- Per-pixel composition ----

// BT.709 luminance in single precision, summed red, green, blue.
inline float Bt709Luminance(float red, float green, float blue) {
    return 0.2126f * red + 0.7152f * green + 0.0722f * blue;
}

// A pixel's log-luminance x with x^2 and x^3, formed in single precision once
// per pixel, when a cubic segment is first evaluated.
struct LogLuminancePowers {
    float x;
    float x2;
    float x3;
    bool formed;
};

inline float EvaluateCubic(const CubicSegment& segment, LogLuminancePowers* powers) {
    if (!powers->formed) {
        powers->x2 = powers->x * powers->x;
        powers->x3 = powers->x2 * powers->x;
        powers->formed = true;
    }
    return ((segment.a * powers->x3 + segment.b * powers->x2) + segment.c * powers->x) + segment.d;
}

// The output luminance Lg of a pixel of working luminance yc whose normalised
// adapted luminance is lloc.
float ComposeOutputLuminance(const OutputConstants& constants, float yc, float lloc,
                             LogLuminancePowers* powers);

// Saturation exponent e of a pixel, limited to 0..1.
float SaturationExponent(const OutputConstants& constants, LogLuminancePowers* powers);

// Rebuilds the colour of one pixel around its output luminance: fills
// cPrime[0..2] (red, green, blue) before the output encoding and returns
// true, or returns false for a black pixel (luminance not above 0, or NaN),
// which is written as 0. A pixel of infinite luminance gets +infinity in
// every channel, which the encoding turns into full white.
bool ToneMapPixel(const OutputConstants& constants, float red, float green, float blue, float lloc,
                  float cPrime[3]);

// Final encoding of one channel: powf(c', exponent) x scale, limited to
// 0..scale; NaN becomes 0.
float EncodeChannel(float cPrime, float exponent, float scale);

// Pixels that ToneMapPixelRun takes at a time.
constexpr int32_t kPixelRunLength = 256;

// ToneMapPixel and EncodeChannel (with the output gamma and scale) of n
// pixels, n at most kPixelRunLength, with the same results bit for bit, the
// maths functions applied an array at a time: out[3 i + c] receives channel
// c (red, green, blue) of pixel i, 0 for a black pixel.
void ToneMapPixelRun(const OutputConstants& constants, const float* red, const float* green, const float* blue,
                     const float* lloc, int32_t n, float* out);
