// The per-pixel pass of the full-run output operator: output luminance from
// the adapted luminance and a global curve, colour from the input ratios,
// encoding for the host.
#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>

#include "OutputOperator.h"
#include "ParallelRows.h"

namespace {

constexpr int32_t kInvalidArguments = -1;

// The luminance that shadows clipping pulls towards.
constexpr double kClipLevel = 0.02;

// Limits a weight or exponent to 0..1; a NaN counts as 0.
float LimitToUnit(float w) {
    if (!(w >= 0)) return 0;
    if (w > 1) return 1;
    return w;
}

// Adaptive logarithmic mapping (Drago et al.) with bias exponent 0.23.
float GlobalCurve(const OutputConstants& k, float yc) {
    float yn = yc / k.adaptation;
    // Beyond single precision the curve is taken at the largest finite value.
    if (yn > FLT_MAX) yn = FLT_MAX;
    const float p = powf(yn * k.inverseMaximum, 0.23f);
    return static_cast<float>(k.curveScale * std::log(1.0 + yn) / std::log(2.0 + 8.0 * p));
}

float SmoothHighlights(const OutputConstants& k, float l, float gs, LogLuminancePowers* powers) {
    const float x = powers->x;
    if (!(x > k.highlightStart)) return l;
    float wL = 0;
    float wG = 1;
    if (!(x > k.highlightEnd)) {
        wG = LimitToUnit(x > k.highlightMid ? EvaluateCubic(k.highlight1, powers)
                                            : EvaluateCubic(k.highlight0, powers));
        wL = static_cast<float>(1.0 - wG);
    }
    return wL * l + wG * gs;
}

float TreatShadows(const OutputConstants& k, float l, float gs, LogLuminancePowers* powers) {
    const float x = powers->x;
    const bool smoothing = k.shadowsSmoothing && x < k.shadowStart;
    const bool clipping = k.shadowsClipping && x < k.clipStart;
    float w1L = 1;
    float w1G = 0;
    if (smoothing) {
        if (x < k.shadowEnd) {
            w1L = 0;
            w1G = 1;
        } else {
            w1G = LimitToUnit(x < k.shadowMid ? EvaluateCubic(k.shadow1, powers)
                                              : EvaluateCubic(k.shadow0, powers));
            w1L = static_cast<float>(1.0 - w1G);
        }
    }
    float w2L = 1;
    float w2K = 0;
    if (clipping) {
        if (x < k.clipEnd) {
            w2L = 0;
            w2K = 1;
        } else {
            w2K = LimitToUnit(x < k.clipMid ? EvaluateCubic(k.clip1, powers) : EvaluateCubic(k.clip0, powers));
            w2L = static_cast<float>(1.0 - w2K);
        }
    }
    if (smoothing && clipping) return static_cast<float>(0.5 * ((w1L + w2L) * l + w1G * gs + w2K * kClipLevel));
    if (smoothing) return w1L * l + w1G * gs;
    if (clipping) return static_cast<float>(w2L * l + w2K * kClipLevel);
    return l;
}

// Offset added to the saturation exponent in the highlights or shadows.
float SaturationOffset(const OutputConstants& k, LogLuminancePowers* powers) {
    const float x = powers->x;
    float offset = 0;
    if (k.saturationHighlights && x >= k.mid) {
        if (x < k.highlightSaturationMid) {
            offset = EvaluateCubic(k.highlightSaturation0, powers);
        } else if (x < k.high) {
            offset = EvaluateCubic(k.highlightSaturation1, powers);
        } else {
            offset = k.highlightAmplitude;
        }
    }
    if (k.saturationShadows && x < k.mid) {
        if (x > k.shadowSaturationMid) {
            offset = EvaluateCubic(k.shadowSaturation0, powers);
        } else if (x > k.low) {
            offset = EvaluateCubic(k.shadowSaturation1, powers);
        } else {
            offset = k.shadowAmplitude;
        }
    }
    return offset;
}

// C' of one channel. A negative ratio has no real fractional power: such a
// channel is 0, except at exponent 0 where every channel is Lg.
float ChannelValue(float ratio, float e, float lg) {
    if (ratio < 0 && e > 0) return 0;
    return powf(ratio, e) * lg;
}

float NonNegative(float v) {
    return v >= 0 ? v : 0;  // NaN too
}

}  // namespace

