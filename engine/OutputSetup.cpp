// Constants of the output operators, the cubic transition segments and the
// daylight white of the colour temperature control.
#include <cmath>
#include <cstdint>

#include "EngineMaths.h"
#include "OutputOperator.h"
#include "SettingUnits.h"

namespace {

constexpr double kLn10 = 2.302585092994045684017991454684;

// CIE XYZ of the D65 white with Y = 1.
constexpr double kD65X = 0.950456;
constexpr double kD65Z = 1.088754;

// Half-width of the highlight and shadow transitions, as a share of their span.
constexpr float kTransitionFraction = 0.2f;

float LimitClipPercent(float percent) {
    if (percent < 0) percent = 0;
    if (percent > 10) percent = 10;
    return percent;
}

// The Gamma code's exponent in single precision; exponents outside 0.35..2.0
// fall back to 1.
float GammaExponent(int32_t code) {
    float g = static_cast<float>(GammaExponentOfCode(code));
    if (g > 2.0 || g < 0.35) g = 1.0f;
    return g;
}

// 6500 K minus 260 K per step, kept inside the int32 range for any setting.
int32_t ColourTemperatureKelvin(int32_t steps) {
    int64_t kelvin = 6500 - 260 * static_cast<int64_t>(steps);
    if (kelvin > INT32_MAX) kelvin = INT32_MAX;
    if (kelvin < INT32_MIN) kelvin = INT32_MIN;
    return static_cast<int32_t>(kelvin);
}

// Amplitude of a saturation offset: tenths of the headroom above s when
// raising, of s itself when lowering.
float SaturationAmplitude(int32_t tenths, double s) {
    if (tenths > 0) return static_cast<float>(tenths / 10.0 * (1 - s));
    return static_cast<float>(tenths / 10.0 * s);
}

void SetUpGlobalCurve(const ImageStats& stats, OutputConstants* k) {
    k->adaptation = stats.entry[kStatMean];
    if (!(k->adaptation > 0)) k->adaptation = 1.0f;  // also when NaN
    k->curveScale = 1.0f;
    k->inverseMaximum = 1.0f;
    const float ratio = stats.entry[kStatMaxOverMean];
    if (ratio > 0) {
        const float c = static_cast<float>(kLn10 / Log(1.0 + ratio));
        const float r = static_cast<float>(1.0 / ratio);
        // A ratio too small for single precision gives no usable curve.
        if (std::isfinite(c) && std::isfinite(r)) {
            k->curveScale = c;
            k->inverseMaximum = r;
        }
    }
}

void SetUpTransitions(const int32_t* s, const ImageStats& stats, OutputConstants* k) {
    k->lnMin = Logf(stats.entry[kStatMinPositive]);
    k->lnMax = Logf(stats.entry[kStatMaxOverMean] * stats.entry[kStatMean]);
    k->mid = stats.entry[kStatMiddle];
    k->low = stats.entry[kStatLow];
    k->high = stats.entry[kStatHigh];

    const float widthH = static_cast<float>(2.0 * kTransitionFraction * (k->lnMax - k->mid));
    const float widthS = static_cast<float>(2.0 * kTransitionFraction * (k->mid - k->lnMin));

    k->highlightStart = static_cast<float>(k->lnMax - 0.01 * s[kSlotHighlightsSmoothing] * (k->lnMax - k->mid));
    k->highlightEnd = k->highlightStart + widthH;
    k->highlightMid = (k->highlightStart + k->highlightEnd) / 2;

    k->shadowStart = static_cast<float>(k->lnMin + 0.01 * s[kSlotShadowsSmoothing] * (k->mid - k->lnMin));
    k->shadowEnd = k->shadowStart - widthS;
    k->shadowMid = (k->shadowStart + k->shadowEnd) / 2;

    k->clipStart = static_cast<float>(k->lnMin + 0.01 * s[kSlotShadowsClipping] * (k->mid - k->lnMin));
    k->clipEnd = k->clipStart - widthS;
    k->clipMid = (k->clipStart + k->clipEnd) / 2;

    k->highlightAmplitude = SaturationAmplitude(s[kSlotSaturationHighlights], k->saturation);
    k->highlightSaturationMid = (k->high + k->mid) / 2;
    k->shadowAmplitude = SaturationAmplitude(s[kSlotSaturationShadows], k->saturation);
    k->shadowSaturationMid = (k->low + k->mid) / 2;

    cubic_segment(k->highlightEnd, 1, k->highlightMid, 0.5f, &k->highlight1);
    cubic_segment(k->highlightStart, 0, k->highlightMid, 0.5f, &k->highlight0);
    cubic_segment(k->shadowEnd, 1, k->shadowMid, 0.5f, &k->shadow1);
    cubic_segment(k->shadowStart, 0, k->shadowMid, 0.5f, &k->shadow0);
    cubic_segment(k->clipEnd, 1, k->clipMid, 0.5f, &k->clip1);
    cubic_segment(k->clipStart, 0, k->clipMid, 0.5f, &k->clip0);
    const float aH = k->highlightAmplitude;
    const float aS = k->shadowAmplitude;
    cubic_segment(k->mid, 0, k->highlightSaturationMid, aH / 2, &k->highlightSaturation0);
    cubic_segment(k->high, aH, k->highlightSaturationMid, aH / 2, &k->highlightSaturation1);
    cubic_segment(k->low, aS, k->shadowSaturationMid, aS / 2, &k->shadowSaturation1);
    cubic_segment(k->mid, 0, k->shadowSaturationMid, aS / 2, &k->shadowSaturation0);
}

}  // namespace

