// Constants of the output operator: clips, gamma, strength, global curve,
// transitions, saturation amplitudes, colour temperature, cubic segments.
#include <cfloat>
#include <climits>
#include <cmath>
#include <limits>

#include "OutputTestSupport.h"

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

TEST(OutputSetup, ClipPercentagesAreLimitedBeforeTheWhiteOffset) {
    Settings s = NeutralSettings();
    s[kWhiteClip] = 300000;  // 15 % acts as 10 %
    s[kBlackClip] = -7;
    OutputConstants k = MakeConstants(s);
    EXPECT_EQ(k.whitePercent, static_cast<float>(10.0f + 0.001));
    EXPECT_EQ(k.blackPercent, 0.0f);

    s[kWhiteClip] = -1;
    s[kBlackClip] = 250000;
    k = MakeConstants(s);
    EXPECT_EQ(k.whitePercent, 0.001f);  // White Point 0 still trims the top
    EXPECT_EQ(k.blackPercent, 10.0f);

    s[kWhiteClip] = 5000;  // the default, 0.25 %
    s[kBlackClip] = 20000;
    k = MakeConstants(s);
    EXPECT_EQ(k.whitePercent, 0.251f);
    EXPECT_EQ(k.blackPercent, 1.0f);
}

TEST(OutputSetup, GammaExponentOutsideItsRangeFallsBackToOne) {
    const auto gammaOf = [](int32_t code) {
        Settings s = NeutralSettings();
        s[kGamma] = code;
        return MakeConstants(s).gamma;
    };
    EXPECT_EQ(gammaOf(50), 1.0f);
    EXPECT_EQ(gammaOf(0), 2.0f);
    EXPECT_EQ(gammaOf(100), 0.5f);
    EXPECT_NEAR(gammaOf(125), 0.353553f, 1e-6);  // still above 0.35
    EXPECT_EQ(gammaOf(-1), 1.0f);                // 2.028 is not limited to 2
    EXPECT_EQ(gammaOf(126), 1.0f);               // 0.3487 is not limited to 0.35
    EXPECT_EQ(gammaOf(INT32_MIN), 1.0f);
}

TEST(OutputSetup, StrengthDecidesWhetherTheGlobalCurveIsNeeded) {
    Settings s = NeutralSettings();
    OutputConstants k = MakeConstants(s);
    EXPECT_EQ(k.strength, 0.0f);
    EXPECT_EQ(k.strengthComplement, 1.0f);
    EXPECT_FALSE(k.globalCurve);

    for (int32_t index : {kHighlightsSmoothing, kShadowsSmoothing, kShadowsClipping}) {
        Settings t = s;
        t[index] = 1;
        EXPECT_TRUE(MakeConstants(t).globalCurve) << index;
    }
    s[kStrength] = 0;
    k = MakeConstants(s);
    EXPECT_EQ(k.strength, 0.9f);
    EXPECT_EQ(k.strengthComplement, 1 - 0.9f);
    EXPECT_TRUE(k.globalCurve);

    s[kStrength] = 120;  // a negative weight never asks for the curve
    EXPECT_FALSE(MakeConstants(s).globalCurve);
}

TEST(OutputSetup, GlobalCurveConstantsAndFallbacks) {
    ImageStats st = TypicalStats();
    st.entry[kStatMaxOverMean] = 99.0f;
    OutputConstants k = MakeConstants(NeutralSettings(), st);
    EXPECT_EQ(k.adaptation, 1000.0f);
    EXPECT_FLOAT_EQ(k.curveScale, 0.5f);  // 1 / log10(100)
    EXPECT_EQ(k.inverseMaximum, static_cast<float>(1.0 / 99.0));

    for (float mean : {0.0f, -3.0f, kNaN}) {
        st.entry[kStatMean] = mean;
        EXPECT_EQ(MakeConstants(NeutralSettings(), st).adaptation, 1.0f) << mean;
    }
    // No usable maximum ratio leaves c = r = 1.
    for (float ratio : {0.0f, -1.0f, kNaN, 1e-20f}) {
        st.entry[kStatMaxOverMean] = ratio;
        k = MakeConstants(NeutralSettings(), st);
        EXPECT_EQ(k.curveScale, 1.0f) << ratio;
        EXPECT_EQ(k.inverseMaximum, 1.0f) << ratio;
    }
    st.entry[kStatMaxOverMean] = kInf;  // the curve flattens to 0
    k = MakeConstants(NeutralSettings(), st);
    EXPECT_EQ(k.curveScale, 0.0f);
    EXPECT_EQ(k.inverseMaximum, 0.0f);
}

