// Settings, statistics and comparisons shared by the output operator tests.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>

#include "OutputOperator.h"

// Results of powf, logf and exp may differ in the last bit between the C
// libraries of Windows and Linux (and from compile-time folding there).
#ifdef _WIN32
#define EXPECT_LIBM_EQ(expected, actual) \
    EXPECT_NEAR((expected), (actual), 4e-7 * std::fabs(static_cast<double>(expected)) + 1e-30)
#else
#define EXPECT_LIBM_EQ(expected, actual) EXPECT_EQ((expected), (actual))
#endif

using Settings = std::array<int32_t, 15>;

enum SettingIndex {
    kStrength = 1,
    kColorSaturation = 2,
    kWhiteClip = 3,
    kBlackClip = 4,
    kGamma = 8,
    kHighlightsSmoothing = 9,
    kShadowsSmoothing = 10,
    kShadowsClipping = 11,
    kColorTemperature = 12,
    kSaturationHighlights = 13,
    kSaturationShadows = 14,
};

// Local result only, neutral gamma, full saturation, no clipping.
inline Settings NeutralSettings() {
    Settings s{};
    s[kStrength] = 100;
    s[kColorSaturation] = 100;
    s[kGamma] = 50;
    return s;
}

// Plausible statistics of a 32-bit image in the working scale.
inline ImageStats TypicalStats() {
    ImageStats st{};
    st.entry[kStatMean] = 1000.0f;
    st.entry[kStatMaxOverMean] = 20.0f;
    st.entry[kStatMinPositive] = 1.0f;
    st.entry[kStatMiddle] = 6.7f;
    st.entry[kStatLow] = 4.0f;
    st.entry[kStatHigh] = 9.2f;
    return st;
}

inline OutputConstants MakeConstants(const Settings& s, const ImageStats& st = TypicalStats(), int32_t depthCode = 0) {
    OutputConstants k{};
    SetUpOutputConstants(depthCode, s.data(), depthCode == 0 ? 2.2 : 1.0, st, FullRunStrengthWeight(s[kStrength]),
                         &k);
    return k;
}

inline float EvaluateAt(const CubicSegment& segment, float x) {
    LogLuminancePowers p{x, 0, 0, false};
    return EvaluateCubic(segment, &p);
}
