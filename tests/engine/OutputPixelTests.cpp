// Per-pixel composition, colour and encoding, and the whole operator over
// small images of every layout.
#include <cfloat>
#include <random>
#include <vector>

#include "EngineMaths.h"
#include "OutputTestSupport.h"

namespace {

struct Pixel {
    float c[3];
    bool lit;
};

Pixel Tone(const OutputConstants& k, float r, float g, float b, float lloc = 0.3f) {
    Pixel p{{-1, -1, -1}, false};
    p.lit = ToneMapPixel(k, r, g, b, lloc, p.c);
    return p;
}

// A float whose logf (after `scale`) is exactly `x`; `weight` 1 for a
// statistic, the BT.709 sum for a grey 32-bit pixel.
float WithLog(float x, float scale, bool grey) {
    float v = Expf(x) / scale;
    for (int i = 0; i < 4000; ++i) {
        const float lx = Logf((grey ? Bt709Luminance(v, v, v) : v) * scale);
        if (lx == x) break;
        v = nextafterf(v, lx < x ? FLT_MAX : 0.0f);
    }
    return v;
}
float Grey(float x) { return WithLog(x, 32768.0f, true); }

// Exact landmarks: low 6, mid 8, high 10, lnMin 4, lnMax 12; smoothing or
// clipping at 100 starts at 8 and ends at 6.4 (shadows) or 9.6.
ImageStats ExactLandmarks() {
    return ImageStats{{WithLog(12, 1, false), 1.0f, WithLog(4, 1, false), 8.0f, 6.0f, 10.0f, 0, 0, 0}};
}

TEST(OutputPixel, BlackAndUndefinedPixelsAreBlackWhateverTheSettings) {
    Settings s = {0, 0, 46, 0, 0, 0, 0, 0, 20, 100, 100, 100, 5, 10, -10};
    const OutputConstants k = MakeConstants(s);
    const float pixels[][3] = {{0, 0, 0}, {-0.0f, 0, 0}, {-1, 0.2f, 0.1f}, {kNaN, 1, 1}, {-kInf, 1, 1}, {kInf, -kInf, 0}};
    for (const auto& p : pixels) EXPECT_FALSE(Tone(k, p[0], p[1], p[2]).lit) << p[0] << " " << p[1];
}

TEST(OutputPixel, SaturationZeroIsGreyHundredKeepsRatiosNegativeChannelsAreZero) {
    Settings s = NeutralSettings();
    const float r = 0.8f, g = 0.3f, b = 0.05f, y = Bt709Luminance(r, g, b);
    Pixel out = Tone(MakeConstants(s), r, g, b, 0.6f);
    EXPECT_EQ((r / y) * 0.6f, out.c[0]);  // Lg = Lloc at Strength 100, Gamma 50
    EXPECT_EQ((b / y) * 0.6f, out.c[2]);
    EXPECT_EQ(Tone(MakeConstants(s), -0.1f, 1, 1).c[0], 0.0f);
    s[kColorSaturation] = 46;
    EXPECT_EQ(Tone(MakeConstants(s), -0.1f, 1, 1).c[0], 0.0f);
    s[kColorSaturation] = 0;
    s[kStrength] = 30;
    out = Tone(MakeConstants(s), -0.1f, 0.5f, 2.0f);  // exponent 0: all Lg
    EXPECT_EQ(out.c[0], out.c[1]);
    EXPECT_EQ(out.c[1], out.c[2]);
}

TEST(OutputPixel, StrengthWeighsTheLocalResultAgainstTheGlobalCurve) {
    Settings s = NeutralSettings();
    s[kColorSaturation] = 0;  // Gs = G^0 = 1
    s[kGamma] = 0;            // exponent 2
    EXPECT_EQ(Powf(1.7f, 2.0f), Tone(MakeConstants(s), 0.2f, 0.5f, 0.9f, 1.7f).c[1]);
    s[kStrength] = 0;
    s[kGamma] = 50;
    EXPECT_EQ((1 - 0.9f) * 0.5f + 0.9f, Tone(MakeConstants(s), 0.3f, 0.2f, 0.1f, 0.5f).c[0]);
    // At full saturation Gs is the adaptive logarithmic curve itself.
    s[kColorSaturation] = 100;
    const double yn = Bt709Luminance(0.25f, 0.25f, 0.25f) * 32768.0 / 1000;
    const double curve = std::log(10.0) / std::log(21.0) * std::log(1 + yn) / std::log(2 + 8 * std::pow(yn / 20, 0.23));
    EXPECT_NEAR(Tone(MakeConstants(s), 0.25f, 0.25f, 0.25f, 0.5f).c[0], 0.05 + 0.9 * curve, 1e-5);
}

TEST(OutputPixel, HighlightAndShadowTransitions) {
    const ImageStats st = ExactLandmarks();
    Settings s = NeutralSettings();
    s[kColorSaturation] = 0;  // Gs = 1
    const float at8 = Grey(8), at6 = Grey(6), deep = Grey(5), high = Grey(9.7f);
    const auto out = [&](float v) { return Tone(MakeConstants(s, st), v, v, v).c[0]; };
    s[kHighlightsSmoothing] = 100;
    EXPECT_EQ(0.3f, out(at8));
    EXPECT_EQ(out(high), 1.0f);  // beyond hB: Gs
    EXPECT_NEAR(out(Grey(8.8f)), 0.65f, 1e-3);  // midpoint: half way
    s[kHighlightsSmoothing] = 0;
    s[kShadowsClipping] = 100;
    EXPECT_EQ(0.3f, out(at8));  // strict: untouched at cA
    EXPECT_EQ(0.02f, out(deep));
    s[kShadowsSmoothing] = 100;
    EXPECT_EQ(0.51f, out(deep));  // 0.5 (Gs + 0.02)
    s[kShadowsSmoothing] = 50;  // sA = 6: at 6 clipping alone
    EXPECT_EQ(0.02f, out(at6));
    s[kShadowsSmoothing] = 100;
    s[kShadowsClipping] = 50;  // cA = 6: at 6 smoothing alone
    EXPECT_EQ(out(at6), 1.0f);
    s[kShadowsClipping] = 100;
    s[kShadowsSmoothing] = 0;
    s[kGamma] = 0;  // 0.02 before the gamma exponent
    EXPECT_EQ(Powf(0.02f, 2.0f), out(deep));
}

TEST(OutputPixel, SaturationOffsetsAndColourTemperature) {
    const ImageStats st = ExactLandmarks();
    Settings s = {0, 100, 46, 0, 0, 0, 0, 0, 50, 0, 0, 0, 0, 10, -10};
    const OutputConstants k = MakeConstants(s, st);
    const float b = Grey(10.5f), d = Grey(5);
    // Beyond high 0.46 + 0.54 = 1, as at ColorSaturation 100; below low 0.
    const Pixel lifted = Tone(k, b * 1.5f, b, b * 0.5f), full = Tone(MakeConstants(NeutralSettings(), st), b * 1.5f, b, b * 0.5f);
    for (int ch = 0; ch < 3; ++ch) EXPECT_EQ(lifted.c[ch], full.c[ch]) << ch;
    const Pixel grey = Tone(k, d * 1.5f, d, d * 0.5f);
    EXPECT_EQ(grey.c[0], grey.c[2]);

    s = NeutralSettings();
    const Pixel neutral = Tone(MakeConstants(s), 0.2f, 0.2f, 0.2f);
    s[kColorTemperature] = 8;  // warmer; pure blue would need negative green
    const Pixel warm = Tone(MakeConstants(s), 0.2f, 0.2f, 0.2f);
    EXPECT_GT(warm.c[0], neutral.c[0]);
    EXPECT_LT(warm.c[2], neutral.c[2]);
    EXPECT_EQ(Tone(MakeConstants(s), 0, 0, 0.5f).c[1], 0.0f);
}

TEST(OutputPixel, NonFiniteInputsAndStatisticsAndTheEncoding) {
    Settings s = {0, 0, 100, 0, 0, 0, 0, 0, 50, 100, 0, 50, 0, 5, -5};
    Pixel out = Tone(MakeConstants(s), kInf, 0.1f, 0.1f);  // full white
    EXPECT_EQ(EncodeChannel(out.c[1], 2.2f, 1.0f), 1.0f);
    EXPECT_EQ(EncodeChannel(out.c[2], 1.0f, 32768.0f), 32768.0f);
    out = Tone(MakeConstants(s), 1e35f, 1e35f, 1e35f);  // Yc overflows
    for (float c : out.c) EXPECT_TRUE(std::isfinite(c));
    out = Tone(MakeConstants(s), 0.5f, 0.5f, 0.5f, FLT_MAX);  // all Gs at full weight
    for (float c : out.c) EXPECT_TRUE(std::isfinite(c));
    EXPECT_EQ(Powf(0.5f, 2.2f), EncodeChannel(0.5f, 2.2f, 1.0f));
    EXPECT_EQ(EncodeChannel(1.5f, 1.0f, 32768.0f), 32768.0f);
    EXPECT_EQ(EncodeChannel(-0.5f, 1.0f, 32768.0f), 0.0f);
    EXPECT_EQ(EncodeChannel(kNaN, 2.2f, 1.0f), 0.0f);
}

// ---- The whole operator ----

struct Image {
    int32_t w, h, nb, pad, depth;
    std::vector<float> in, out, lum, table;
    std::vector<uint16_t> in16, out16;

