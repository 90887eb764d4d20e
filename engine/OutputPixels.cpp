// The per-pixel pass of the full-run output operator: output luminance from
// the adapted luminance and a global curve, colour from the input ratios,
// encoding for the host.
#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>

#include "EngineMaths.h"
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
    const float p = Powf(yn * k.inverseMaximum, 0.23f);
    return static_cast<float>(k.curveScale * Log(1.0 + yn) / Log(2.0 + 8.0 * p));
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
    return Powf(ratio, e) * lg;
}

float NonNegative(float v) {
    return v >= 0 ? v : 0;  // NaN too
}

}  // namespace

float ComposeOutputLuminance(const OutputConstants& k, float yc, float lloc, LogLuminancePowers* powers) {
    float l = lloc;
    float gs = 0;
    if (k.globalCurve) {
        gs = Powf(GlobalCurve(k, yc), k.saturationExponent);
        l = k.strengthComplement * lloc + k.strength * gs;
    }
    if (k.highlightsSmoothing) l = SmoothHighlights(k, l, gs, powers);
    if (k.shadowsSmoothing || k.shadowsClipping) l = TreatShadows(k, l, gs, powers);
    return Powf(l, k.gamma);
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
    LogLuminancePowers powers{logNeeded ? Logf(yc) : 0.0f, 0, 0, false};
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
    const float v = Powf(cPrime, exponent) * scale;
    if (v > scale) return scale;
    if (!(v >= 0)) return 0;  // NaN too
    return v;
}

namespace {

// Pixels of one run, compacted to those with positive, finite luminance,
// with each stage's results.
struct LitPixels {
    int32_t count;
    bool allLit;                     // index[j] = j
    int32_t index[kPixelRunLength];  // position in the run
    float y[kPixelRunLength];        // input luminance
    float yc[kPixelRunLength];       // working luminance
    float channel[3][kPixelRunLength];
    float xIn[kPixelRunLength];  // colour temperature: X and Z of the input
    float zIn[kPixelRunLength];
    LogLuminancePowers powers[kPixelRunLength];
    float gs[kPixelRunLength];  // global curve to the saturation exponent
    float l[kPixelRunLength];   // composed luminance, then Lg
    float e[kPixelRunLength];   // saturation exponent
};

// Gathers the lit pixels; black ones are left at 0 in `out`, those of
// infinite luminance are encoded at once (full white).
void CollectLitPixels(const OutputConstants& k, const float* red, const float* green, const float* blue,
                      int32_t n, LitPixels* lit, float* out) {
    const float white = EncodeChannel(std::numeric_limits<float>::infinity(), k.outputGamma, k.outputScale);
    int32_t m = 0;
    for (int32_t i = 0; i < n; ++i) {
        const float y = Bt709Luminance(red[i], green[i], blue[i]);
        const bool infinite = y > FLT_MAX;
        out[3 * i] = out[3 * i + 1] = out[3 * i + 2] = infinite ? white : 0.0f;
        if (!(y > 0) || infinite) continue;
        lit->index[m] = i;
        lit->y[m] = y;
        lit->yc[m] = y * k.workingScale;
        lit->channel[0][m] = red[i];
        lit->channel[1][m] = green[i];
        lit->channel[2][m] = blue[i];
        if (k.colourShift) {
            lit->xIn[m] = static_cast<float>((0.4124 * red[i] + 0.3576 * green[i] + 0.1805 * blue[i]) * k.whiteX);
            lit->zIn[m] = static_cast<float>((0.0193 * red[i] + 0.1192 * green[i] + 0.9505 * blue[i]) * k.whiteZ);
        }
        ++m;
    }
    lit->count = m;
    lit->allLit = m == n;
}

// Powf(x[i], y) for the run; an exponent of 1 or 0 needs no call.
void PowfOfRun(const float* x, float y, float* out, int32_t n) {
    if (y == 1.0f) {
        for (int32_t i = 0; i < n; ++i) out[i] = PowfWithExponentOne(x[i]);
    } else if (y == 0.0f) {
        for (int32_t i = 0; i < n; ++i) out[i] = PowfWithExponentZero(x[i]);
    } else {
        PowfArrayFixedExponent(x, y, out, n);
    }
}

// Gs of every lit pixel: GlobalCurve and its power, an array at a time.
void GlobalCurveOfRun(const OutputConstants& k, LitPixels* lit) {
    const int32_t m = lit->count;
    float scaled[kPixelRunLength];
    float yn[kPixelRunLength];
    double numerator[kPixelRunLength];
    double denominator[kPixelRunLength];
    for (int32_t j = 0; j < m; ++j) {
        yn[j] = lit->yc[j] / k.adaptation;
        if (yn[j] > FLT_MAX) yn[j] = FLT_MAX;
        scaled[j] = yn[j] * k.inverseMaximum;
    }
    PowfArrayFixedExponent(scaled, 0.23f, scaled, m);
    for (int32_t j = 0; j < m; ++j) {
        numerator[j] = 1.0 + yn[j];
        denominator[j] = 2.0 + 8.0 * scaled[j];
    }
    LogArray(numerator, numerator, m);
    LogArray(denominator, denominator, m);
    for (int32_t j = 0; j < m; ++j) {
        lit->gs[j] = static_cast<float>(k.curveScale * numerator[j] / denominator[j]);
    }
    PowfOfRun(lit->gs, k.saturationExponent, lit->gs, m);
}

// Lg and the saturation exponent of every lit pixel (ComposeOutputLuminance
// and SaturationExponent).
void ComposeRun(const OutputConstants& k, const float* lloc, LitPixels* lit) {
    const int32_t m = lit->count;
    const bool logNeeded = k.highlightsSmoothing || k.shadowsSmoothing || k.shadowsClipping ||
                           k.saturationHighlights || k.saturationShadows;
    float x[kPixelRunLength];
    if (logNeeded) LogfArray(lit->yc, x, m);
    if (k.globalCurve) GlobalCurveOfRun(k, lit);
    if (!logNeeded) {
        // No step looks at the log-luminance: a blend, and one exponent.
        LogLuminancePowers none{0.0f, 0, 0, false};
        const float e = SaturationExponent(k, &none);
        for (int32_t j = 0; j < m; ++j) {
            const float local = lloc[lit->index[j]];
            lit->l[j] = k.globalCurve ? k.strengthComplement * local + k.strength * lit->gs[j] : local;
            lit->e[j] = e;
        }
        PowfOfRun(lit->l, k.gamma, lit->l, m);
        return;
    }
    for (int32_t j = 0; j < m; ++j) {
        LogLuminancePowers& powers = lit->powers[j];
        powers = LogLuminancePowers{logNeeded ? x[j] : 0.0f, 0, 0, false};
        const float local = lloc[lit->index[j]];
        float l = local;
        if (k.globalCurve) l = k.strengthComplement * local + k.strength * lit->gs[j];
        if (k.highlightsSmoothing) l = SmoothHighlights(k, l, lit->gs[j], &powers);
        if (k.shadowsSmoothing || k.shadowsClipping) l = TreatShadows(k, l, lit->gs[j], &powers);
        lit->l[j] = l;
        lit->e[j] = SaturationExponent(k, &powers);
    }
    PowfOfRun(lit->l, k.gamma, lit->l, m);
}

// C' of every lit pixel's channels, encoded into `out`.
void ColourAndEncodeRun(const OutputConstants& k, LitPixels* lit, float* out) {
    const int32_t m = lit->count;
    if (k.colourShift) {
        for (int32_t j = 0; j < m; ++j) {
            const double xIn = lit->xIn[j];
            const double y = lit->y[j];
            const double zIn = lit->zIn[j];
            lit->channel[0][j] = NonNegative(static_cast<float>(3.2406 * xIn - 1.5372 * y - 0.4986 * zIn));
            lit->channel[1][j] = NonNegative(static_cast<float>(-0.9689 * xIn + 1.8758 * y + 0.0415 * zIn));
            lit->channel[2][j] = NonNegative(static_cast<float>(0.0557 * xIn - 0.204 * y + 1.057 * zIn));
        }
    }
    // Without saturation offsets every pixel has the same exponent.
    const bool commonExponent = !(k.saturationHighlights || k.saturationShadows);
    float ratio[kPixelRunLength];
    float power[kPixelRunLength];
    for (int c = 0; c < 3; ++c) {
        for (int32_t j = 0; j < m; ++j) ratio[j] = lit->channel[c][j] / lit->y[j];
        if (commonExponent) {
            PowfOfRun(ratio, m > 0 ? lit->e[0] : 1.0f, power, m);
        } else {
            PowfArray(ratio, lit->e, power, m);
        }
        // A negative ratio has no real fractional power (ChannelValue).
        for (int32_t j = 0; j < m; ++j) {
            power[j] = ratio[j] < 0 && lit->e[j] > 0 ? 0.0f : power[j] * lit->l[j];
        }
        PowfOfRun(power, k.outputGamma, power, m);
        for (int32_t j = 0; j < m; ++j) {
            float v = power[j] * k.outputScale;
            v = v > k.outputScale ? k.outputScale : v;
            power[j] = v >= 0 ? v : 0.0f;  // NaN too
        }
        if (lit->allLit) {
            for (int32_t j = 0; j < m; ++j) out[3 * j + c] = power[j];
        } else {
            for (int32_t j = 0; j < m; ++j) out[3 * lit->index[j] + c] = power[j];
        }
    }
}

}  // namespace

