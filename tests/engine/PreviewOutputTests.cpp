// The preview's output operator: its strength weight, its normalisation
// walks, sampling, 8-bit encoding and histogram, and its refusals.
#include <algorithm>
#include <cstring>
#include <vector>

#include "EngineMaths.h"
#include "EngineTestSupport.h"
#include "OutputTestSupport.h"

namespace {

struct PreviewCase {
    int32_t depthCode;
    int32_t srcWidth, srcHeight;
    int32_t width, height;
    int32_t nb;
    double outputGamma;
    Settings settings;
};

struct Source {
    std::vector<float> floats;
    std::vector<uint16_t> codes;
    std::vector<float> table;
};

struct PreviewResult {
    int32_t white = 0;
    std::vector<uint8_t> picture;
    std::vector<int32_t> histogram;
};

// Six decades of luminance with coloured, negative and black samples.
Source MakeSource(const PreviewCase& c) {
    const size_t n = static_cast<size_t>(c.srcWidth) * c.srcHeight * c.nb;
    Source s{std::vector<float>(n), std::vector<uint16_t>(n), std::vector<float>(65537, 0.0f)};
    BuildLinearisationTable(0, 65536, s.table.data());
    uint32_t state = 99;
    for (size_t i = 0; i < n; ++i) {
        state = state * 1664525u + 1013904223u;
        s.floats[i] = std::ldexp(1.0f + static_cast<float>(state >> 24) / 256.0f, static_cast<int>(i % 23) - 16);
        s.codes[i] = static_cast<uint16_t>((state >> 8) % 32769);
    }
    for (size_t i = 0; i < n; i += 37) s.floats[i] = -0.25f;
    for (size_t i = 0; i + 2 < n; i += 101) s.floats[i] = s.floats[i + 1] = s.floats[i + 2] = 0.0f;
    return s;
}

std::vector<float> MakeLuminance(const PreviewCase& c) {
    std::vector<float> lum(static_cast<size_t>(c.width) * c.height);
    for (size_t i = 0; i < lum.size(); ++i) lum[i] = 0.2f + static_cast<float>((i * 7919) % 1000) / 400.0f;
    return lum;
}

// Mean 1000, maximum 20000, minimum 1; landmarks mid 6.7, low 4, high 9.2.
PreviewResult RunPreview(const PreviewCase& c, const Source& s, std::vector<float> lum) {
    PreviewResult r{0, std::vector<uint8_t>(3 * lum.size(), 0xAB), std::vector<int32_t>(256, -7)};
    const ImageStats stats = TypicalStats();
    r.white = affich_preview(0, c.depthCode, 0, 0, c.srcWidth, c.srcHeight, c.width, c.height, c.nb,
                             c.settings.data(), c.outputGamma, &stats, s.floats.data(), s.table.data(),
                             s.codes.data(), lum.data(), r.histogram.data(), r.picture.data());
    return r;
}

// The operator written out pixel by pixel from the documented steps.
PreviewResult Reference(const PreviewCase& c, const Source& s, std::vector<float> lum) {
    OutputConstants k{};
    SetUpOutputConstants(c.depthCode, c.settings.data(), c.outputGamma, TypicalStats(),
                         PreviewStrengthWeight(c.depthCode, c.settings[kStrength]), &k);
    PreviewResult r{0, std::vector<uint8_t>(3 * lum.size(), 0), std::vector<int32_t>(256, 0)};
    r.white = NormalisePreviewLuminanceRange(lum.data(), static_cast<int64_t>(lum.size()), k.whitePercent,
                                             k.blackPercent);
    const float rowRatio = static_cast<float>(c.srcHeight) / static_cast<float>(c.height);
    const float columnRatio = static_cast<float>(c.srcWidth) / static_cast<float>(c.width);
    const size_t plane = lum.size();
    for (int32_t py = 0; py < c.height; ++py) {
        for (int32_t px = 0; px < c.width; ++px) {
            const int32_t sy = std::min(static_cast<int32_t>(static_cast<float>(py) * rowRatio), c.srcHeight - 1);
            const int32_t sx = std::min(static_cast<int32_t>(static_cast<float>(px) * columnRatio), c.srcWidth - 1);
            const size_t p = (static_cast<size_t>(sy) * c.srcWidth + sx) * c.nb;
            const size_t offsets[3] = {0, static_cast<size_t>((c.nb - 1) / 2), static_cast<size_t>(c.nb - 1)};
            float rgb[3];
            for (int ch = 0; ch < 3; ++ch)
                rgb[ch] = c.depthCode == 0 ? s.floats[p + offsets[ch]] : s.table[s.codes[p + offsets[ch]]];
            const size_t q = static_cast<size_t>(py) * c.width + px;
            float cPrime[3];
            int32_t level[3] = {0, 0, 0};
            if (ToneMapPixel(k, rgb[0], rgb[1], rgb[2], lum[q], cPrime)) {
                for (int ch = 0; ch < 3; ++ch) {
                    float v = Powf(cPrime[ch], static_cast<float>(c.outputGamma)) * 255.0f;
                    v = v > 255.0f ? 255.0f : (v >= 0 ? v : 0.0f);
                    r.picture[ch * plane + q] = static_cast<uint8_t>(v);
                    level[ch] = static_cast<int32_t>(std::clamp(cPrime[ch] * 255.0f, 0.0f, 65535.0f));
                }
            }
            ++r.histogram[std::min((54 * level[0] + 183 * level[1] + 19 * level[2]) >> 8, 255)];
        }
    }
    return r;
}

void ExpectSame(const PreviewResult& expected, const PreviewResult& actual, const char* what) {
    EXPECT_EQ(expected.white, actual.white) << what;
    EXPECT_EQ(expected.picture, actual.picture) << what;
    EXPECT_EQ(expected.histogram, actual.histogram) << what;
}

TEST(PreviewOutput, StrengthWeightOfEitherDepth) {
    EXPECT_FLOAT_EQ(PreviewStrengthWeight(0, 0), 0.891f);  // raised to 1 first; the full run has 0.9
    EXPECT_EQ(PreviewStrengthWeight(0, -20), PreviewStrengthWeight(0, 1));
    EXPECT_EQ(PreviewStrengthWeight(0, 100), 0.0f);
    EXPECT_EQ(PreviewStrengthWeight(0, 70), FullRunStrengthWeight(70));
    EXPECT_FLOAT_EQ(PreviewStrengthWeight(1, 0), 0.7524f);
    EXPECT_FLOAT_EQ(PreviewStrengthWeight(1, 40), 0.456f);
    EXPECT_FLOAT_EQ(PreviewStrengthWeight(1, 41), 0.45084f);
    EXPECT_FLOAT_EQ(PreviewStrengthWeight(1, 100), 0.14994f);  // a share of the global curve remains
}

TEST(PreviewOutput, BlackWalkMeetsTheUntruncatedTargetAndHasNoBinLimit) {
    std::vector<int32_t> h(kNormalisationBins, 0);
    h[0] = 10;
    h[1] = 1;
    EXPECT_EQ(FindPreviewBlackBin(h.data(), 10.5f), 2);
    EXPECT_EQ(FindBlackBin(h.data(), static_cast<int64_t>(10.5f)), 1);
    EXPECT_EQ(FindPreviewBlackBin(h.data(), 0.0f), 0);

    std::fill(h.begin(), h.end(), 0);
    h[0] = 4;
    h[65535] = 96;  // the full run's walk stops below the top bin
    EXPECT_EQ(FindPreviewBlackBin(h.data(), 5.0f), 65536);
    EXPECT_EQ(FindBlackBin(h.data(), 5), 65535);

    h[65534] = 2;
    EXPECT_EQ(FindPreviewWhiteBin(h.data(), 102, 100.0f), 65533);
    EXPECT_EQ(FindPreviewWhiteBin(h.data(), 102, 101.5f), 65533);
    EXPECT_EQ(FindPreviewWhiteBin(h.data(), 102, 102.0f), 65534);
    EXPECT_EQ(FindPreviewWhiteBin(h.data(), 102, 99.5f), 0);
}

TEST(PreviewOutput, MatchesTheStepsForEveryLayoutDepthAndScale) {
    Settings colourful = {0, 55, 70, 4000, 6000, 0, 0, 0, 40, 30, 20, 10, -3, 5, -4};
    const PreviewCase cases[] = {
        {0, 97, 61, 40, 25, 3, 1.0, NeutralSettings()},  // downscaled
        {0, 23, 14, 64, 39, 3, 2.2, colourful},          // upscaled, exponent 2.2
        {1, 97, 61, 40, 25, 3, 1.0, colourful},
        {1, 50, 50, 50, 50, 1, 1.0, NeutralSettings()},
        {0, 31, 40, 17, 22, 2, 1.0, colourful},
    };
    for (const PreviewCase& c : cases) {
        const Source s = MakeSource(c);
        const std::vector<float> lum = MakeLuminance(c);
        ExpectSame(Reference(c, s, lum), RunPreview(c, s, lum), "layout");
    }
}

TEST(PreviewOutput, HistogramIsTakenBeforeTheOutputExponent) {
    // Grey source: each pixel's c' is its mapped luminance (up to rounding).
    const PreviewCase c{0, 10, 10, 10, 10, 3, 2.2, NeutralSettings()};
    Source s = MakeSource(c);
    std::fill(s.floats.begin(), s.floats.end(), 0.25f);
    std::vector<float> lum(100);
    for (int i = 0; i < 100; ++i) lum[i] = static_cast<float>(i);
    const PreviewResult r = RunPreview(c, s, lum);

    OutputConstants k{};
    SetUpOutputConstants(0, c.settings.data(), 2.2, TypicalStats(), 0.0f, &k);
    NormalisePreviewLuminanceRange(lum.data(), 100, k.whitePercent, k.blackPercent);
    std::vector<int32_t> ofCPrime(256, 0), ofBytes(256, 0);
    for (int i = 0; i < 100; ++i) {
        float cPrime[3];
        ASSERT_TRUE(ToneMapPixel(k, 0.25f, 0.25f, 0.25f, lum[i], cPrime));
        const uint8_t byte = static_cast<uint8_t>(std::min(Powf(cPrime[0], 2.2f) * 255.0f, 255.0f));
        EXPECT_EQ(r.picture[i], byte);
        const int32_t level[3] = {static_cast<int32_t>(cPrime[0] * 255.0f), static_cast<int32_t>(cPrime[1] * 255.0f),
                                  static_cast<int32_t>(cPrime[2] * 255.0f)};
        ++ofCPrime[std::min((54 * level[0] + 183 * level[1] + 19 * level[2]) >> 8, 255)];
        ++ofBytes[byte];
    }
    EXPECT_EQ(r.histogram, ofCPrime);
    EXPECT_NE(r.histogram, ofBytes);
}

TEST(PreviewOutput, BlackSourceBrightColoursAndSamplingAtTheEdges) {
    PreviewCase c{0, 12, 11, 30, 25, 3, 1.0, NeutralSettings()};
    Source s = MakeSource(c);
    std::vector<float> lum = MakeLuminance(c);

    std::fill(s.floats.begin(), s.floats.end(), 0.0f);
    PreviewResult black = RunPreview(c, s, lum);
    EXPECT_EQ(black.histogram[0], c.width * c.height);
    EXPECT_TRUE(std::all_of(black.picture.begin(), black.picture.end(), [](uint8_t v) { return v == 0; }));

    // Saturated red: at the white point (Lloc 1) red's c' x 255 is 1190,
    // bin 252; twice beyond it (Lloc 2) the weighted sum passes the top bin.
    // White Point 10 % puts the white point at the 50s.
    c.settings[kWhiteClip] = 200000;
    for (size_t i = 0; i < s.floats.size(); i += 3) s.floats[i] = 5.0f, s.floats[i + 1] = s.floats[i + 2] = 0.01f;
    std::fill(lum.begin(), lum.end(), 50.0f);
    lum[0] = 0.0f;
    std::fill(lum.begin() + 1, lum.begin() + 10, 100.0f);
    PreviewResult red = RunPreview(c, s, lum);
    EXPECT_EQ(red.histogram[0], 1);
    EXPECT_EQ(red.histogram[252], c.width * c.height - 10);
    EXPECT_EQ(red.histogram[255], 9);
    EXPECT_EQ(red.picture[5], 255);

    // Upscaled 12 x 11 -> 30 x 25: neighbouring preview pixels repeat their
    // source pixel; the last row and column read the source's last ones.
    EXPECT_EQ(PreviewSampleIndex(0, 0.4f, 12), 0);
    EXPECT_EQ(PreviewSampleIndex(2, 0.4f, 12), 0);
    EXPECT_EQ(PreviewSampleIndex(3, 0.4f, 12), 1);
    EXPECT_EQ(PreviewSampleIndex(29, 0.4f, 12), 11);
    EXPECT_EQ(PreviewSampleIndex(511, 7.8125f, 4000), 3992);
    EXPECT_EQ(PreviewSampleIndex(512, 7.8125f, 4000), 3999);  // limited to the last column
    GuardedBuffer guarded(static_cast<int64_t>(s.floats.size()));
    std::copy(s.floats.begin(), s.floats.end(), guarded.data());
    const ImageStats stats = TypicalStats();
    affich_preview(0, 0, 0, 0, c.srcWidth, c.srcHeight, c.width, c.height, 3, c.settings.data(), 1.0, &stats,
                   guarded.data(), nullptr, nullptr, lum.data(), red.histogram.data(), red.picture.data());
    EXPECT_TRUE(guarded.Intact());
}

TEST(PreviewOutput, RefusesSidesBelowTenAndFlatLuminanceWithoutWriting) {
    const PreviewCase c{0, 40, 30, 20, 15, 3, 1.0, NeutralSettings()};
    const Source s = MakeSource(c);
    std::vector<float> lum = MakeLuminance(c);
    const ImageStats stats = TypicalStats();
    std::vector<uint8_t> picture(3 * 20 * 15, 0xAB);
    std::vector<int32_t> histogram(256, -7);
    const int32_t sides[][4] = {{9, 30, 20, 15}, {40, 9, 20, 15}, {40, 30, 9, 15}, {40, 30, 20, 9}};
    for (const auto& d : sides) {
        EXPECT_EQ(affich_preview(0, 0, 0, 0, d[0], d[1], d[2], d[3], 3, c.settings.data(), 1.0, &stats,
                                 s.floats.data(), nullptr, nullptr, lum.data(), histogram.data(), picture.data()),
                  -1);
    }
    std::vector<float> flat(lum.size(), 0.5f);
    EXPECT_EQ(affich_preview(0, 0, 0, 0, 40, 30, 20, 15, 3, c.settings.data(), 1.0, &stats, s.floats.data(), nullptr,
                             nullptr, flat.data(), histogram.data(), picture.data()),
              kFlatLuminance);
    EXPECT_TRUE(std::all_of(picture.begin(), picture.end(), [](uint8_t v) { return v == 0xAB; }));
    EXPECT_TRUE(std::all_of(histogram.begin(), histogram.end(), [](int32_t v) { return v == -7; }));
    EXPECT_EQ(lum, MakeLuminance(c));
}

}  // namespace
