// Log-luminance extraction: depths, wrap borders, sentinels, statistics, preview sampling.
#include <gtest/gtest.h>

#include <vector>

#include "EngineMaths.h"
#include "EngineTestSupport.h"

namespace {

// get_image of a 32-bit image; pad columns of wrap border on each side.
std::vector<float> Extract(const std::vector<float>& pixels, int32_t w, int32_t h, int32_t nb, ImageStats* stats,
                           int32_t pad = 0, int32_t* result = nullptr) {
    std::vector<float> out(static_cast<size_t>(w + 2 * pad) * h);
    const int32_t r = get_image(0, w, h, w + 2 * pad, h, nb, pad, stats, pixels.data(), nullptr, nullptr, out.data());
    if (result != nullptr) *result = r;
    return out;
}

TEST(LogLuminance, WhiteInBothDepths) {
    ImageStats stats{};
    EXPECT_NEAR(Extract(std::vector<float>(12, 1.0f), 2, 2, 3, &stats)[3], 10.3972f, 1e-4);  // ln(32768)
    std::vector<float> table(65537, 0.0f);
    BuildLinearisationTable(0, 65536, table.data());
    const std::vector<uint16_t> white(12, 32768);
    std::vector<float> out(4);
    EXPECT_EQ(get_image(1, 2, 2, 2, 2, 3, 0, &stats, nullptr, table.data(), white.data(), out.data()), 0);
    EXPECT_NEAR(out[2], 9.5654f, 1e-4);  // ln(14263.1)
    EXPECT_NEAR(stats.entry[kStatMean], 14263.1f, 0.05);
}

TEST(LogLuminance, SentinelsAndStatistics) {
    // Greys 1, 2, 4 and black pixels: one black pixel keeps the sentinel,
    // two are both replaced by ln(minimum).
    std::vector<float> pixels = {1, 1, 1, 2, 2, 2, 4, 4, 4, 0, 0, 0, 4, 4, 4};
    ImageStats stats{};
    int32_t result = 0;
    std::vector<float> out = Extract(pixels, 5, 1, 3, &stats, 0, &result);
    EXPECT_EQ(result, 1);
    EXPECT_EQ(out[3], kLogSentinel);
    EXPECT_NEAR(stats.entry[kStatMean], 11.0 / 4.0 * 32768.0, 0.02);
    EXPECT_NEAR(stats.entry[kStatMaxOverMean], 16.0 / 11.0, 1e-5);
    EXPECT_NEAR(stats.entry[kStatMinPositive], 32768.0, 0.01);

    pixels[0] = pixels[1] = pixels[2] = 0.0f;
    stats = ImageStats{};
    out = Extract(pixels, 5, 1, 3, &stats, 0, &result);
    EXPECT_EQ(result, 2);
    EXPECT_EQ(out[0], out[1]);
    EXPECT_EQ(out[3], out[1]);
    EXPECT_EQ(static_cast<float>(Log(static_cast<double>(stats.entry[kStatMinPositive]))), out[1]);

    // No positive pixel: mean and ratio stay 0, the minimum is 1e9.
    stats = ImageStats{};
    out = Extract(std::vector<float>(12, 0.0f), 4, 1, 3, &stats);
    EXPECT_EQ(stats.entry[kStatMean], 0.0f);
    EXPECT_EQ(stats.entry[kStatMaxOverMean], 0.0f);
    EXPECT_EQ(stats.entry[kStatMinPositive], 1e9f);
}

TEST(LogLuminance, NonFiniteSamplesCountAsBlack) {
    std::vector<float> pixels(18, 0.25f);
    pixels[0] = INFINITY;
    pixels[4] = NAN;
    ImageStats stats{};
    int32_t result = 0;
    const std::vector<float> out = Extract(pixels, 6, 1, 3, &stats, 0, &result);
    EXPECT_EQ(result, 2);
    EXPECT_EQ(out[0], out[2]);  // both replaced by ln(minimum)
    EXPECT_TRUE(std::isfinite(stats.entry[kStatMean]));
}

TEST(LogLuminance, WrapBordersOfAPanorama) {
    // Width 400, pad 100: each row reads columns 300..399, 0..399, 0..99.
    std::vector<float> pixels(800);
    for (int32_t i = 0; i < 800; ++i) pixels[i] = 0.001f * (i % 400 + 1) + i / 400;
    ImageStats withBorders{};
    ImageStats plainStats{};
    const std::vector<float> out = Extract(pixels, 400, 2, 1, &withBorders, 100);
    const std::vector<float> plain = Extract(pixels, 400, 2, 1, &plainStats);
    for (int32_t y = 0; y < 2; ++y) {
        for (int32_t i = 0; i < 600; ++i) {
            const int32_t column = i < 100 ? 300 + i : (i < 500 ? i - 100 : i - 500);
            ASSERT_EQ(out[y * 600 + i], plain[y * 400 + column]) << i;
        }
    }
    EXPECT_EQ(withBorders.entry[kStatMean], plainStats.entry[kStatMean]);  // borders not counted
}

TEST(LogLuminance, NegativeSamplesAndChannelLayouts) {
    // (-0.01, 0.5, 0.5) counts as (-0.01 + 0.05 in double, 0.5, 0.5) in the
    // image and as (0.05, 0.5, 0.5) in a wrap border.
    const float shifted = static_cast<float>(-0.01f + 0.05);
    ImageStats stats{};
    std::vector<float> out =
        Extract({-0.01f, 0.5f, 0.5f, shifted, 0.5f, 0.5f, 0.05f, 0.5f, 0.5f, 1, 1, 1}, 4, 1, 3, &stats, 1);
    EXPECT_EQ(out[1], out[2]);  // row: [border of column 3] columns 0..3 [border of column 0]
    EXPECT_EQ(out[5], out[3]);
    out = Extract({-10, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}, 4, 1, 3, &stats, 1);
    EXPECT_EQ(out[1], kLogSentinel);  // black in the image, not in the border
    EXPECT_GT(out[5], 0.0f);
    // One plane gives R = G = B; two planes read red and green from plane 0.
    EXPECT_EQ(Extract({0.3f}, 1, 1, 1, &stats)[0], Extract({0.3f, 0.3f, 0.3f}, 1, 1, 3, &stats)[0]);
    EXPECT_EQ(Extract({0.2f, 0.7f}, 1, 1, 2, &stats)[0], Extract({0.2f, 0.2f, 0.7f}, 1, 1, 3, &stats)[0]);
}

TEST(Preview, NearestNeighbourSampling) {
    EXPECT_EQ(RoundToNearestIndex(2.5f), 2);  // an exact half rounds down
    EXPECT_EQ(RoundToNearestIndex(std::nextafter(2.5f, 3.0f)), 3);
    EXPECT_EQ(RoundToNearestIndex(1e20f), INT32_MAX);
    // 4000 x 3000 at 512 x 342 from one 16-bit plane whose (linear) code
    // tells the source column mod 2000 and row mod 32.
    const int32_t w = 4000;
    std::vector<uint16_t> src(static_cast<size_t>(w) * 3000);
    for (size_t i = 0; i < src.size(); ++i) src[i] = static_cast<uint16_t>(1 + (i % w) % 2000 + 2000 * ((i / w) % 32));
    std::vector<float> table(65536);
    BuildLinearisationTable(1, 65536, table.data());
    std::vector<float> out(512 * 342);
    ImageStats stats{};
    ASSERT_EQ(get_preview(0, 1, 0, 0, w, 3000, 512, 342, 512, 342, 1, &stats, nullptr, table.data(), src.data(),
                          out.data()),
              0);
    const auto code = [&](int32_t x, int32_t y) { return std::lround(std::exp(out[y * 512 + x])); };
    EXPECT_EQ(code(1, 0), 1 + 8);                     // 7.8125 rounds up
    EXPECT_EQ(code(2, 0), 1 + 16);                    // 15.625 rounds up
    EXPECT_EQ(code(511, 0), 1 + 3992 % 2000);         // 3992.19
    EXPECT_EQ(code(0, 1), 1 + 2000 * 9);              // 8.77
    EXPECT_EQ(code(0, 341), 1 + 2000 * (2991 % 32));  // 2991.23
}

TEST(Preview, SidesBelowTenAndNegativeSamples) {
    std::vector<float> src(300, 0.5f);
    src[0] = -0.01f;  // kept as it is in the preview
    std::vector<float> out(400);
    ImageStats stats{};
    EXPECT_EQ(get_preview(0, 0, 0, 0, 10, 9, 10, 10, 10, 10, 3, &stats, src.data(), nullptr, nullptr, out.data()), -1);
    EXPECT_EQ(get_preview(0, 0, 0, 0, 10, 10, 9, 10, 9, 10, 3, &stats, src.data(), nullptr, nullptr, out.data()), -1);
    EXPECT_EQ(get_preview(0, 0, 0, 0, 10, 10, 20, 20, 20, 20, 3, &stats, src.data(), nullptr, nullptr, out.data()), 0);
    const double darkest = (0.2126f * -0.01f + 0.7152f * 0.5f + 0.0722f * 0.5f) * 32768.0;
    EXPECT_EQ(static_cast<float>(Log(darkest)), out[0]);
    EXPECT_EQ(static_cast<float>(darkest), stats.entry[kStatMinPositive]);
}

}  // namespace
