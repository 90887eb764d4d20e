// Settings, statistics and comparisons shared by the output operator tests.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>

#include "OutputOperator.h"

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

using Settings = std::array<int32_t, 15>;
enum { kStrength = 1, kColorSaturation, kWhiteClip, kBlackClip, kGamma = 8, kHighlightsSmoothing,
       kShadowsSmoothing, kShadowsClipping, kColorTemperature, kSaturationHighlights, kSaturationShadows };

// Local result only, neutral gamma, full saturation, no clipping.
inline Settings NeutralSettings() {
    Settings s{};
    s[kStrength] = 100;
    s[kColorSaturation] = 100;
    s[kGamma] = 50;
    return s;
}

// Mean 1000, maximum 20000, minimum 1; landmarks mid 6.7, low 4, high 9.2.
inline ImageStats TypicalStats() { return ImageStats{{1000.0f, 20.0f, 1.0f, 6.7f, 4.0f, 9.2f, 0, 0, 0}}; }

inline OutputConstants MakeConstants(const Settings& s, const ImageStats& st = TypicalStats(), int32_t depth = 0) {
    OutputConstants k{};
    SetUpOutputConstants(depth, s.data(), depth == 0 ? 2.2 : 1.0, st, FullRunStrengthWeight(s[kStrength]), &k);
    return k;
}