    Image(int32_t w_, int32_t h_, int32_t nb_, int32_t pad_, int32_t depth_, uint32_t seed)
        : w(w_), h(h_), nb(nb_), pad(pad_), depth(depth_), table(65537) {
        std::mt19937 rng(seed);
        std::uniform_real_distribution<float> u(0.0f, 1.0f);
        for (int64_t i = 0; i < int64_t{w} * h * nb; ++i) {
            in.push_back(i < nb ? 0 : u(rng) * u(rng) * 4);  // the first pixel black
            in16.push_back(static_cast<uint16_t>(in.back() * 8192));
        }
        out.assign(in.size(), 7.0f);
        out16.assign(in.size(), 7);
        for (int64_t i = 0; i < (w + 2 * pad) * int64_t{h}; ++i) lum.push_back(0.5f + 3 * u(rng));
        for (int32_t i = 1; i < 65536; ++i) table[i] = 65536 * powf(i / 65536.0f, 2.2f);
        table[0] = table[1];
    }
    int32_t Run(const Settings& s, const ImageStats& st = TypicalStats()) {
        return affich_image(depth, w, h, nb, pad, s.data(), depth == 0 ? 2.2 : 1.0, &st, in.data(), table.data(),
                            in16.data(), lum.data(), out.data(), out16.data());
    }
};

TEST(OutputOperator, EveryLayoutReadsAndWritesTheRightSamples) {
    const Settings s = {0, 60, 70, 5000, 2000, 0, 0, 0, 50, 0, 0, 0, -4, 0, 0};  // red != green
    for (const auto& [nb, pad, depth] : {std::tuple{1, 0, 0}, {2, 0, 1}, {3, 0, 0}, {3, 3, 1}, {2, 3, 0}}) {
        SCOPED_TRACE(testing::Message() << "nb " << nb << " pad " << pad << " depth " << depth);
        Image im(12, 5, nb, pad, depth, 11 + nb);
        std::vector<float> lum = im.lum;
        const OutputConstants k = MakeConstants(s, TypicalStats(), depth);
        ASSERT_EQ(im.Run(s), NormaliseLuminanceRange(lum.data(), static_cast<int64_t>(lum.size()), k.whitePercent,
                                                     k.blackPercent));
        for (int32_t j = 0; j < im.h; ++j) {
            for (int32_t i = 0; i < im.w; ++i) {
                const size_t p = static_cast<size_t>(j * im.w + i) * nb;
                const size_t at[3] = {p, p + (nb - 1) / 2, p + nb - 1};
                float e[3], c[3], v[3] = {0, 0, 0};
                for (int ch = 0; ch < 3; ++ch) e[ch] = depth == 0 ? im.in[at[ch]] : im.table[im.in16[at[ch]]];
                if (ToneMapPixel(k, e[0], e[1], e[2], lum[j * (im.w + 2 * pad) + pad + i], c)) {
                    for (int ch = 0; ch < 3; ++ch) v[ch] = EncodeChannel(c[ch], k.outputGamma, k.outputScale);
                }
                // A shared plane keeps the later store: green over red, blue over both.
                const std::vector<float> want = nb == 3 ? std::vector{v[0], v[1], v[2]}
                                                : nb == 2 ? std::vector{v[1], v[2]} : std::vector{v[2]};
                for (int32_t ch = 0; ch < nb; ++ch) {
                    const float got = depth == 0 ? im.out[p + ch] : im.out16[p + ch];
                    ASSERT_EQ(got, depth == 0 ? want[ch] : static_cast<uint16_t>(want[ch])) << i << "," << j;
                }
            }
        }
    }
}

TEST(OutputOperator, PadColumnsCountInTheRangeAndFailuresWriteNothing) {
    Image im(8, 3, 3, 2, 0, 3);
    for (size_t i = 0; i < im.lum.size(); ++i) {
        const size_t column = i % 12;
        im.lum[i] = column < 2 || column >= 10 ? 2.0f : 1.0f;  // the image part alone is flat
    }
    EXPECT_EQ(im.Run(NeutralSettings()), 0);
    for (float v : im.out) ASSERT_EQ(v, 0.0f);  // Lloc 0 everywhere

    Image flat(6, 4, 3, 0, 0, 9);
    flat.lum.assign(flat.lum.size(), 3.0f);
    EXPECT_EQ(flat.Run(NeutralSettings()), kFlatLuminance);
    flat.lum[5] = 4.0f;
    flat.nb = 4;  // arguments out of range
    EXPECT_LT(flat.Run(NeutralSettings()), 0);
    for (float v : flat.out) ASSERT_EQ(v, 7.0f);
}

TEST(OutputOperator, HostileInputsStayWithinTheOutputRange) {
    const float hostile[] = {0, -0.0f, -1, 1e-45f, FLT_MIN, 0.5f, 1e20f, 1e35f, FLT_MAX, -FLT_MAX, kInf, -kInf, kNaN};
    const int32_t n = sizeof hostile / sizeof hostile[0];
    const Settings settings[] = {NeutralSettings(), {0, 0, 100, 0, 0, 0, 0, 0, 0, 60, 60, 60, 0, 0, 0},
                                 {0, 100, 46, 0, 200000, 0, 0, 0, 50, 0, 0, 0, 10, 10, -10}};
    for (const ImageStats& st : {TypicalStats(), ImageStats{{kNaN, kNaN, kNaN, kNaN, kNaN, kNaN, 0, 0, 0}}}) {
        for (const Settings& s : settings) {
            for (int32_t depth : {0, 1}) {
                Image im(n, n, 3, 0, depth, 1);
                for (int32_t i = 0; i < n * n; ++i) {
                    for (int ch = 0; ch < 3; ++ch) im.in[3 * i + ch] = hostile[(i / n * ch + i) % n];
                    im.in16[3 * i] = static_cast<uint16_t>(i * 387);  // codes beyond 32768 too
                    im.lum[i] = hostile[(i * 7) % n];
                }
                ASSERT_GE(im.Run(s, st), 0);
                for (float v : im.out) ASSERT_TRUE(depth == 1 || (v >= 0.0f && v <= 1.0f)) << v;
                for (uint16_t v : im.out16) ASSERT_LE(v, 32768);
            }
        }
    }
}

}  // namespace
