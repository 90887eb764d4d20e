// Multigrid Poisson reconstruction (tm2): four V-cycles with red-black
// Gauss-Seidel smoothing solve (discrete Laplacian of u) = divergence with
// zero-flux borders; the output is exp(u). The coarsest level gets no
// sweeps, so variations coarser than the stack's deepest level stay out of
// the result: the depth is where Light Smoothing acts.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "EngineMaths.h"
#include "MultigridSteps.h"
#include "ParallelRows.h"
#include "ToneMapEngine.h"

namespace {

constexpr int32_t kVCycles = 4;
constexpr int32_t kSweepsDown = 3;
constexpr int32_t kSweepsUp = 2;

int64_t CellsOf(const SolverLevels& levels, int32_t k) {
    return static_cast<int64_t>(levels.width[k]) * levels.height[k];
}

void ZeroLevel(const SolverLevels& levels, int32_t k, float* u) {
    std::memset(u + levels.offset[k], 0, sizeof(float) * static_cast<size_t>(CellsOf(levels, k)));
}

void Relax(const SolverLevels& levels, int32_t k, int32_t sweeps, float* u, const float* f) {
    const int32_t w = levels.width[0];
    const int32_t h = levels.height[0];
    RelaxRedBlack(w, h, w, h, levels.width[k], levels.height[k], levels.scale[k], sweeps, levels.offset[k], u, f);
}

// Smooth, take the residual, carry it down as the next level's right-hand
// side; the next level's u starts from 0.
void DescendOneLevel(const SolverLevels& levels, int32_t k, float* u, float* f, float* scratch) {
    Relax(levels, k, kSweepsDown, u, f);
    ComputeResidual(u + levels.offset[k], f + levels.offset[k], levels.width[k], levels.height[k],
                    levels.scale[k], scratch);
    float* next = f + levels.offset[k + 1];
    if (k == 0 && levels.resampled) {
        RestrictByResampling(scratch, levels, next);
    } else {
        RestrictByMean(scratch, levels.width[k], levels.width[k + 1], levels.height[k + 1], next);
    }
    ZeroLevel(levels, k + 1, u);
}

// u_k = prolonged correction of level k + 1 + u_k, then smooth.
void AscendOneLevel(const SolverLevels& levels, int32_t k, float* u, const float* f, float* scratch) {
    float* fine = u + levels.offset[k];
    const float* coarse = u + levels.offset[k + 1];
    if (k > 0 || !levels.resampled) {
        ProlongByCopy(coarse, levels.width[k + 1], levels.height[k + 1], fine, levels.width[k]);
    } else if (!AddProlongedByResampling(coarse, levels, fine)) {
        // Without memory for its index arrays: the same sum, on one thread.
        const size_t bytes = sizeof(float) * static_cast<size_t>(CellsOf(levels, 0));
        std::memcpy(scratch, fine, bytes);
        std::memset(fine, 0, bytes);
        ProlongByResampling(coarse, levels, fine);
        const int64_t n = CellsOf(levels, 0);
        for (int64_t i = 0; i < n; ++i) fine[i] = fine[i] + scratch[i];
    }
    Relax(levels, k, kSweepsUp, u, f);
}

void VCycle(const SolverLevels& levels, float* u, float* f, float* scratch) {
    const int32_t coarsest = levels.count - 1;
    for (int32_t k = 0; k < coarsest; ++k) DescendOneLevel(levels, k, u, f, scratch);
    // No sweeps on the coarsest level: its correction is 0.
    ZeroLevel(levels, coarsest, u);
    for (int32_t k = coarsest - 1; k >= 0; --k) AscendOneLevel(levels, k, u, f, scratch);
}

}  // namespace

int32_t tm2(int32_t outWidth, int32_t outHeight, int32_t width, int32_t height, int32_t coarsestWidth,
            int32_t coarsestHeight, int32_t pyramidSize, int32_t levels, float* work1, float* work2,
            float* work0) {
    if (outWidth < 1 || outHeight < 1 || outWidth > width || outHeight > height) return -1;
    SolverLevels stack;
    if (!PlanSolverLevels(width, height, coarsestWidth, coarsestHeight, levels, &stack)) return -1;
    // A plan with L of at least 1 sizes the buffers for its own stack; a
    // raised L relies on the drivers' buffers of WorkBufferValues.
    if (levels >= 1 && stack.values > pyramidSize) return -1;

    float* u = work2;
    float* f = work0;
    float* scratch = work1;
    std::memset(u, 0, sizeof(float) * static_cast<size_t>(stack.values));
    std::memset(scratch, 0, sizeof(float) * static_cast<size_t>(CellsOf(stack, 0)));
    for (int32_t cycle = 0; cycle < kVCycles; ++cycle) VCycle(stack, u, f, scratch);

    ParallelFor(outHeight, std::max<int64_t>(1, (int64_t{1} << 16) / outWidth), [&](int64_t begin, int64_t end) {
        for (int64_t y = begin; y < end; ++y) {
            const float* in = u + y * width;
            float* out = work0 + y * outWidth;
            ExpfArray(in, out, outWidth);
        }
    });
    return width;
}
