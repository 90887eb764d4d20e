// The whole full-run chain get_image -> tm1 -> tm2 -> affich_image, and the
// preview chain get_preview -> tm1 -> tm2 -> affich_preview, give the same
// bytes on any thread count, and on both builds the bytes recorded on Linux
// when the stages still ran on one thread and on the C library's maths
// functions.
#include <cstring>
#include <memory>
#include <vector>

#include "EngineMaths.h"
#include "EngineTestSupport.h"

namespace {

struct ChainCase {
    int32_t depthCode;
    int32_t width, height, nb;
    bool is360;
    int32_t settings[15];
    uint64_t linuxChecksum;  // of ChainResult::bytes from the serial stages
};

struct ChainResult {
    std::vector<uint8_t> bytes;  // log-luminance, statistics, output, results
    uint64_t Checksum() const {
        uint64_t h = 14695981039346656037ull;  // FNV-1a
        for (uint8_t b : bytes) h = (h ^ b) * 1099511628211ull;
        return h;
    }
};

template <typename T>
void Append(std::vector<uint8_t>* bytes, const T* data, size_t count) {
    const auto* p = reinterpret_cast<const uint8_t*>(data);
    bytes->insert(bytes->end(), p, p + count * sizeof(T));
}

// Samples over six decades, exact in single precision (no libm), with
// black pixels (32-bit only: code 0 reads the table's first, positive value),
// negative samples (inside the wrap borders too), a NaN and an infinity.
struct Pixels {
    std::vector<float> f;
    std::vector<uint16_t> codes;
};
Pixels MakePixels(const ChainCase& c) {
    const int64_t samples = int64_t{c.width} * c.height * c.nb;
    Pixels px{std::vector<float>(samples), std::vector<uint16_t>(samples)};
    uint32_t state = 12345;
    for (int32_t y = 0; y < c.height; ++y) {
        for (int32_t x = 0; x < c.width; ++x) {
            for (int32_t ch = 0; ch < c.nb; ++ch) {
                state = state * 1664525u + 1013904223u;
                const int64_t i = (int64_t{y} * c.width + x) * c.nb + ch;
                const float ripple = 1.0f + static_cast<float>((x / 9 + y / 7 + ch) % 5) * 0.125f;
                const float noise = static_cast<float>(state >> 20) / 4096.0f;
                px.f[i] = std::ldexp(ripple + 0.25f * noise, 16 * x / c.width - 26 + 4 * y / c.height);
                px.codes[i] = static_cast<uint16_t>(x * 32768 / c.width * (state >> 28) / 15);
            }
        }
    }
    const int64_t last = samples - c.nb;
    for (int64_t p : {int64_t{0}, int64_t{7} * c.nb, last / 2, last}) {
        for (int32_t ch = 0; ch < c.nb; ++ch) px.f[p + ch] = 0, px.codes[p + ch] = 0;
    }
    px.f[int64_t{c.width} * c.nb * 3 + c.nb] = -0.02f;              // image area
    px.f[(int64_t{c.width} * 5 - 2) * c.nb] = -0.5f;                // wrap border
    px.f[(int64_t{c.width} * 11 + 40) * c.nb] = std::nanf("");
    px.f[(int64_t{c.width} * 13 + 60) * c.nb] = INFINITY;
    return px;
}

ChainResult RunChain(const ChainCase& c, const Pixels& px, int32_t threads) {
    SetEngineThreads(threads);
    const int32_t pad = c.is360 ? c.width / 4 : 0;
    const int32_t wp = c.width + 2 * pad;
    const PyramidPlan plan = MakePlan(wp, c.height, 1);
    std::vector<float> table(65537, 0.0f);
    if (c.depthCode == 1) BuildLinearisationTable(0, 65536, table.data());
    WorkBuffers b(WorkBufferValues(plan));
    ImageStats stats{};
    ChainResult r;
    const int32_t dark = get_image(c.depthCode, c.width, c.height, wp, c.height, c.nb, pad, &stats, px.f.data(),
                                   table.data(), px.codes.data(), b.b0.data());
    Append(&r.bytes, b.b0.data(), static_cast<size_t>(wp) * c.height);
    tm1(c.depthCode, wp, c.height, 5, 3, 0.5f, &plan, &stats, b.b0.data(), b.b1.data(), b.b2.data());
    SolveAsDriver(plan, b);
    std::vector<float> outFloat(px.f.size(), -1.0f);
    std::vector<uint16_t> out16(px.f.size(), 0xEEEE);
    const int32_t white = affich_image(c.depthCode, c.width, c.height, c.nb, pad, c.settings,
                                       c.depthCode == 0 ? 2.2 : 1.0, &stats, px.f.data(), table.data(),
                                       px.codes.data(), b.b0.data(), outFloat.data(), out16.data());
    Append(&r.bytes, &dark, 1);
    Append(&r.bytes, &white, 1);
    Append(&r.bytes, stats.entry, 9);
    if (c.depthCode == 0) {
        Append(&r.bytes, outFloat.data(), outFloat.size());
    } else {
        Append(&r.bytes, out16.data(), out16.size());
    }
    EXPECT_TRUE(b.Intact());
    SetEngineThreads(0);
    return r;
}

TEST(ThreadEquivalence, WholeChainIsTheSameOnAnyThreadCount) {
    // Settings 1..4: Strength, ColorSaturation, WhiteClip, BlackClip; 8..14:
    // Gamma, Highlights, Shadows Smoothing, Shadows Clipping, ColorTemperature,
    // Saturation Highlights, Saturation Shadows.
    const ChainCase cases[] = {
        {0, 900, 620, 3, true, {0, 60, 46, 2000, 3000, 0, 0, 0, 40, 30, 40, 20, -3, 6, -4}, 0x0439afa89d916b82ull},
        {1, 300, 220, 3, false, {0, 100, 120, 0, 0, 0, 0, 0, 50, 0, 0, 0, 4, -7, 9}, 0x268fcf6abea6d0ceull},
        {0, 300, 220, 1, true, {0, 100, 100, 0, 0, 0, 0, 0, 50, 0, 0, 0, 0, 0, 0}, 0xdae0de601376a4f7ull},
        {1, 260, 240, 2, true, {0, 0, 80, 500, 800, 0, 0, 0, 70, 0, 0, 60, 0, 0, 0}, 0x1fdd721a795c814cull},
        {0, 260, 240, 2, false, {0, 30, 0, 0, 0, 0, 0, 0, 20, 100, 100, 0, 10, 10, 0}, 0xb051050953c63cffull},
    };
    for (const ChainCase& c : cases) {
        const Pixels px = MakePixels(c);
        const ChainResult serial = RunChain(c, px, 1);
        for (int32_t threads : {2, 3, 7}) {
            // Threads started per split, and the workers of an open scope.
            for (bool pooled : {false, true}) {
                std::unique_ptr<EngineThreadScope> scope(pooled ? new EngineThreadScope : nullptr);
                const ChainResult split = RunChain(c, px, threads);
                ASSERT_EQ(serial.bytes.size(), split.bytes.size());
                EXPECT_EQ(std::memcmp(serial.bytes.data(), split.bytes.data(), serial.bytes.size()), 0)
                    << "depth " << c.depthCode << " nb " << c.nb << " threads " << threads << " pooled " << pooled;
            }
        }
        // The maths functions' other paths: AVX2 without AVX-512, and the
        // portable one of processors without fused multiply-add (slow: the
        // smaller images only).
        const bool fused = MathsUsesFusedInstructions();
        const bool avx512 = MathsUsesAvx512();
        for (int path = 0; path < 2; ++path) {
            if (path == 1 && c.width * c.height > 100000) continue;
            SetMathsUsesAvx512(false);
            SetMathsUsesFusedInstructions(path == 0 && fused);
            const ChainResult other = RunChain(c, px, 2);
            SetMathsUsesFusedInstructions(fused);
            SetMathsUsesAvx512(avx512);
            EXPECT_TRUE(other.bytes == serial.bytes) << "depth " << c.depthCode << " nb " << c.nb << " path " << path;
        }
        // Both builds compute with the engine's own maths functions: the
        // Windows build gives the bytes recorded on Linux too.
        EXPECT_EQ(serial.Checksum(), c.linuxChecksum) << std::hex << "0x" << serial.Checksum();
    }
}

struct PreviewChainCase {
    ChainCase source;  // is360 unused: the preview has no wrap borders
    int32_t previewWidth, previewHeight;
    uint64_t linuxChecksum;  // of the serial chain's bytes
};

ChainResult RunPreviewChain(const PreviewChainCase& p, const Pixels& px, int32_t threads) {
    SetEngineThreads(threads);
    const ChainCase& c = p.source;
    const int32_t w = p.previewWidth, h = p.previewHeight;
    const PyramidPlan plan = MakePlan(w, h, 1);
    std::vector<float> table(65537, 0.0f);
    if (c.depthCode == 1) BuildLinearisationTable(0, 65536, table.data());
    WorkBuffers b(WorkBufferValues(plan));
    ImageStats stats{};
    ChainResult r;
    const int32_t dark = get_preview(0, c.depthCode, 0, 0, c.width, c.height, w, h, w, h, c.nb, &stats, px.f.data(),
                                     table.data(), px.codes.data(), b.b0.data());
    Append(&r.bytes, b.b0.data(), static_cast<size_t>(w) * h);
    tm1(c.depthCode, w, h, 5, 3, 0.5f, &plan, &stats, b.b0.data(), b.b1.data(), b.b2.data());
    SolveAsDriver(plan, b);
    std::vector<uint8_t> picture(static_cast<size_t>(3) * w * h, 0xEE);
    std::vector<int32_t> histogram(256, -1);
    const int32_t white = affich_preview(0, c.depthCode, 0, 0, c.width, c.height, w, h, c.nb, c.settings, 1.0,
                                         &stats, px.f.data(), table.data(), px.codes.data(), b.b0.data(),
                                         histogram.data(), picture.data());
    Append(&r.bytes, &dark, 1);
    Append(&r.bytes, &white, 1);
    Append(&r.bytes, stats.entry, 9);
    Append(&r.bytes, picture.data(), picture.size());
    Append(&r.bytes, histogram.data(), histogram.size());
    EXPECT_TRUE(b.Intact());
    SetEngineThreads(0);
    return r;
}

TEST(ThreadEquivalence, PreviewChainIsTheSameOnAnyThreadCount) {
    const PreviewChainCase cases[] = {
        {{0, 900, 620, 3, false, {0, 60, 46, 2000, 3000, 0, 0, 0, 40, 30, 40, 20, -3, 6, -4}, 0}, 512, 352,
         0x5aa6778adc13057aull},
        {{1, 300, 220, 3, false, {0, 100, 120, 0, 0, 0, 0, 0, 50, 0, 0, 0, 4, -7, 9}, 0}, 400, 293, 0x35450c2fe89b9f94ull},
        {{0, 260, 240, 2, false, {0, 0, 80, 500, 800, 0, 0, 0, 70, 0, 0, 60, 0, 0, 0}, 0}, 130, 120, 0xcdf66cb48eee2db2ull},
    };
    for (const PreviewChainCase& p : cases) {
        const Pixels px = MakePixels(p.source);
        const ChainResult serial = RunPreviewChain(p, px, 1);
        for (int32_t threads : {2, 3, 7}) {
            const ChainResult split = RunPreviewChain(p, px, threads);
            ASSERT_EQ(serial.bytes.size(), split.bytes.size());
            EXPECT_EQ(std::memcmp(serial.bytes.data(), split.bytes.data(), serial.bytes.size()), 0)
                << "depth " << p.source.depthCode << " threads " << threads;
        }
        EXPECT_EQ(serial.Checksum(), p.linuxChecksum) << std::hex << "0x" << serial.Checksum();
    }
}

}  // namespace
