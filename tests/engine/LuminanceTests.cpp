// Log-luminance extraction, wrap borders, sentinels and image statistics.
#include <gtest/gtest.h>

#include <vector>

#include "EngineTestSupport.h"

namespace {

constexpr float kWhiteLog32 = 10.3972f;  // ln(32768)
constexpr float kWhiteLog16 = 9.5654f;   // ln(14263.1)

// get_image of a 32-bit image without wrap borders.
int32_t Extract(const std::vector<float>& pixels, int32_t w, int32_t h, int32_t nb, ImageStats* stats,
                std::vector<float>* out, int32_t pad = 0) {
    const int32_t rowLength = w + 2 * pad;
    out->assign(static_cast<size_t>(rowLength) * h, 0.0f);
    return get_image(0, w, h, rowLength, h, nb, pad, stats, pixels.data(), nullptr, nullptr, out->data());
}

TEST(LogLuminance, WhiteInBothDepths) {
    ImageStats stats{};
    std::vector<float> out;
    EXPECT_EQ(Extract(std::vector<float>(4 * 3, 1.0f), 2, 2, 3, &stats, &out), 0);
    EXPECT_NEAR(out[0], kWhiteLog32, 1e-4);
    EXPECT_LIBM_EQ(static_cast<float>(std::log((0.2126f + 0.7152f + 0.0722f) * 32768.0)), out[3]);

    std::vector<float> table(65537, 0.0f);
    BuildLinearisationTable(0, 65536, table.data());
    const std::vector<uint16_t> white(4 * 3, 32768);
    ImageStats stats16{};
    std::vector<float> out16(4);
    EXPECT_EQ(get_image(1, 2, 2, 2, 2, 3, 0, &stats16, nullptr, table.data(), white.data(), out16.data()), 0);
    EXPECT_NEAR(out16[2], kWhiteLog16, 1e-4);
    EXPECT_NEAR(stats16.entry[kStatMean], 14263.1f, 0.05);
}

TEST(LogLuminance, StatisticsOfPositivePixels) {
    // Grey levels 1, 2, 4 (scaled 32768, 65536, 131072) and one black pixel.
    std::vector<float> pixels = {1, 1, 1, 2, 2, 2, 4, 4, 4, 0, 0, 0};
    ImageStats stats{};
    std::vector<float> out;
    EXPECT_EQ(Extract(pixels, 4, 1, 3, &stats, &out), 1);
    EXPECT_NEAR(stats.entry[kStatMean], 7.0 / 3.0 * 32768.0, 0.02);
    EXPECT_NEAR(stats.entry[kStatMaxOverMean], 12.0 / 7.0, 1e-5);
    EXPECT_NEAR(stats.entry[kStatMinPositive], 32768.0, 0.01);
    EXPECT_EQ(out[3], kLogSentinel);  // a lone black pixel keeps the sentinel
}

TEST(LogLuminance, SentinelsAreReplacedOnlyWhenThereAreTwo) {
    std::vector<float> pixels(10 * 3, 0.5f);
    pixels[3 * 3 + 0] = pixels[3 * 3 + 1] = pixels[3 * 3 + 2] = 0.0f;
    ImageStats stats{};
    std::vector<float> out;
    EXPECT_EQ(Extract(pixels, 10, 1, 3, &stats, &out), 1);
    EXPECT_EQ(out[3], kLogSentinel);

    pixels[7 * 3 + 0] = pixels[7 * 3 + 1] = pixels[7 * 3 + 2] = 0.0f;
    stats = ImageStats{};
    EXPECT_EQ(Extract(pixels, 10, 1, 3, &stats, &out), 2);
    const float floor = static_cast<float>(std::log(static_cast<double>(stats.entry[kStatMinPositive])));
    EXPECT_EQ(out[3], floor);
    EXPECT_EQ(out[7], floor);
    EXPECT_EQ(out[0], out[1]);
}

TEST(LogLuminance, BlackImageKeepsZeroStatistics) {
    ImageStats stats{};
    std::vector<float> out;
    EXPECT_EQ(Extract(std::vector<float>(12 * 3, 0.0f), 4, 3, 3, &stats, &out), 12);
    EXPECT_EQ(stats.entry[kStatMean], 0.0f);
    EXPECT_EQ(stats.entry[kStatMaxOverMean], 0.0f);
    EXPECT_EQ(stats.entry[kStatMinPositive], 1e9f);
    for (float v : out) EXPECT_GT(v, 0.0f);  // ln(1e9), no sentinel left
}

TEST(LogLuminance, NonFiniteSamplesCountAsBlack) {
    std::vector<float> pixels(6 * 3, 0.25f);
    pixels[0] = INFINITY;
    pixels[4] = NAN;
    ImageStats stats{};
    std::vector<float> out;
    EXPECT_EQ(Extract(pixels, 6, 1, 3, &stats, &out), 2);
    for (float v : out) EXPECT_TRUE(std::isfinite(v));
    EXPECT_TRUE(std::isfinite(stats.entry[kStatMean]));
    EXPECT_EQ(out[0], out[1]);
}

TEST(LogLuminance, WrapBordersOfAPanorama) {
    // Width 400, pad 100: columns 300..399, 0..399, 0..99. Each column has
    // its own grey level.
    const int32_t w = 400;
    const int32_t h = 2;
    std::vector<float> pixels(static_cast<size_t>(w) * h);
    for (int32_t y = 0; y < h; ++y) {
        for (int32_t x = 0; x < w; ++x) pixels[static_cast<size_t>(y) * w + x] = 0.001f * (x + 1) + y;
    }
    ImageStats stats{};
    std::vector<float> out;
    std::vector<float> plain;
    ImageStats plainStats{};
    Extract(pixels, w, h, 1, &stats, &out, w / 4);
    Extract(pixels, w, h, 1, &plainStats, &plain);
    ASSERT_EQ(out.size(), static_cast<size_t>(600 * h));
    for (int32_t y = 0; y < h; ++y) {
        const float* row = &out[static_cast<size_t>(y) * 600];
        const float* src = &plain[static_cast<size_t>(y) * w];
        for (int32_t i = 0; i < 100; ++i) ASSERT_EQ(row[i], src[300 + i]);
        for (int32_t i = 0; i < 400; ++i) ASSERT_EQ(row[100 + i], src[i]);
        for (int32_t i = 0; i < 100; ++i) ASSERT_EQ(row[500 + i], src[i]);
    }
    // The borders do not enter the statistics.
    EXPECT_EQ(stats.entry[kStatMean], plainStats.entry[kStatMean]);
}

TEST(LogLuminance, NegativeSamplesAreShiftedOrReplaced) {
    // Image: (-0.01, 0.5, 0.5) counts as (0.04, 0.5, 0.5), the shift done in
    // double; in a wrap border it counts as (0.05, 0.5, 0.5).
    const float shifted = static_cast<float>(-0.01f + 0.05);
    const std::vector<float> pixels = {-0.01f, 0.5f, 0.5f, shifted, 0.5f, 0.5f, 0.05f, 0.5f, 0.5f, 1, 1, 1};
    ImageStats stats{};
    std::vector<float> out;
    Extract(pixels, 4, 1, 3, &stats, &out, 1);
    // Row: [border from column 3] [columns 0..3] [border from column 0].
    EXPECT_EQ(out[1], out[2]);
    EXPECT_EQ(out[5], out[3]);
    EXPECT_NE(out[1], out[3]);
    // A channel far below zero makes the pixel black in the image, not in a border.
    const std::vector<float> dark = {-10, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
    Extract(dark, 4, 1, 3, &stats, &out, 1);
    EXPECT_EQ(out[1], kLogSentinel);
    EXPECT_GT(out[5], 0.0f);
}

TEST(LogLuminance, ChannelsOfOneAndTwoPlanes) {
    ImageStats stats{};
    std::vector<float> one;
    std::vector<float> three;
    Extract({0.3f, 0.3f}, 2, 1, 1, &stats, &one);
    Extract({0.3f, 0.3f, 0.3f, 0.3f, 0.3f, 0.3f}, 2, 1, 3, &stats, &three);
    EXPECT_EQ(one[0], three[0]);
    // Two planes: red and green from plane 0, blue from plane 1.
    std::vector<float> two;
    Extract({0.2f, 0.7f, 0.2f, 0.7f}, 2, 1, 2, &stats, &two);
    Extract({0.2f, 0.2f, 0.7f, 0.2f, 0.2f, 0.7f}, 2, 1, 3, &stats, &three);
    EXPECT_EQ(two[1], three[1]);
}

TEST(LogLuminance, RefusesImpossibleLayouts) {
    ImageStats stats{};
    float out[8] = {};
    const float px[3] = {1, 1, 1};
    EXPECT_EQ(get_image(0, 1, 1, 2, 1, 3, 1, &stats, px, nullptr, nullptr, out), -1);  // row too short
    EXPECT_EQ(get_image(0, 1, 1, 8, 1, 0, 0, &stats, px, nullptr, nullptr, out), -1);  // no channel
}

TEST(RoundToNearestIndex, ExactHalfRoundsDown) {
    EXPECT_EQ(RoundToNearestIndex(7.8125f), 8);
    EXPECT_EQ(RoundToNearestIndex(15.625f), 16);
    EXPECT_EQ(RoundToNearestIndex(2.5f), 2);
    EXPECT_EQ(RoundToNearestIndex(std::nextafter(2.5f, 3.0f)), 3);
    EXPECT_EQ(RoundToNearestIndex(0.49f), 0);
    EXPECT_EQ(RoundToNearestIndex(-0.7f), 0);
    EXPECT_EQ(RoundToNearestIndex(1e20f), INT32_MAX);
    EXPECT_EQ(RoundToNearestIndex(NAN), 0);
}

TEST(Preview, NearestNeighbourColumnsAndRows) {
    // 4000 x 3000 at 512 x 342, one 16-bit plane whose linear code tells the
    // source column (mod 2000) and row (mod 32).
    const int32_t w = 4000;
    const int32_t h = 3000;
    std::vector<uint16_t> src(static_cast<size_t>(w) * h);
    for (int32_t y = 0; y < h; ++y) {
        for (int32_t x = 0; x < w; ++x) src[static_cast<size_t>(y) * w + x] = static_cast<uint16_t>(1 + x % 2000 + 2000 * (y % 32));
    }
    std::vector<float> table(65536);
    BuildLinearisationTable(1, 65536, table.data());
    std::vector<float> out(512 * 342);
    ImageStats stats{};
    ASSERT_EQ(get_preview(0, 1, 0, 0, w, h, 512, 342, 512, 342, 1, &stats, nullptr, table.data(), src.data(),
                          out.data()),
              0);
    const auto code = [&](int32_t x, int32_t y) {
        return static_cast<int32_t>(std::lround(std::exp(out[static_cast<size_t>(y) * 512 + x])));
    };
    EXPECT_EQ(code(0, 0), 1);
    EXPECT_EQ(code(1, 0), 1 + 8);   // 7.8125 rounds up
    EXPECT_EQ(code(2, 0), 1 + 16);  // 15.625 rounds up
    EXPECT_EQ(code(511, 0), 1 + 3992 % 2000);
    EXPECT_EQ(code(0, 1), 1 + 2000 * 9);                // 8.77 rounds up
    EXPECT_EQ(code(0, 341), 1 + 2000 * (2991 % 32));   // 2991.23 rounds down
}

TEST(Preview, RefusesSidesBelowTen) {
    std::vector<float> src(10 * 10 * 3, 1.0f);
    std::vector<float> out(100);
    ImageStats stats{};
    EXPECT_EQ(get_preview(0, 0, 0, 0, 10, 9, 10, 10, 10, 10, 3, &stats, src.data(), nullptr, nullptr, out.data()), -1);
    EXPECT_EQ(get_preview(0, 0, 0, 0, 10, 10, 9, 10, 9, 10, 3, &stats, src.data(), nullptr, nullptr, out.data()), -1);
    EXPECT_EQ(get_preview(0, 0, 0, 0, 10, 10, 10, 10, 10, 10, 3, &stats, src.data(), nullptr, nullptr, out.data()), 0);
    EXPECT_NEAR(out[99], kWhiteLog32, 1e-4);
}

TEST(Preview, KeepsNegativeSamplesAndDoubleStatistics) {
    // Upsampling 10 x 10 to 20 x 20; one pixel with a negative red channel
    // stays as it is (its luminance is still positive).
    std::vector<float> src(10 * 10 * 3, 0.5f);
    src[0] = -0.01f;
    std::vector<float> out(400);
    ImageStats stats{};
    EXPECT_EQ(get_preview(0, 0, 0, 0, 10, 10, 20, 20, 20, 20, 3, &stats, src.data(), nullptr, nullptr, out.data()), 0);
    const double y0 = (0.2126f * -0.01f + 0.7152f * 0.5f + 0.0722f * 0.5f) * 32768.0;
    EXPECT_LIBM_EQ(static_cast<float>(std::log(y0)), out[0]);
    EXPECT_LIBM_EQ(static_cast<float>(y0), stats.entry[kStatMinPositive]);
    EXPECT_GT(stats.entry[kStatMaxOverMean], 1.0f);
}

}  // namespace