void ToneMapPixelRun(const OutputConstants& k, const float* red, const float* green, const float* blue,
                     const float* lloc, int32_t n, float* out) {
    LitPixels lit;
    CollectLitPixels(k, red, green, blue, n, &lit, out);
    if (lit.count == 0) return;
    ComposeRun(k, lloc, &lit);
    ColourAndEncodeRun(k, &lit, out);
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
    const int32_t green = (pass.nb - 1) / 2;
    const int32_t blue = pass.nb - 1;
    const float* lumRow = pass.lum + j * pass.rowLength + pass.pad;
    const size_t rowStart = static_cast<size_t>(j) * static_cast<size_t>(pass.width) * static_cast<size_t>(pass.nb);
    float rgb[3][kPixelRunLength];
    float encoded[3 * kPixelRunLength];
    for (int32_t first = 0; first < pass.width; first += kPixelRunLength) {
        const int32_t n = std::min(kPixelRunLength, pass.width - first);
        size_t p = rowStart + static_cast<size_t>(first) * pass.nb;
        for (int32_t i = 0; i < n; ++i, p += pass.nb) {
            if (pass.floatPixels) {
                rgb[0][i] = pass.inFloat[p];
                rgb[1][i] = pass.inFloat[p + green];
                rgb[2][i] = pass.inFloat[p + blue];
            } else {
                rgb[0][i] = pass.table[pass.in16[p]];
                rgb[1][i] = pass.table[pass.in16[p + green]];
                rgb[2][i] = pass.table[pass.in16[p + blue]];
            }
        }
        ToneMapPixelRun(pass.k, rgb[0], rgb[1], rgb[2], lumRow + first, n, encoded);
        // Red, green, blue: with fewer planes the later store wins.
        p = rowStart + static_cast<size_t>(first) * pass.nb;
        for (int32_t i = 0; i < n; ++i, p += pass.nb) {
            const float* v = encoded + 3 * i;
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