float ComposeOutputLuminance(const OutputConstants& k, float yc, float lloc, LogLuminancePowers* powers) {
    float l = lloc;
    float gs = 0;
    if (k.globalCurve) {
        gs = powf(GlobalCurve(k, yc), k.saturationExponent);
        l = k.strengthComplement * lloc + k.strength * gs;
    }
    if (k.highlightsSmoothing) l = SmoothHighlights(k, l, gs, powers);
    if (k.shadowsSmoothing || k.shadowsClipping) l = TreatShadows(k, l, gs, powers);
    return powf(l, k.gamma);
}

float SaturationExponent(const OutputConstants& k, LogLuminancePowers* powers) {
    float offset = 0;
    if (k.saturationHighlights || k.saturationShadows) offset = SaturationOffset(k, powers);
    return LimitToUnit(static_cast<float>(k.saturation + offset));
}

bool ToneMapPixel(const OutputConstants& k, float red, float green, float blue, float lloc, float cPrime[3]) {
    const float y = Bt709Luminance(red, green, blue);
    if (!(y > 0)) return false;
    if (y > FLT_MAX) {
        cPrime[0] = cPrime[1] = cPrime[2] = std::numeric_limits<float>::infinity();
        return true;
    }
    float xIn = 0;
    float zIn = 0;
    if (k.colourShift) {
        xIn = static_cast<float>((0.4124 * red + 0.3576 * green + 0.1805 * blue) * k.whiteX);
        zIn = static_cast<float>((0.0193 * red + 0.1192 * green + 0.9505 * blue) * k.whiteZ);
    }
    const float yc = y * k.workingScale;
    // Only the highlight, shadow and saturation steps look at x.
    const bool logNeeded = k.highlightsSmoothing || k.shadowsSmoothing || k.shadowsClipping ||
                           k.saturationHighlights || k.saturationShadows;
    LogLuminancePowers powers{logNeeded ? logf(yc) : 0.0f, 0, 0, false};
    const float lg = ComposeOutputLuminance(k, yc, lloc, &powers);
    if (k.colourShift) {
        red = NonNegative(static_cast<float>(3.2406 * xIn - 1.5372 * y - 0.4986 * zIn));
        green = NonNegative(static_cast<float>(-0.9689 * xIn + 1.8758 * y + 0.0415 * zIn));
        blue = NonNegative(static_cast<float>(0.0557 * xIn - 0.204 * y + 1.057 * zIn));
    }
    const float e = SaturationExponent(k, &powers);
    cPrime[0] = ChannelValue(red / y, e, lg);
    cPrime[1] = ChannelValue(green / y, e, lg);
    cPrime[2] = ChannelValue(blue / y, e, lg);
    return true;
}

float EncodeChannel(float cPrime, float exponent, float scale) {
    const float v = powf(cPrime, exponent) * scale;
    if (v > scale) return scale;
    if (!(v >= 0)) return 0;  // NaN too
    return v;
}

