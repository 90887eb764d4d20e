// Gradient attenuation (tm1): constants, pyramid, divergence, sentinels, small grids.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "EngineMaths.h"
#include "EngineTestSupport.h"
#include "GradientAttenuation.h"

namespace {

TEST(GradientAttenuation, ConstantsOfLuminosityAndMicrocontrast) {
    EXPECT_EQ(CompressionExponent(7), 1.0 - 7.5 / 100.0);
    EXPECT_DOUBLE_EQ(CompressionExponent(1), 0.985);
    EXPECT_DOUBLE_EQ(CompressionExponent(13), 0.865);
    EXPECT_EQ(CompressionExponent(20), CompressionExponent(13));  // held to 13
    EXPECT_EQ(ThresholdFactor(0), 0.1);
    EXPECT_DOUBLE_EQ(ThresholdFactor(-10), 0.00625);
    EXPECT_EQ(0.1 * Pow(2.0, 0.8), ThresholdFactor(2));
    EXPECT_EQ(0.1 * Pow(2.0, 0.925), ThresholdFactor(3));
    EXPECT_EQ(0.1 * Pow(2.0, 1.8), ThresholdFactor(10));
    EXPECT_EQ(ThresholdFactor(11), ThresholdFactor(10));
}

// Work buffers for a w x h plan with f(x, y) as log-luminance, and
// statistics whose landmark range is lo .. hi.
template <typename Field>
WorkBuffers Scene(const PyramidPlan& plan, Field field, ImageStats* stats, float lo, float hi) {
    WorkBuffers b(WorkBufferValues(plan));
    for (int32_t y = 0; y < plan.entry[kPlanRowCount]; ++y) {
        for (int32_t x = 0; x < plan.entry[kPlanRowLength]; ++x)
            b.b0.data()[y * plan.entry[kPlanRowLength] + x] = field(x, y);
    }
    *stats = ImageStats{};
    stats->entry[kStatMinPositive] = std::exp(lo);
    stats->entry[kStatMean] = std::exp(hi);
    stats->entry[kStatMaxOverMean] = 1.0f;
    return b;
}

TEST(GradientAttenuation, ConstantImageHasNoDivergence) {
    const PyramidPlan plan = MakePlan(300, 200, 0);
    ImageStats stats;
    WorkBuffers b = Scene(plan, [](int32_t, int32_t) { return 4.5f; }, &stats, 4.5f, 4.5f);
    stats.entry[kStatMiddle] = 7.0f;
    EXPECT_EQ(AttenuateAsDriver(plan, b, &stats), 1);
    for (int32_t i = 0; i < plan.entry[kPlanSolverSize]; ++i) ASSERT_EQ(b.b0.data()[i], 0.0f) << i;
    EXPECT_EQ(stats.entry[kStatMiddle], 7.0f);  // empty range: landmarks kept
}

TEST(GradientAttenuation, PyramidLevelsAndTheirScale) {
    // A ramp of slope a: each level's central difference times 0.5^(k+1) is
    // a again, the one-sided border differences give a / 2. Level 4 (63
    // wide) has the mean a x 62 / 63, so tm1 returns trunc(9.84) + 1.
    const PyramidPlan plan = MakePlan(1000, 1000, 0);
    ImageStats stats;
    WorkBuffers b = Scene(plan, [](int32_t x, int32_t) { return 0.001f * static_cast<float>(x); }, &stats, 0, 1);
    EXPECT_EQ(AttenuateAsDriver(plan, b, &stats), 10);
    int64_t offset = 0;
    for (int32_t k = 0, w = 1000; k < 5; ++k, w = (w + 1) / 2) {
        EXPECT_NEAR(b.b2.data()[offset + w * 5 + 7], 0.007f * (1 << k), 1e-5) << "level " << k;
        offset += static_cast<int64_t>(w) * w;
    }
    EXPECT_EQ(offset, plan.entry[kPlanGradientSize]);
    EXPECT_NEAR(stats.entry[kStatLow], 0.25f, 0.002f);  // a uniform ramp: quartiles and median
    EXPECT_NEAR(stats.entry[kStatMiddle], 0.5f, 0.002f);
    EXPECT_NEAR(stats.entry[kStatHigh], 0.75f, 0.002f);
}

// Without flux through the border the divergence sums to 0: every border
// cell must drop exactly the terms of its missing neighbours.
TEST(GradientAttenuation, DivergenceSumsToZero) {
    for (const auto& size : {std::pair{97, 61}, std::pair{128, 128}}) {
        const PyramidPlan plan = MakePlan(size.first, size.second, 0);
        ImageStats stats;
        WorkBuffers b = Scene(
            plan, [](int32_t x, int32_t y) { return static_cast<float>(3.0 + std::sin(0.11 * x) * std::cos(0.07 * y)); },
            &stats, 1, 5);
        ASSERT_GT(AttenuateAsDriver(plan, b, &stats, 2, 0.3f), 0);
        double sum = 0;
        double magnitude = 0;
        for (int32_t i = 0; i < size.first * size.second; ++i) {
            sum += b.b0.data()[i];
            magnitude += std::fabs(b.b0.data()[i]);
        }
        EXPECT_GT(magnitude, 1.0);
        EXPECT_LT(std::fabs(sum), 1e-5 * magnitude) << size.first << " x " << size.second;
    }
}

TEST(GradientAttenuation, LoneSentinelLeavesNoSpike) {
    const PyramidPlan plan = MakePlan(64, 64, 0);
    ImageStats stats;
    WorkBuffers b = Scene(plan, [](int32_t x, int32_t y) { return 5.0f + 0.02f * x + 0.01f * y; }, &stats, 5, 7);
    b.b0.data()[30 * 64 + 20] = kLogSentinel;
    ASSERT_GT(AttenuateAsDriver(plan, b, &stats), 0);
    for (int32_t i = 0; i < 64 * 64; ++i) ASSERT_LE(std::fabs(b.b0.data()[i]), 100.0f) << i;
    for (int32_t i : {30 * 64 + 20, 30 * 64 + 19, 30 * 64 + 21, 29 * 64 + 20, 31 * 64 + 20}) EXPECT_EQ(b.b0.data()[i], 0.0f);
}

TEST(GradientAttenuation, ThinGridsUseTheLevelsActuallyBuilt) {
    // 512 x 12 halves twice (to 128 x 3), not four times.
    for (const auto& size : {std::pair{512, 12}, std::pair{12, 512}, std::pair{10, 10}}) {
        const PyramidPlan plan = MakePlan(size.first, size.second, 0);
        ImageStats stats;
        WorkBuffers b = Scene(
            plan, [](int32_t x, int32_t y) { return static_cast<float>(2.0 + std::sin(0.3 * x + 0.2 * y)); }, &stats, 1, 3);
        ASSERT_GT(AttenuateAsDriver(plan, b, &stats), 0) << size.first;
        EXPECT_TRUE(b.Intact());
        double magnitude = 0;
        for (int32_t i = 0; i < size.first * size.second; ++i) magnitude += std::fabs(b.b0.data()[i]);
        EXPECT_TRUE(magnitude > 0.0 && std::isfinite(magnitude)) << size.first;
    }
    const PyramidPlan plan = MakePlan(64, 64, 0);  // a plan made for another grid is refused
    WorkBuffers b(WorkBufferValues(plan));
    ImageStats stats{};
    EXPECT_EQ(tm1(0, 65, 64, 7, 0, 0.0f, &plan, &stats, b.b0.data(), b.b1.data(), b.b2.data()), -1);
}

}  // namespace
