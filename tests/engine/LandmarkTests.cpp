// Log-luminance histogram, quantile bins and the landmark search.
#include <gtest/gtest.h>

#include <vector>

#include "EngineMaths.h"
#include "EngineTestSupport.h"

namespace {

constexpr int32_t kBins = 65536;

TEST(LogHistogram, BinsAndEmptyRanges) {
    std::vector<int32_t> histogram(10, 0);
    const float values[] = {kLogSentinel, -5.0f, 0.0f, 0.95f, 1.0f, 7.0f, NAN};
    EXPECT_EQ(BuildLogHistogram(7, 10, 0.0f, 1.0f, values, histogram.data()), 7);
    EXPECT_EQ(histogram, (std::vector<int32_t>{4, 0, 0, 0, 0, 0, 0, 0, 1, 2}));  // end bins catch the rest
    EXPECT_EQ(BuildLogHistogram(2, 10, 1.0f, 1.0f, values, histogram.data()), -1);
    EXPECT_EQ(BuildLogHistogram(2, 10, NAN, 1.0f, values, histogram.data()), -1);

    const int32_t counts[6] = {0, 0, 3, 0, 5, 2};
    EXPECT_EQ(FindQuantileBin(0.0f, 10, 6, counts), 2);  // first non-empty bin
    EXPECT_EQ(FindQuantileBin(0.3f, 10, 6, counts), 4);  // 3 does not exceed trunc(3)
    EXPECT_EQ(FindQuantileBin(1.0f, 10, 6, counts), 6);  // never exceeded
}

// Landmark range ln(1) .. 10 and values that fall into the given bins.
struct LandmarkScene {
    ImageStats stats{};
    float lo = 0, hi = 0, width = 0;
    std::vector<float> values;
    LandmarkScene() {
        stats.entry[kStatMinPositive] = 1.0f;
        stats.entry[kStatMean] = 100.0f;
        stats.entry[kStatMaxOverMean] = static_cast<float>(std::exp(10.0) / 100.0);
        lo = Logf(stats.entry[kStatMinPositive]);
        hi = Logf(stats.entry[kStatMaxOverMean] * stats.entry[kStatMean]);
        width = static_cast<float>(static_cast<double>(hi - lo) / kBins);
    }
    void Add(int32_t count, int32_t bin) {
        const float scale = static_cast<float>(kBins - 1) / (hi - lo);
        values.insert(values.end(), count, lo + (static_cast<float>(bin) + 0.5f) / scale);
    }
    float At(int32_t bin) const { return lo + width * static_cast<float>(bin); }
};

TEST(Landmarks, MedianAndQuartiles) {
    LandmarkScene scene;
    scene.Add(25, 20000);
    scene.Add(50, 30000);
    scene.Add(25, 40000);
    ASSERT_EQ(SetLandmarks(100, scene.values.data(), &scene.stats), 0);
    EXPECT_EQ(scene.stats.entry[kStatMiddle], scene.At(30000));
    EXPECT_EQ(scene.stats.entry[kStatLow], scene.At(30000));
    EXPECT_EQ(scene.stats.entry[kStatHigh], scene.At(40000));
}

TEST(Landmarks, SkewTowardsTheTopStopsAfterFortyAdjustments) {
    // One very dark pixel, the others in the top 5 % of the range.
    LandmarkScene scene;
    scene.values.push_back(kLogSentinel);
    scene.Add(999, 64000);
    std::vector<int32_t> histogram(kBins, 0);
    BuildLogHistogram(1000, kBins, scene.lo, scene.hi, scene.values.data(), histogram.data());
    float expected = 0.5f;
    for (int i = 0; i < 40; ++i) expected = expected * 0.99f;
    EXPECT_NEAR(expected, 0.3345f, 1e-4);
    ResetQuantileAdjustments();
    EXPECT_EQ(AdjustQuantileFraction(0.5f, 1000, kBins, histogram.data()), expected);
    EXPECT_EQ(AdjustQuantileFraction(0.5f, 1000, kBins, histogram.data()), 0.5f);  // counter spent
    // The landmark step resets the counter on every run.
    for (int run = 0; run < 2; ++run) {
        ImageStats stats = scene.stats;
        ASSERT_EQ(SetLandmarks(1000, scene.values.data(), &stats), 0);
        EXPECT_EQ(stats.entry[kStatLow], scene.At(64000));
    }
}

TEST(Landmarks, SkewTowardsTheBottomRaisesTheFraction) {
    // 60 % in bin 100: q grows by 1.01 until its bin leaves the bottom
    // quarter, 19 steps (0.5 x 1.01^19 > 0.6).
    std::vector<int32_t> histogram(kBins, 0);
    histogram[100] = 600;
    histogram[40000] = 400;
    float expected = 0.5f;
    for (int i = 0; i < 19; ++i) expected = expected * 1.01f;
    ResetQuantileAdjustments();
    EXPECT_EQ(AdjustQuantileFraction(0.5f, 1000, kBins, histogram.data()), expected);
}

}  // namespace