namespace {

// Pixels per thread below which splitting the pass is not worth a thread.
constexpr int64_t kPixelsPerThread = 1 << 14;
// Pixels handed to a thread at a time.
constexpr int64_t kPixelsPerBlock = 1 << 12;

// Where one call's pixels live and how they are laid out.
struct PixelPass {
    const OutputConstants& k;
    int32_t width;
    int32_t nb;
    int32_t pad;
    int64_t rowLength;  // of the luminance buffer
    bool floatPixels;
    const float* inFloat;
    const float* table;
    const uint16_t* in16;
    const float* lum;
    float* outFloat;
    uint16_t* out16;
};

// Output row j: each pixel reads only its own input and luminance value and
// writes only its own samples, so rows may run in any order.
void ToneMapRow(const PixelPass& pass, int64_t j) {
    const OutputConstants& k = pass.k;
    const int32_t green = (pass.nb - 1) / 2;
    const int32_t blue = pass.nb - 1;
    const float* lumRow = pass.lum + j * pass.rowLength + pass.pad;
    size_t p = static_cast<size_t>(j) * static_cast<size_t>(pass.width) * static_cast<size_t>(pass.nb);
    for (int32_t i = 0; i < pass.width; ++i, p += pass.nb) {
        float rgb[3];
        if (pass.floatPixels) {
            rgb[0] = pass.inFloat[p];
            rgb[1] = pass.inFloat[p + green];
            rgb[2] = pass.inFloat[p + blue];
        } else {
            rgb[0] = pass.table[pass.in16[p]];
            rgb[1] = pass.table[pass.in16[p + green]];
            rgb[2] = pass.table[pass.in16[p + blue]];
        }
        // A black pixel is written as 0 in every channel.
        float c[3];
        float v[3] = {0, 0, 0};
        if (ToneMapPixel(k, rgb[0], rgb[1], rgb[2], lumRow[i], c)) {
            for (int ch = 0; ch < 3; ++ch) v[ch] = EncodeChannel(c[ch], k.outputGamma, k.outputScale);
        }
        // Red, green, blue: with fewer planes the later store wins.
        if (pass.floatPixels) {
            pass.outFloat[p] = v[0];
            pass.outFloat[p + green] = v[1];
            pass.outFloat[p + blue] = v[2];
        } else {
            pass.out16[p] = static_cast<uint16_t>(static_cast<int32_t>(v[0]));
            pass.out16[p + green] = static_cast<uint16_t>(static_cast<int32_t>(v[1]));
            pass.out16[p + blue] = static_cast<uint16_t>(static_cast<int32_t>(v[2]));
        }
    }
}

}  // namespace

int32_t affich_image(int32_t depthCode, int32_t width, int32_t height, int32_t nb, int32_t pad,
                     const int32_t* settings, double outputGamma, const ImageStats* stats, const float* inFloat,
                     const float* table, const uint16_t* in16, float* lum, float* outFloat, uint16_t* out16) {
    const bool floatPixels = depthCode == 0;
    if ((depthCode != 0 && depthCode != 1) || width < 1 || height < 1 || nb < 1 || nb > 3 || pad < 0 ||
        !settings || !stats || !lum || (floatPixels && (!inFloat || !outFloat)) ||
        (!floatPixels && (!table || !in16 || !out16))) {
        return kInvalidArguments;
    }

    OutputConstants k;
    SetUpOutputConstants(depthCode, settings, outputGamma, *stats, FullRunStrengthWeight(settings[kSlotStrength]), &k);

    const int64_t rowLength = static_cast<int64_t>(width) + 2 * static_cast<int64_t>(pad);
    const int32_t whiteBin = NormaliseLuminanceRange(lum, rowLength * height, k.whitePercent, k.blackPercent);
    if (whiteBin < 0) return whiteBin;

    const PixelPass pass{k, width, nb, pad, rowLength, floatPixels, inFloat, table, in16, lum, outFloat, out16};
    // Black pixels cost next to nothing: rows go out in small blocks so that
    // a dark part of the image does not leave a thread idle.
    const int64_t rowGrain = std::max<int64_t>(1, kPixelsPerThread / width);
    const int64_t rowBlock = std::max<int64_t>(1, kPixelsPerBlock / width);
    ParallelForBlocks(height, rowGrain, rowBlock, [&](int64_t begin, int64_t end) {
        for (int64_t j = begin; j < end; ++j) ToneMapRow(pass, j);
    });
    return whiteBin;
}