TEST(OutputSetup, TransitionsSpanFromTheExtremesTowardsTheMiddle) {
    const ImageStats st = TypicalStats();
    const float lnMax = logf(20000.0f);
    Settings s = NeutralSettings();
    OutputConstants k = MakeConstants(s, st);
    EXPECT_LIBM_EQ(lnMax, k.lnMax);
    EXPECT_EQ(k.lnMin, 0.0f);
    EXPECT_EQ(k.highlightStart, k.lnMax);  // 0 % starts at the maximum
    EXPECT_EQ(k.shadowStart, k.lnMin);
    EXPECT_EQ(k.clipStart, k.lnMin);
    EXPECT_NEAR(k.highlightEnd - k.highlightStart, 0.4f * (k.lnMax - 6.7f), 1e-5);
    EXPECT_NEAR(k.shadowStart - k.shadowEnd, 0.4f * 6.7f, 1e-5);
    EXPECT_EQ(k.highlightMid, (k.highlightStart + k.highlightEnd) / 2);

    s[kHighlightsSmoothing] = 100;
    s[kShadowsSmoothing] = 100;
    s[kShadowsClipping] = 50;
    k = MakeConstants(s, st);
    EXPECT_NEAR(k.highlightStart, 6.7f, 1e-6);  // 100 % starts at the middle
    EXPECT_NEAR(k.shadowStart, 6.7f, 1e-6);
    EXPECT_NEAR(k.clipStart, 3.35f, 1e-6);
    // The weights rise smoothly from 0 at the start to 1 at the end.
    EXPECT_NEAR(EvaluateAt(k.highlight0, k.highlightStart), 0.0f, 1e-3);
    EXPECT_NEAR(EvaluateAt(k.highlight0, k.highlightMid), 0.5f, 1e-3);
    EXPECT_NEAR(EvaluateAt(k.highlight1, k.highlightEnd), 1.0f, 1e-3);
    EXPECT_NEAR(EvaluateAt(k.shadow1, k.shadowEnd), 1.0f, 1e-3);
    EXPECT_NEAR(EvaluateAt(k.clip0, k.clipStart), 0.0f, 1e-3);
}

TEST(OutputSetup, HighlightSegmentsDegenerateWhenTheMaximumIsTheMiddle) {
    ImageStats st = TypicalStats();
    st.entry[kStatMiddle] = logf(st.entry[kStatMaxOverMean] * st.entry[kStatMean]);
    Settings s = NeutralSettings();
    s[kHighlightsSmoothing] = 40;
    const OutputConstants k = MakeConstants(s, st);
    EXPECT_EQ(k.highlightStart, k.highlightEnd);
    for (const CubicSegment& seg : {k.highlight0, k.highlight1}) {
        EXPECT_EQ(seg.a, 0.0f);
        EXPECT_EQ(seg.d, 0.0f);
        EXPECT_EQ(EvaluateAt(seg, k.highlightStart), 0.0f);
    }
}

TEST(OutputSetup, SaturationAmplitudesUseTheHeadroomOrTheSaturation) {
    Settings s = NeutralSettings();
    s[kColorSaturation] = 46;
    s[kSaturationHighlights] = 10;
    s[kSaturationShadows] = -10;
    OutputConstants k = MakeConstants(s);
    EXPECT_EQ(k.highlightAmplitude, 0.54f);
    EXPECT_EQ(k.shadowAmplitude, -0.46f);
    EXPECT_EQ(k.highlightSaturationMid, (9.2f + 6.7f) / 2);
    EXPECT_EQ(k.shadowSaturationMid, (4.0f + 6.7f) / 2);
    EXPECT_NEAR(EvaluateAt(k.highlightSaturation1, 9.2f), 0.54f, 1e-5);
    EXPECT_NEAR(EvaluateAt(k.shadowSaturation1, 4.0f), -0.46f, 1e-5);

    s[kSaturationHighlights] = -10;
    s[kSaturationShadows] = 5;
    k = MakeConstants(s);
    EXPECT_EQ(k.highlightAmplitude, -0.46f);
    EXPECT_EQ(k.shadowAmplitude, 0.27f);
}

TEST(CubicSegment, IsTheSmoothStepBetweenTheEndAndItsMirror) {
    CubicSegment seg;
    cubic_segment(0, 0, 1, 0.5f, &seg);  // D = 2
    EXPECT_EQ(seg.a, -0.25f);
    EXPECT_EQ(seg.b, 0.75f);
    EXPECT_EQ(seg.c, 0.0f);
    EXPECT_EQ(seg.d, 0.0f);
    EXPECT_EQ(EvaluateAt(seg, 1), 0.5f);
    EXPECT_EQ(EvaluateAt(seg, 2), 1.0f);

    cubic_segment(3, 1, 3, 0.5f, &seg);  // no width
    EXPECT_EQ(seg.a, 0.0f);
    EXPECT_EQ(seg.b, 0.0f);
    EXPECT_EQ(seg.c, 0.0f);
    EXPECT_EQ(seg.d, 0.0f);
    cubic_segment(kNaN, 1, 3, 0.5f, &seg);  // non-finite ends as well
    EXPECT_EQ(EvaluateAt(seg, 3), 0.0f);
}