void cubic_segment(float x0, float y0, float xm, float ym, CubicSegment* segment) {
    const float x0Squared = x0 * x0;
    const float x0Cubed = x0Squared * x0;
    const float xmCubed = (xm * xm) * xm;
    // 2 (xm - x0)^3, expanded; the cubes in single, the rest in double.
    const float d = static_cast<float>(2.0 * (static_cast<double>(xmCubed) - x0Cubed) +
                                       6.0 * x0 * xm * (static_cast<double>(x0) - xm));
    // A segment of no width (or of non-finite ends) evaluates to 0.
    if (d == 0 || !std::isfinite(d)) {
        *segment = CubicSegment{0, 0, 0, 0};
        return;
    }
    const float a = (y0 - ym) / d;
    const float b = -3.0f * xm * a;
    const float c = (6.0f * x0 * xm - 3.0f * x0Squared) * a;
    segment->a = a;
    segment->b = b;
    segment->c = c;
    segment->d = y0 - (a * x0Cubed + b * x0Squared + c * x0);
}

void daylight_white(int32_t kelvin, float xyz[3]) {
    const float t = static_cast<float>(kelvin);
    const float t2 = t * t;
    const float t3 = t2 * t;
    double xd;
    if (t > 7000) {
        xd = -2.0064e9 / t3 + 1.9018e6 / t2 + 0.24748e3 / t + 0.23704;
    } else {
        xd = -4.607e9 / t3 + 2.9678e6 / t2 + 0.09911e3 / t + 0.244063;
    }
    const float x = static_cast<float>(xd);
    const float y = static_cast<float>(-3.0 * (x * x) + 2.87 * x - 0.275);
    if (y == 0) return;
    const float bigX = x / y;
    const float bigZ = (1 - x - y) / y;
    // 0 K divides by zero; leave the triple as for a degenerate chromaticity.
    if (!std::isfinite(bigX) || !std::isfinite(bigZ)) return;
    xyz[0] = bigX;
    xyz[1] = 1.0f;
    xyz[2] = bigZ;
}

float FullRunStrengthWeight(int32_t strength) {
    return static_cast<float>(0.009 * (100.0 - strength));
}

float PreviewStrengthWeight(int32_t depthCode, int32_t strength) {
    if (strength < 1) strength = 1;
    if (depthCode == 0) return FullRunStrengthWeight(strength);
    // Two lines that meet near Strength 40.
    if (strength > 40) return static_cast<float>(0.0051 * (129.4 - strength));
    return static_cast<float>(0.0076 * (100.0 - strength));
}

void SetUpOutputConstants(int32_t depthCode, const int32_t* s, double outputGamma, const ImageStats& stats,
                          float strengthWeight, OutputConstants* k) {
    k->whitePercent = LimitClipPercent(static_cast<float>(PercentOfPoints(s[kSlotWhiteClip])));
    k->blackPercent = LimitClipPercent(static_cast<float>(PercentOfPoints(s[kSlotBlackClip])));
    k->gamma = GammaExponent(s[kSlotGamma]);
    k->whitePercent = static_cast<float>(k->whitePercent + 0.001);

    k->saturation = s[kSlotColorSaturation] / 100.0;
    k->saturationExponent = static_cast<float>(k->saturation);

    k->strength = strengthWeight;
    k->strengthComplement = 1 - strengthWeight;
    k->highlightsSmoothing = s[kSlotHighlightsSmoothing] > 0;
    k->shadowsSmoothing = s[kSlotShadowsSmoothing] > 0;
    k->shadowsClipping = s[kSlotShadowsClipping] > 0;
    k->globalCurve = strengthWeight > 0 || k->highlightsSmoothing || k->shadowsSmoothing || k->shadowsClipping;
    k->saturationHighlights = s[kSlotSaturationHighlights] != 0;
    k->saturationShadows = s[kSlotSaturationShadows] != 0;

    SetUpGlobalCurve(stats, k);

    k->workingScale = depthCode == 0 ? 32768.0f : 1.0f;
    k->outputScale = depthCode == 0 ? 1.0f : 32768.0f;
    k->outputGamma = static_cast<float>(outputGamma);

    float white[3] = {0, 0, 0};
    daylight_white(ColourTemperatureKelvin(s[kSlotColorTemperature]), white);
    k->colourShift = s[kSlotColorTemperature] != 0;
    k->whiteX = static_cast<float>(white[0] / kD65X);
    k->whiteZ = static_cast<float>(white[2] / kD65Z);

    SetUpTransitions(s, stats, k);
}
