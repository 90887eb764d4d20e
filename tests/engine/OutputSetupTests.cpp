// Constants of the output operator, cubic segments and the daylight white.
#include <climits>
#include <utility>

#include "EngineMaths.h"
#include "OutputTestSupport.h"

namespace {

float At(const CubicSegment& s, float x) {
    LogLuminancePowers p{x, 0, 0, false};
    return EvaluateCubic(s, &p);
}

TEST(OutputSetup, ClipsGammaAndStrength) {
    Settings s = NeutralSettings();
    s[kWhiteClip] = 300000;  // 15 % acts as 10 %, then + 0.001
    s[kBlackClip] = -7;
    OutputConstants k = MakeConstants(s);
    EXPECT_EQ(k.whitePercent, static_cast<float>(10.0f + 0.001));
    EXPECT_EQ(k.blackPercent, 0.0f);
    EXPECT_EQ(k.strength, 0.0f);
    EXPECT_FALSE(k.globalCurve);
    s[kWhiteClip] = -1;
    s[kBlackClip] = 250000;
    s[kStrength] = 0;
    k = MakeConstants(s);
    EXPECT_EQ(k.whitePercent, 0.001f);
    EXPECT_EQ(k.blackPercent, 10.0f);
    EXPECT_EQ(k.strength, 0.9f);
    EXPECT_TRUE(k.globalCurve);
    // Exponents beyond 2.0 or below 0.35 give 1.0, not the limit.
    const std::pair<int32_t, float> gammas[] = {{50, 1.0f}, {0, 2.0f}, {100, 0.5f}, {-1, 1.0f}, {126, 1.0f}};
    for (auto [code, g] : gammas) {
        s[kGamma] = code;
        EXPECT_EQ(MakeConstants(s).gamma, g) << code;
    }
}

TEST(OutputSetup, GlobalCurveFallsBackOnUnusableStatistics) {
    ImageStats st = TypicalStats();
    st.entry[kStatMaxOverMean] = 99.0f;
    OutputConstants k = MakeConstants(NeutralSettings(), st);
    EXPECT_FLOAT_EQ(k.curveScale, 0.5f);  // 1 / log10(100)
    EXPECT_EQ(k.inverseMaximum, static_cast<float>(1.0 / 99));
    for (float bad : {0.0f, -3.0f, kNaN, 1e-20f}) {
        st.entry[kStatMean] = st.entry[kStatMaxOverMean] = bad;
        k = MakeConstants(NeutralSettings(), st);
        EXPECT_EQ(k.adaptation, bad == 1e-20f ? bad : 1.0f) << bad;
        EXPECT_EQ(k.curveScale, 1.0f) << bad;
        EXPECT_EQ(k.inverseMaximum, 1.0f) << bad;
    }
}

TEST(OutputSetup, SaturationAmplitudesAndDegenerateSegments) {
    Settings s = NeutralSettings();
    s[kColorSaturation] = 46;
    s[kSaturationHighlights] = 10;
    s[kSaturationShadows] = -10;
    s[kHighlightsSmoothing] = 40;
    ImageStats st = TypicalStats();
    st.entry[kStatMiddle] = Logf(20000.0f);  // lnMax = mid: no highlight span
    OutputConstants k = MakeConstants(s, st);
    EXPECT_EQ(k.highlightAmplitude, 0.54f);
    EXPECT_EQ(k.shadowAmplitude, -0.46f);
    EXPECT_EQ(k.highlight0.a, 0.0f);
    EXPECT_EQ(At(k.highlight1, k.highlightStart), 0.0f);
    s[kSaturationHighlights] = -10;
    EXPECT_EQ(MakeConstants(s).highlightAmplitude, -0.46f);
}

TEST(CubicSegment, SmoothStepWithItsDenominatorInDouble) {
    CubicSegment s;
    cubic_segment(0, 0, 1, 0.5f, &s);  // D = 2
    EXPECT_EQ(s.a, -0.25f);
    EXPECT_EQ(s.b, 0.75f);
    EXPECT_EQ(At(s, 2), 1.0f);
    cubic_segment(kNaN, 1, 3, 0.5f, &s);  // non-finite ends: 0 like D = 0
    EXPECT_EQ(At(s, 3), 0.0f);
    // Close ends with large cubes: D formed in single precision would differ.
    const float x0 = 9.9f, xm = 9.95f, x0c = x0 * x0 * x0, xmc = xm * xm * xm;
    const auto d = static_cast<float>(2.0 * (double{xmc} - x0c) + 6.0 * x0 * xm * (double{x0} - xm));
    ASSERT_NE(d, 2.0f * (xmc - x0c) + 6.0f * x0 * xm * (x0 - xm));
    cubic_segment(x0, 0, xm, 0.5f, &s);
    EXPECT_EQ(s.a, -0.5f / d);
}

TEST(DaylightWhite, BranchesAndDegenerateTemperatures) {
    const auto chromaticityX = [](int32_t kelvin, bool upper) {
        const float t = static_cast<float>(kelvin), t2 = t * t, t3 = t2 * t;
        const auto x = static_cast<float>(upper ? -2.0064e9 / t3 + 1.9018e6 / t2 + 0.24748e3 / t + 0.23704
                                                : -4.607e9 / t3 + 2.9678e6 / t2 + 0.09911e3 / t + 0.244063);
        return x / static_cast<float>(-3.0 * (x * x) + 2.87 * x - 0.275);
    };
    float xyz[3] = {0, 0, 0};
    daylight_white(6500, xyz);
    EXPECT_NEAR(xyz[0], 0.9504f, 2e-3);  // near D65
    EXPECT_NEAR(xyz[2], 1.0889f, 2e-3);
    for (auto [kelvin, upper] : {std::pair{7020, true}, std::pair{7000, false}, std::pair{6760, false}}) {
        daylight_white(kelvin, xyz);
        EXPECT_EQ(xyz[0], chromaticityX(kelvin, upper)) << kelvin;
        EXPECT_NE(xyz[0], chromaticityX(kelvin, !upper)) << kelvin;
    }
    // ColorTemperature -2 is 7020 K; 25 would be 0 K, which divides by zero.
    Settings s = NeutralSettings();
    s[kColorTemperature] = -2;
    daylight_white(7020, xyz);
    EXPECT_EQ(MakeConstants(s).whiteX, static_cast<float>(xyz[0] / 0.950456));
    s[kColorTemperature] = 25;
    EXPECT_EQ(MakeConstants(s).whiteZ, 0.0f);
    s[kColorTemperature] = INT32_MIN;
    EXPECT_TRUE(std::isfinite(MakeConstants(s).whiteZ));
}

}  // namespace
