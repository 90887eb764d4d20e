// Multigrid Poisson reconstruction (tm2): level geometry, transfers, exact
// cases and the residual of the solver actually used.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "EngineMaths.h"
#include "EngineTestSupport.h"
#include "MultigridSteps.h"
#include "PyramidLevels.h"

namespace {

SolverLevels LevelsOfPlan(int32_t w, int32_t h, int32_t smoothing) {
    const PyramidPlan plan = MakePlan(w, h, smoothing);
    SolverLevels levels{};
    EXPECT_TRUE(PlanSolverLevels(w, h, plan.entry[kPlanSolverCoarsestWidth], plan.entry[kPlanSolverCoarsestHeight],
                                 plan.entry[kPlanSolverLevels], &levels));
    return levels;
}

TEST(SolverLevels, DivisibleAndResampledGrids) {
    // 1000 x 1000, L = 6: 1000 mod 64 != 0, level 1 is 480 x 480.
    const SolverLevels both = LevelsOfPlan(1000, 1000, 1);
    EXPECT_TRUE(both.resampleWidth && both.resampleHeight);
    ASSERT_EQ(both.count, 7);
    EXPECT_EQ(both.width[1], 480);
    EXPECT_EQ(both.width[6], 15);
    EXPECT_EQ(both.height[6], 15);
    EXPECT_EQ(both.rx, 1000.0f / 480.0f);
    EXPECT_EQ(both.scale[1], 4.0f);  // 998001 div 229441
    EXPECT_EQ(both.offset[2], 1000000 + 480 * 480);
    // 1024 x 768, L = 6: exact halves down to 16 x 12.
    const SolverLevels none = LevelsOfPlan(1024, 768, 1);
    EXPECT_FALSE(none.resampled);
    ASSERT_EQ(none.count, 7);
    EXPECT_EQ(none.width[6], 16);
    EXPECT_EQ(none.height[6], 12);
    EXPECT_EQ(none.scale[2], 16.0f);  // 784641 div 48705
    // Only one side divisible (L = 5): that side halves exactly.
    const SolverLevels wide = LevelsOfPlan(1024, 1000, 0);
    EXPECT_TRUE(!wide.resampleWidth && wide.resampleHeight);
    EXPECT_EQ(wide.width[1], 512);
    EXPECT_EQ(wide.height[1], 496);
    EXPECT_EQ(wide.rx, 2.0f);
    const SolverLevels tall = LevelsOfPlan(1000, 1024, 0);
    EXPECT_TRUE(tall.resampleWidth && !tall.resampleHeight);
    EXPECT_EQ(tall.width[1], 496);
    // L = 0 (150 x 150, Very Low) becomes one level of 75 x 75; 2^4 > 10
    // lowers L to 3.
    const SolverLevels raised = LevelsOfPlan(150, 150, -2);
    EXPECT_EQ(raised.count, 2);
    EXPECT_EQ(raised.width[1], 75);
    SolverLevels thin{};
    ASSERT_TRUE(PlanSolverLevels(1024, 10, 1024, 10, 4, &thin));
    EXPECT_EQ(thin.levelCount, 3);
}

TEST(GridTransfer, BlocksFollowDivisibilityAndStayInsideTheGrid) {
    // Width divisible: a coarse cell reads 2 fine columns, not 3.
    const SolverLevels l = LevelsOfPlan(1024, 1000, 0);
    std::vector<float> fine(1024 * 1000, 0.0f);
    for (int32_t y = 0; y < 1000; ++y) fine[y * 1024 + 12] = 1.0f;
    std::vector<float> coarse(512 * 496);
    RestrictByResampling(fine.data(), l, coarse.data());
    EXPECT_EQ(coarse[5], 0.0f);
    EXPECT_NEAR(coarse[6], 0.5f, 0.03f);

    // Width 4353 resampled to 2176: in single precision the last block
    // starts at column 4351, so a third column would lie past the row.
    SolverLevels wide{};
    ASSERT_TRUE(PlanSolverLevels(4353, 12, 4353, 12, 2, &wide));
    ASSERT_EQ(static_cast<int32_t>(wide.rx * 2175.0f), 4351);
    GuardedBuffer ones(4353 * 12);
    std::fill(ones.data(), ones.data() + 4353 * 12, 1.0f);
    GuardedBuffer restricted(2176 * 6);
    RestrictByResampling(ones.data(), wide, restricted.data());
    for (int32_t i = 0; i < 2176 * 6; ++i) ASSERT_TRUE(restricted.data()[i] > 0.0f && restricted.data()[i] < 2.0f) << i;
    GuardedBuffer prolonged(4353 * 12);
    ProlongByResampling(restricted.data(), wide, prolonged.data());
    EXPECT_TRUE(prolonged.Intact());
    EXPECT_GT(prolonged.data()[4353 * 12 - 1], 0.0f);
}

// The restriction's vector forms (AVX2 gathers, AVX-512 permutations, eight
// cells at a time) sum each cell's taps in the scalar order: the same bits
// for sentinel-sized, signed-zero, infinite and NaN residuals, on grids
// resampled along either axis or both and with blocks clipped at the last
// column.
TEST(GridTransfer, RestrictionIsTheSameOnEveryPath) {
    SolverLevels clipped{};
    ASSERT_TRUE(PlanSolverLevels(4353, 12, 4353, 12, 2, &clipped));
    const bool fused = MathsUsesFusedInstructions();
    const bool avx512 = MathsUsesAvx512();
    for (const SolverLevels& l : {clipped, LevelsOfPlan(1024, 1000, 0), LevelsOfPlan(1000, 1024, 0),
                                  LevelsOfPlan(1201, 901, 1), LevelsOfPlan(4000, 3000, 0)}) {
        const int64_t n = static_cast<int64_t>(l.width[0]) * l.height[0];
        std::vector<float> fine(static_cast<size_t>(n));
        uint32_t state = 99;
        for (int64_t i = 0; i < n; ++i) {
            state = state * 1664525u + 1013904223u;
            fine[i] = static_cast<float>(static_cast<int32_t>(state >> 8) - (1 << 23)) * 1e-5f;
        }
        const float special[] = {-0.0f, 0.0f, INFINITY, -INFINITY, NAN, 1e-42f, -3e38f, 3e38f};
        for (int64_t i = 0; i < n; i += 997) fine[i] = special[(i / 997) % 8];
        const size_t cells = static_cast<size_t>(l.width[1]) * l.height[1];
        std::vector<std::vector<float>> results;
        for (int path = 0; path < 3; ++path) {
            if ((path >= 1 && !fused) || (path == 2 && !avx512)) continue;
            SetMathsUsesFusedInstructions(path >= 1);
            SetMathsUsesAvx512(path == 2);
            GuardedBuffer coarse(static_cast<int64_t>(cells));
            RestrictByResampling(fine.data(), l, coarse.data());
            EXPECT_TRUE(coarse.Intact());
            results.emplace_back(coarse.data(), coarse.data() + cells);
        }
        SetMathsUsesFusedInstructions(fused);
        SetMathsUsesAvx512(avx512);
        for (size_t r = 1; r < results.size(); ++r) {
            ASSERT_EQ(std::memcmp(results[0].data(), results[r].data(), cells * sizeof(float)), 0)
                << "path " << r << " grid " << l.width[0] << "x" << l.height[0];
        }
    }
}

// The one-pass, row-parallel sum equals zeroing, writing the overlapping
// blocks in raster order and adding, on grids resampled along one axis or
// both, with blocks clipped at the last column.
TEST(GridTransfer, ProlongedSumInOnePassEqualsBlockWrites) {
    SolverLevels clipped{};
    ASSERT_TRUE(PlanSolverLevels(4353, 12, 4353, 12, 2, &clipped));
    for (const SolverLevels& l : {clipped, LevelsOfPlan(1024, 1000, 0), LevelsOfPlan(1201, 901, 1)}) {
        const int64_t n = static_cast<int64_t>(l.width[0]) * l.height[0];
        std::vector<float> coarse(static_cast<size_t>(l.width[1]) * l.height[1]);
        for (size_t i = 0; i < coarse.size(); ++i) coarse[i] = static_cast<float>(i % 101) * 0.37f - 9.0f;
        std::vector<float> old(static_cast<size_t>(n));
        for (int64_t i = 0; i < n; ++i) old[i] = i % 3 == 0 ? -0.0f : 0.001f * static_cast<float>(i % 89);
        std::vector<float> written(static_cast<size_t>(n), 0.0f);
        ProlongByResampling(coarse.data(), l, written.data());
        GuardedBuffer summed(n);
        for (int32_t threads : {1, 3}) {
            SetEngineThreads(threads);
            std::copy(old.begin(), old.end(), summed.data());
            ASSERT_TRUE(AddProlongedByResampling(coarse.data(), l, summed.data()));
            for (int64_t i = 0; i < n; ++i) {
                const float expected = written[i] + old[i];
                ASSERT_EQ(std::memcmp(&expected, &summed.data()[i], sizeof(float)), 0) << i << " " << l.width[0];
            }
        }
        SetEngineThreads(0);
        EXPECT_TRUE(summed.Intact());
    }
}

TEST(Poisson, ZeroDivergenceGivesExactlyOne) {
    for (const auto& size : {std::pair{256, 256}, std::pair{300, 200}, std::pair{150, 150}}) {
        const PyramidPlan plan = MakePlan(size.first, size.second, size.first == 150 ? -2 : 0);
        WorkBuffers b(WorkBufferValues(plan));
        EXPECT_EQ(SolveAsDriver(plan, b), size.first);
        for (int32_t i = 0; i < size.first * size.second; ++i) ASSERT_EQ(b.b0.data()[i], 1.0f) << i;
        EXPECT_TRUE(b.Intact());
    }
}

// The solver's operator at level 0: neighbours present minus their count x u.
double NeumannLaplacian(const std::vector<double>& u, int32_t w, int32_t h, int32_t x, int32_t y) {
    const double c = u[y * w + x];
    double sum = 0;
    if (y > 0) sum += u[(y - 1) * w + x] - c;
    if (x > 0) sum += u[y * w + x - 1] - c;
    if (x < w - 1) sum += u[y * w + x + 1] - c;
    if (y < h - 1) sum += u[(y + 1) * w + x] - c;
    return sum;
}

// |f - Laplacian(ln tm2(f))| / |f| for f the Laplacian of cosine modes with
// k half-waves across.
double RelativeResidual(int32_t w, int32_t h, int32_t smoothing, int32_t k) {
    const PyramidPlan plan = MakePlan(w, h, smoothing);
    WorkBuffers b(WorkBufferValues(plan));
    const double pi = 3.14159265358979323846;
    std::vector<double> field(static_cast<size_t>(w) * h);
    for (int32_t i = 0; i < w * h; ++i) {
        const double x = i % w + 0.5;
        const double y = i / w + 0.5;
        field[i] = std::cos(pi * k * x / w) * std::cos(pi * (k / 2 + 1) * y / h) + 0.5 * std::cos(pi * 3 * k * x / w);
    }
    for (int32_t i = 0; i < w * h; ++i) b.b0.data()[i] = static_cast<float>(NeumannLaplacian(field, w, h, i % w, i / w));
    const std::vector<float> rhs(b.b0.data(), b.b0.data() + w * h);
    EXPECT_EQ(SolveAsDriver(plan, b), w);
    EXPECT_TRUE(b.Intact());
    std::vector<double> u(rhs.size());
    for (size_t i = 0; i < u.size(); ++i) u[i] = std::log(static_cast<double>(b.b0.data()[i]));
    double residual = 0;
    double norm = 0;
    for (int32_t i = 0; i < w * h; ++i) {
        const double r = rhs[i] - NeumannLaplacian(u, w, h, i % w, i / w);
        residual += r * r;
        norm += static_cast<double>(rhs[i]) * rhs[i];
    }
    return std::sqrt(residual / norm);
}

// The coarsest level gets no sweeps, so only what the stack resolves comes
// back: with 4 levels (coarsest 16 x 16 of 256 x 256, 18 x 12 of 300 x 200)
// modes of 8 to 24 half-waves leave a residual under 2 % of the right-hand
// side; with one level (smoothing only) they do not.
TEST(Poisson, ResidualOfASmoothFieldIsSmall) {
    EXPECT_LT(RelativeResidual(256, 256, 1, 8), 0.02);  // divisible by 2^4
    EXPECT_LT(RelativeResidual(300, 200, 1, 8), 0.02);  // resampled level 1
    EXPECT_GT(RelativeResidual(256, 256, -2, 8), 0.3);
}

TEST(Poisson, LevelCountsOutsideTheGridsRange) {
    // 150 x 150, Very Low: L = 0 solves as one level inside the drivers'
    // max(entry 5, entry 6), exactly as an explicit L = 1.
    const PyramidPlan plan = MakePlan(150, 150, -2);
    ASSERT_EQ(plan.entry[kPlanSolverLevels], 0);
    WorkBuffers raised(std::max(plan.entry[kPlanSolverSize], plan.entry[kPlanGradientSize]));
    WorkBuffers one(WorkBufferValues(plan));
    for (int32_t i = 0; i < 150 * 150; ++i) raised.b0.data()[i] = one.b0.data()[i] = 0.01f * ((i * 7919) % 13 - 6);
    SolveAsDriver(plan, raised);
    tm2(150, 150, 150, 150, 75, 75, 150 * 150 + 75 * 75, 1, one.b1.data(), one.b2.data(), one.b0.data());
    EXPECT_TRUE(raised.Intact());
    for (int32_t i = 0; i < 150 * 150; ++i) ASSERT_EQ(raised.b0.data()[i], one.b0.data()[i]) << i;
    EXPECT_NE(raised.b0.data()[0], 1.0f);

    // 1024 x 10 with L = 4 (2^4 > 10) solves as L = 3.
    const PyramidPlan thin = MakePlan(1024, 10, 2);
    ASSERT_EQ(thin.entry[kPlanSolverLevels], 4);
    WorkBuffers a(WorkBufferValues(thin));
    WorkBuffers b(WorkBufferValues(thin));
    a.b0.data()[500] = b.b0.data()[500] = 0.5f;
    a.b0.data()[10239] = b.b0.data()[10239] = -0.5f;
    SolveAsDriver(thin, a);
    tm2(1024, 10, 1024, 10, 128, 1, thin.entry[kPlanSolverSize], 3, b.b1.data(), b.b2.data(), b.b0.data());
    EXPECT_TRUE(a.Intact());
    for (int32_t i = 0; i < 10240; ++i) ASSERT_EQ(a.b0.data()[i], b.b0.data()[i]) << i;
    EXPECT_NE(a.b0.data()[500], 1.0f);
    // Sizes that cannot be consistent are refused.
    EXPECT_EQ(tm2(20, 20, 10, 10, 5, 5, 125, 1, a.b1.data(), a.b2.data(), a.b0.data()), -1);
    EXPECT_EQ(tm2(10, 10, 10, 10, 5, 5, 110, 1, a.b1.data(), a.b2.data(), a.b0.data()), -1);
}

// The chain on a scene with one black pixel: no spike in the divergence, a
// finite positive output.
TEST(EngineChain, LoneSentinelPixel) {
    const int32_t w = 200;
    const int32_t h = 150;
    std::vector<float> pixels = SyntheticScene(w, h);
    std::fill_n(pixels.begin() + (70 * w + 90) * 3, 3, 0.0f);
    const PyramidPlan plan = MakePlan(w, h, 0);
    WorkBuffers b(WorkBufferValues(plan));
    ImageStats stats{};
    ASSERT_EQ(get_image(0, w, h, w, h, 3, 0, &stats, pixels.data(), nullptr, nullptr, b.b0.data()), 1);
    ASSERT_GT(AttenuateAsDriver(plan, b, &stats), 0);
    for (int32_t i = 0; i < w * h; ++i) ASSERT_LE(std::fabs(b.b0.data()[i]), 100.0f);
    ASSERT_EQ(SolveAsDriver(plan, b), w);
    for (int32_t i = 0; i < w * h; ++i) ASSERT_TRUE(std::isfinite(b.b0.data()[i]) && b.b0.data()[i] > 0.0f) << i;
    EXPECT_TRUE(b.Intact());
    EXPECT_LT(stats.entry[kStatLow], stats.entry[kStatMiddle]);
    EXPECT_LT(stats.entry[kStatMiddle], stats.entry[kStatHigh]);
}

}  // namespace
