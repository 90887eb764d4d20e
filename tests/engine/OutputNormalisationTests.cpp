// Range normalisation: histogram walks, the linear map and degenerate buffers.
#include <cfloat>
#include <cstring>
#include <vector>

#include "OutputTestSupport.h"

namespace {

constexpr float kWhiteAtZero = 0.001f;  // White Point 0 after the set-up

int32_t Normalise(std::vector<float>* v, float blackPercent = 0) {
    return NormaliseLuminanceRange(v->data(), static_cast<int64_t>(v->size()), kWhiteAtZero, blackPercent);
}

TEST(NormalisationWalks, StopAtTheirTargetsAndLimits) {
    std::vector<int32_t> h(kNormalisationBins, 0);
    EXPECT_EQ(FindBlackBin(h.data(), 0), 0);
    h[0] = 3;
    h[5] = 4;
    EXPECT_EQ(FindBlackBin(h.data(), 4), 6);
    EXPECT_EQ(FindBlackBin(h.data(), 100), 65535);
    h[65535] = 50;  // never subtracted by the white walk
    h[65534] = 2;
    EXPECT_EQ(FindWhiteBin(h.data(), 100, 98), 65533);
    EXPECT_EQ(FindWhiteBin(h.data(), 100, 97), 4);
    EXPECT_EQ(FindWhiteBin(h.data(), 100, 40), 0);
}

TEST(Normalisation, BlackPercentHalvedWhiteFromBin65534DivisorHi) {
    std::vector<float> v(65536);
    for (size_t i = 0; i < v.size(); ++i) v[i] = static_cast<float>(i);  // one value per bin
    // Black Point 1 % sends 0.5 % below black: 327 bins. White Point 0
    // still trims the 0.001 %: bin 65534 goes, 65535 is never counted.
    EXPECT_EQ(Normalise(&v, 1.0f), 65533);
    EXPECT_EQ(v[326], 0.0f);
    EXPECT_EQ(v[327], 0.0f);
    EXPECT_GT(v[328], 0.0f);
    EXPECT_FLOAT_EQ(v[65533], (65533.0f - 327) / 65533);  // not 1
}

TEST(Normalisation, BlackBinAboveWhiteBinAndWhiteBinZero) {
    std::vector<float> v(1000, 30000.0f);
    v[0] = 0;
    v[1] = 65535;
    EXPECT_EQ(Normalise(&v, 10.0f), 29999);  // black walk ends at 30001
    EXPECT_EQ(v[500], 0.0f);
    EXPECT_FLOAT_EQ(v[1], (65535.0f - 30001) / 29999);

    std::vector<float> ends(100, 2.0f);  // half at each end: white bin 0
    for (size_t i = 50; i < 100; ++i) ends[i] = 3.0f;
    EXPECT_EQ(Normalise(&ends), 0);
    EXPECT_EQ(ends[0], 0.0f);
    EXPECT_NEAR(ends[99], 65535.0f, 2.0f);  // counted as bin 1: finite
}

TEST(Normalisation, NonFiniteValuesAndRangesBeyondSinglePrecision) {
    std::vector<float> flat = {7.5f, kNaN, kInf, -kInf, 7.5f};  // no finite range
    EXPECT_EQ(Normalise(&flat), kFlatLuminance);
    EXPECT_EQ(flat[4], 7.5f);

    std::vector<float> v = {0, 1, 2, 3, kNaN, kInf, -kInf};
    Normalise(&v);
    EXPECT_EQ(v[0], 0.0f);
    EXPECT_GT(v[3], v[2]);
    EXPECT_EQ(v[4], 0.0f);
    EXPECT_EQ(v[5], FLT_MAX);
    EXPECT_EQ(v[6], 0.0f);

    const float tiny = std::numeric_limits<float>::denorm_min();  // 65535 / span overflows
    for (std::vector<float> w : {std::vector<float>{0, 0, tiny, tiny}, std::vector<float>{-3e38f, 0, 3e38f}}) {
        Normalise(&w);
        EXPECT_EQ(w.front(), 0.0f);
        EXPECT_GT(w.back(), w[1]);
        EXPECT_LE(w.back(), 65535.0f);
    }
    // Levels too close for single precision: the same map in bin units.
    const LinearMap close = ComputeLinearMap(1e6f, 1e7f, 2, 4);
    EXPECT_EQ(close.scale, 0.25f);
    EXPECT_EQ(close.offset, -0.5f);
}

// Split over threads, the extremes are still the first of their value in
// buffer order (here a zero of either sign), whatever chunk holds them; the
// histogram, walks and map agree to the bit, in the double-precision
// scaling of a range beyond single precision too.
TEST(Normalisation, SameResultOnAnyThreadCount) {
    std::vector<float> v(600000);
    for (size_t i = 0; i < v.size(); ++i) v[i] = 1.0f + static_cast<float>(i % 977) * 0.5f;
    v[7] = kNaN;
    v[300001] = kInf;
    const auto n = static_cast<int64_t>(v.size());
    for (bool negativeFirst : {false, true}) {
        v[100000] = negativeFirst ? -0.0f : 0.0f;
        v[450000] = negativeFirst ? 0.0f : -0.0f;
        std::vector<float> narrow[2], wide[2];
        int32_t white[2][2];
        for (int run = 0; run < 2; ++run) {
            SetEngineThreads(run == 0 ? 1 : 7);
            float lo = 5;
            float hi = 5;
            FindLuminanceExtremes(v.data(), n, &lo, &hi);
            EXPECT_EQ(lo, 0.0f);
            EXPECT_EQ(std::signbit(lo), negativeFirst);
            EXPECT_EQ(hi, 489.0f);
            narrow[run] = wide[run] = v;
            wide[run][9] = -3e38f;
            wide[run][500000] = 3e38f;
            white[run][0] = NormaliseLuminanceRange(narrow[run].data(), n, 2.0f, 3.0f);
            white[run][1] = NormaliseLuminanceRange(wide[run].data(), n, 2.0f, 3.0f);
        }
        SetEngineThreads(0);
        EXPECT_EQ(white[0][0], white[1][0]);
        EXPECT_EQ(white[0][1], white[1][1]);
        EXPECT_EQ(std::memcmp(narrow[0].data(), narrow[1].data(), sizeof(float) * v.size()), 0);
        EXPECT_EQ(std::memcmp(wide[0].data(), wide[1].data(), sizeof(float) * v.size()), 0);
    }
}

}  // namespace