TEST(CubicSegment, FormsTheDenominatorInDoubleFromSingleCubes) {
    // Close ends with large cubes: a single-precision D would differ.
    const float x0 = 9.9f;
    const float xm = 9.95f;
    const float x0Cubed = x0 * x0 * x0;
    const float xmCubed = xm * xm * xm;
    const float d = static_cast<float>(2.0 * (static_cast<double>(xmCubed) - x0Cubed) +
                                       6.0 * x0 * xm * (static_cast<double>(x0) - xm));
    const float singleD = 2.0f * (xmCubed - x0Cubed) + 6.0f * x0 * xm * (x0 - xm);
    ASSERT_NE(d, singleD);
    CubicSegment seg;
    cubic_segment(x0, 0, xm, 0.5f, &seg);
    EXPECT_EQ(seg.a, -0.5f / d);
    EXPECT_EQ(seg.b, -3.0f * xm * seg.a);
}

TEST(DaylightWhite, FollowsTheDaylightLocus) {
    float xyz[3] = {0, 0, 0};
    daylight_white(6500, xyz);
    EXPECT_NEAR(xyz[0], 0.9504f, 2e-3);  // close to, not exactly, D65
    EXPECT_EQ(xyz[1], 1.0f);
    EXPECT_NEAR(xyz[2], 1.0889f, 2e-3);

    // Above 7000 K the upper branch; the two branches nearly meet there.
    const auto expectedX = [](double t, bool upper) {
        const float tf = static_cast<float>(t);
        const float t2 = tf * tf;
        const float t3 = t2 * tf;
        const float x = static_cast<float>(upper ? -2.0064e9 / t3 + 1.9018e6 / t2 + 0.24748e3 / tf + 0.23704
                                                 : -4.607e9 / t3 + 2.9678e6 / t2 + 0.09911e3 / tf + 0.244063);
        const float y = static_cast<float>(-3.0 * (x * x) + 2.87 * x - 0.275);
        return x / y;
    };
    daylight_white(7020, xyz);
    EXPECT_EQ(xyz[0], expectedX(7020, true));
    EXPECT_NE(xyz[0], expectedX(7020, false));
    daylight_white(7000, xyz);
    EXPECT_EQ(xyz[0], expectedX(7000, false));
    daylight_white(6760, xyz);
    EXPECT_EQ(xyz[0], expectedX(6760, false));
}

TEST(DaylightWhite, DegenerateTemperaturesLeaveTheTripleAlone) {
    float xyz[3] = {7, 8, 9};
    daylight_white(0, xyz);  // divides by zero
    EXPECT_EQ(xyz[0], 7.0f);
    EXPECT_EQ(xyz[1], 8.0f);
    EXPECT_EQ(xyz[2], 9.0f);
    for (int32_t t : {INT32_MIN, -260, 260, INT32_MAX}) {
        daylight_white(t, xyz);
        EXPECT_TRUE(std::isfinite(xyz[0]) && std::isfinite(xyz[2])) << t;
    }
}

TEST(OutputSetup, ColourTemperatureStepsOf260Kelvin) {
    Settings s = NeutralSettings();
    EXPECT_FALSE(MakeConstants(s).colourShift);
    s[kColorTemperature] = -2;
    OutputConstants k = MakeConstants(s);
    float xyz[3] = {0, 0, 0};
    daylight_white(7020, xyz);
    EXPECT_TRUE(k.colourShift);
    EXPECT_EQ(k.whiteX, static_cast<float>(xyz[0] / 0.950456));
    EXPECT_EQ(k.whiteZ, static_cast<float>(xyz[2] / 1.088754));
    EXPECT_GT(k.whiteZ, 1.0f);  // cooler: more blue

    s[kColorTemperature] = 10;  // 3900 K, warmer
    EXPECT_LT(MakeConstants(s).whiteZ, 0.7f);

    s[kColorTemperature] = 25;  // 0 K: the zero triple
    k = MakeConstants(s);
    EXPECT_EQ(k.whiteX, 0.0f);
    EXPECT_EQ(k.whiteZ, 0.0f);
    s[kColorTemperature] = INT32_MIN;  // no overflow
    k = MakeConstants(s);
    EXPECT_TRUE(std::isfinite(k.whiteX) && std::isfinite(k.whiteZ));
}

}  // namespace
