// The red-black relaxation, whose sweeps run as a wavefront over bands of
// rows, against the fixed update order done step by step.
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "EngineMaths.h"
#include "EngineTestSupport.h"

namespace {

// One sweep in the fixed order, cell by cell, as the solver defines it.
void ReferenceSweep(std::vector<float>& u, const std::vector<float>& f, int32_t w, int32_t h, float s) {
    const auto U = [&](int32_t x, int32_t y) -> float& { return u[static_cast<size_t>(y) * w + x]; };
    const auto F = [&](int32_t x, int32_t y) { return f[static_cast<size_t>(y) * w + x]; };
    const auto set = [](float& cell, float sum, double factor) { cell = static_cast<float>(sum * factor); };
    const int32_t r = w - 1, b = h - 1;
    set(U(0, 0), U(1, 0) + U(0, 1) - s * F(0, 0), 0.5);
    set(U(r, 0), U(r - 1, 0) + U(r, 1) - s * F(r, 0), 0.5);
    set(U(0, b), U(1, b) + U(0, b - 1) - s * F(0, b), 0.5);
    set(U(r, b), U(r - 1, b) + U(r, b - 1) - s * F(r, b), 0.5);
    const int32_t p = h % 2 == 0 ? 1 : 0;
    for (int colour = 1; colour >= 0; --colour) {  // x + y odd first
        for (int32_t y = 1; y < b; ++y) {
            for (int32_t x = 1; x < r; ++x) {
                if ((x + y) % 2 != colour) continue;
                set(U(x, y), U(x, y - 1) + U(x - 1, y) + U(x + 1, y) + U(x, y + 1) - s * F(x, y), 0.25);
            }
        }
        for (int32_t y = colour == 1 ? 2 : 1; y < b; y += 2) {
            set(U(0, y), U(1, y) + U(0, y - 1) + U(0, y + 1) - s * F(0, y), 0.3333);
            set(U(r, y), U(r - 1, y) + U(r, y - 1) + U(r, y + 1) - s * F(r, y), 0.3333);
        }
        const int32_t first = (colour == 1 ? p : 1 - p) + 1;
        for (int32_t x = first; x < r; x += 2) set(U(x, 0), U(x - 1, 0) + U(x + 1, 0) + U(x, 1) - s * F(x, 0), 0.3333);
        for (int32_t x = first; x < r; x += 2) set(U(x, b), U(x - 1, b) + U(x + 1, b) + U(x, b - 1) - s * F(x, b), 0.3333);
    }
}

TEST(Relaxation, WavefrontOverBandsGivesTheFixedOrderBitForBit) {
    std::mt19937 random(7);
    std::uniform_real_distribution<float> value(-3.0f, 3.0f);
    const int32_t sides[][2] = {{2, 2},  {3, 7},   {7, 3},   {5, 5},   {6, 5},    {5, 6},    {9, 8},
                                {16, 9}, {31, 12}, {40, 41}, {97, 64}, {64, 97},  {130, 301}, {301, 260},
                                // Wide enough for several bands of rows.
                                {2100, 400}, {1500, 203}};
    for (const auto& side : sides) {
        const int32_t w = side[0], h = side[1];
        std::vector<float> u0(static_cast<size_t>(w) * h), f(u0.size());
        for (size_t i = 0; i < u0.size(); ++i) u0[i] = value(random), f[i] = value(random);
        for (int32_t sweeps : {1, 2, 3}) {
            std::vector<float> expected = u0;
            for (int32_t n = 0; n < sweeps; ++n) ReferenceSweep(expected, f, w, h, 4.0f);
            for (int32_t threads : {1, 2, 3, 7}) {
                for (bool pooled : {false, true}) {
                    // Rows four cells at a time, eight with AVX2, sixteen with AVX-512.
                    const bool fused = MathsUsesFusedInstructions();
                    const bool avx512 = MathsUsesAvx512();
                    SetMathsUsesFusedInstructions(fused && threads != 3);
                    SetMathsUsesAvx512(avx512 && threads != 2);
                    SetEngineThreads(threads);
                    std::unique_ptr<EngineThreadScope> scope(pooled ? new EngineThreadScope : nullptr);
                    GuardedBuffer u(static_cast<int64_t>(u0.size()));
                    std::memcpy(u.data(), u0.data(), u0.size() * sizeof(float));
                    RelaxRedBlack(w, h, w, h, w, h, 4.0f, sweeps, 0, u.data(), f.data());
                    EXPECT_EQ(std::memcmp(u.data(), expected.data(), expected.size() * sizeof(float)), 0)
                        << w << " x " << h << ", " << sweeps << " sweeps, " << threads << " threads";
                    EXPECT_TRUE(u.Intact());
                    SetMathsUsesFusedInstructions(fused);
                    SetMathsUsesAvx512(avx512);
                }
            }
        }
    }
    SetEngineThreads(0);
}

}  // namespace
