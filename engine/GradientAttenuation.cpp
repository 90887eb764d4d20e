// Gradient-domain compression of the log-luminance (tm1): gradient
// magnitudes on a Gaussian pyramid give attenuation factors, propagated from
// coarse to fine into one map; the divergence of the attenuated gradients is
// the right-hand side of the Poisson solve.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "EngineMaths.h"
#include "GradientAttenuation.h"
#include "ParallelRows.h"
#include "PyramidLevels.h"
#include "ToneMapEngine.h"

namespace {

// 3 x 3 binomial kernel, top row first.
constexpr float kKernel[3][3] = {
    {0.0625f, 0.125f, 0.0625f},
    {0.125f, 0.25f, 0.125f},
    {0.0625f, 0.125f, 0.0625f},
};

// Differences and divergence values beyond this come from sentinels.
constexpr float kGradientLimit = 100;

// Cells per thread below which splitting a pass is not worth a thread.
constexpr int64_t kCellsPerThread = 1 << 17;

int64_t RowGrain(int32_t width) { return std::max<int64_t>(1, kCellsPerThread / std::max(width, 1)); }

struct GradientLevels {
    int32_t count;  // pyramid levels built, level 0 included
    int32_t width[kMaxPyramidLevels];
    int32_t height[kMaxPyramidLevels];
    int64_t offset[kMaxPyramidLevels];
};

// The outermost ring of a new level reads the sample (2x, 2y) under every
// tap; the weighted sum is the value even where it is not bit-equal to it.
float RingValue(float sample) {
    float sum = 0;
    for (const auto& row : kKernel) {
        for (float weight : row) sum += weight * sample;
    }
    return sum;
}

// Row y of the next Gaussian level (nw = ceil(w/2) wide, nh high).
void ReduceGaussianRow(const float* fine, int32_t w, int32_t nw, int32_t nh, int32_t y, float* coarse) {
    const float* centre = fine + int64_t{2} * y * w;
    float* out = coarse + static_cast<int64_t>(y) * nw;
    if (y == 0 || y == nh - 1) {
        for (int32_t x = 0; x < nw; ++x) out[x] = RingValue(centre[2 * x]);
        return;
    }
    const float* above = centre - w;
    const float* below = centre + w;
    out[0] = RingValue(centre[0]);
    for (int32_t x = 1; x < nw - 1; ++x) {
        const int32_t c = 2 * x;
        float sum = 0;
        sum += kKernel[0][0] * above[c - 1];
        sum += kKernel[0][1] * above[c];
        sum += kKernel[0][2] * above[c + 1];
        sum += kKernel[1][0] * centre[c - 1];
        sum += kKernel[1][1] * centre[c];
        sum += kKernel[1][2] * centre[c + 1];
        sum += kKernel[2][0] * below[c - 1];
        sum += kKernel[2][1] * below[c];
        sum += kKernel[2][2] * below[c + 1];
        out[x] = sum;
    }
    if (nw > 1) out[nw - 1] = RingValue(centre[2 * (nw - 1)]);
}

// One level of the Gaussian pyramid: ceil(w/2) x ceil(h/2).
void ReduceGaussianLevel(const float* fine, int32_t w, int32_t nw, int32_t nh, float* coarse) {
    ParallelFor(nh, RowGrain(nw), [&](int64_t begin, int64_t end) {
        for (int64_t y = begin; y < end; ++y) ReduceGaussianRow(fine, w, nw, nh, static_cast<int32_t>(y), coarse);
    });
}

// Level 0 is already in place. Halves while the width exceeds the plan's
// coarsest width, at most `reductions` times and never beyond `capacity`
// values, so that a grid too small for all reductions keeps the levels it
// really has.
void BuildGaussianPyramid(float* pyramid, int32_t coarsestWidth, int32_t reductions, int64_t capacity,
                          GradientLevels* levels) {
    int32_t k = 0;
    while (levels->width[k] > coarsestWidth && k < reductions && k + 1 < kMaxPyramidLevels) {
        const int32_t w = levels->width[k];
        const int32_t h = levels->height[k];
        const int32_t nw = (w >> 1) + (w & 1);
        const int32_t nh = (h >> 1) + (h & 1);
        const int64_t offset = levels->offset[k] + static_cast<int64_t>(w) * h;
        if (offset + static_cast<int64_t>(nw) * nh > capacity) break;
        ReduceGaussianLevel(pyramid + levels->offset[k], w, nw, nh, pyramid + offset);
        ++k;
        levels->width[k] = nw;
        levels->height[k] = nh;
        levels->offset[k] = offset;
    }
    levels->count = k + 1;
}

float WithoutSentinelStep(float d) { return d > kGradientLimit || d < -kGradientLimit ? 0.0f : d; }

// c |grad G| from the two differences.
float ScaledMagnitude(float gx, float gy, float scale) {
    gx = WithoutSentinelStep(gx);
    gy = WithoutSentinelStep(gy);
    return scale * std::sqrt(gy * gy + gx * gx);
}

// Scaled gradient magnitudes c |grad G| of row y. Central differences
// inside, one-sided on the first and last column and row; the inner columns
// in a loop of their own, which the compiler vectorises.
void GradientMagnitudeRow(const float* g, int32_t w, int32_t h, float scale, int32_t y, float* out) {
    const float* row = g + static_cast<int64_t>(y) * w;
    const float* up = y > 0 ? row - w : row;
    const float* down = y < h - 1 ? row + w : row;
    float* o = out + static_cast<int64_t>(y) * w;
    if (w == 1) {
        o[0] = ScaledMagnitude(row[0] - row[0], down[0] - up[0], scale);
        return;
    }
    o[0] = ScaledMagnitude(row[1] - row[0], down[0] - up[0], scale);
    for (int32_t x = 1; x < w - 1; ++x) o[x] = ScaledMagnitude(row[x + 1] - row[x - 1], down[x] - up[x], scale);
    o[w - 1] = ScaledMagnitude(row[w - 1] - row[w - 2], down[w - 1] - up[w - 1], scale);
}

// Magnitudes of one level into `out`; returns their sum, accumulated in
// raster order after all rows are done.
float GradientMagnitudes(const float* g, int32_t w, int32_t h, float scale, float* out) {
    ParallelFor(h, RowGrain(w), [&](int64_t begin, int64_t end) {
        for (int64_t y = begin; y < end; ++y) GradientMagnitudeRow(g, w, h, scale, static_cast<int32_t>(y), out);
    });
    float sum = 0;
    const int64_t n = static_cast<int64_t>(w) * h;
    for (int64_t i = 0; i < n; ++i) sum += out[i];
    return sum;
}

// Factors computed an array at a time.
constexpr int64_t kFactorRun = 256;

// phi = ((g + off) / alpha)^(beta - 1) in place; a zero gradient gets 0.
void AttenuationFactors(float* values, int64_t n, double alpha, double exponent, float offset) {
    ParallelFor(n, kCellsPerThread / 8, [&](int64_t begin, int64_t end) {
        double base[kFactorRun];
        for (int64_t first = begin; first < end; first += kFactorRun) {
            const int32_t count = static_cast<int32_t>(std::min(kFactorRun, end - first));
            float* g = values + first;
            // A zero gradient's base is a stand-in: its factor is 0 anyway.
            for (int32_t i = 0; i < count; ++i) base[i] = g[i] == 0 ? 1.0 : (g[i] + static_cast<double>(offset)) / alpha;
            PowArrayFixedExponent(base, exponent, base, count);
            for (int32_t i = 0; i < count; ++i) g[i] = g[i] == 0 ? 0.0f : static_cast<float>(base[i]);
        }
    });
}

// A_c = phi_c on the coarsest processed level; A_k = A_(k+1)(x/2, y/2) phi_k.
void AttenuationMap(const float* factors, const GradientLevels& levels, int32_t coarsest, float* map) {
    const int64_t top = levels.offset[coarsest];
    std::memcpy(map + top, factors + top,
                sizeof(float) * static_cast<size_t>(levels.width[coarsest]) * levels.height[coarsest]);
    for (int32_t k = coarsest - 1; k >= 0; --k) {
        const int32_t w = levels.width[k];
        const int32_t cw = levels.width[k + 1];
        ParallelFor(levels.height[k], RowGrain(w), [&](int64_t begin, int64_t end) {
            for (int64_t y = begin; y < end; ++y) {
                const float* coarse = map + levels.offset[k + 1] + (y / 2) * cw;
                const int64_t row = levels.offset[k] + y * w;
                for (int32_t x = 0; x < w; ++x) map[row + x] = coarse[x / 2] * factors[row + x];
            }
        });
    }
}

// Divergence of the attenuated forward gradients at a cell on the border:
// the terms of missing neighbours drop out, and without an east (south)
// neighbour the first bracket is G(x, y+1) + 0 - G (G(x+1, y) + 0 - G).
float BorderDivergence(const float* g, const float* a, int32_t w, int32_t h, int32_t x, int32_t y) {
    const int64_t i = static_cast<int64_t>(y) * w + x;
    const float c = g[i];
    const bool east = x < w - 1;
    const bool south = y < h - 1;
    float d = 0;
    bool started = false;
    const auto add = [&](float term) {
        d = started ? d + term : term;
        started = true;
    };
    if (east && south) add((g[i + 1] + g[i + w] - 2 * c) * a[i]);
    if (!east && south) add((g[i + w] + 0.0f - c) * a[i]);
    if (east && !south) add((g[i + 1] + 0.0f - c) * a[i]);
    if (x > 0) add((g[i - 1] - c) * a[i - 1]);
    if (y > 0) add((g[i - w] - c) * a[i - w]);
    return d;
}

float WithoutSentinelSpikes(float d) { return d > kGradientLimit || d < -kGradientLimit ? 0.0f : d; }

// Divergence of row y; values beyond +-100 become 0.
void DivergenceRow(const float* g, const float* a, int32_t w, int32_t h, int32_t y, float* out) {
    float* o = out + static_cast<int64_t>(y) * w;
    if (y == 0 || y == h - 1) {
        for (int32_t x = 0; x < w; ++x) o[x] = WithoutSentinelSpikes(BorderDivergence(g, a, w, h, x, y));
        return;
    }
    const float* gr = g + static_cast<int64_t>(y) * w;
    const float* ar = a + static_cast<int64_t>(y) * w;
    o[0] = WithoutSentinelSpikes(BorderDivergence(g, a, w, h, 0, y));
    for (int32_t x = 1; x < w - 1; ++x) {
        const float c = gr[x];
        const float d = (gr[x + 1] + gr[x + w] - 2 * c) * ar[x] + (gr[x - 1] - c) * ar[x - 1] +
                        (gr[x - w] - c) * ar[x - w];
        o[x] = WithoutSentinelSpikes(d);
    }
    o[w - 1] = WithoutSentinelSpikes(BorderDivergence(g, a, w, h, w - 1, y));
}

// Divergence field of level 0 into `out`.
void Divergence(const float* g, const float* a, int32_t w, int32_t h, float* out) {
    ParallelFor(h, RowGrain(w), [&](int64_t begin, int64_t end) {
        for (int64_t y = begin; y < end; ++y) DivergenceRow(g, a, w, h, static_cast<int32_t>(y), out);
    });
}

}  // namespace

double CompressionExponent(int32_t luminositySteps) {
    const int32_t s = std::clamp(luminositySteps, 1, 13);
    return 1.0 - (static_cast<float>(s) + 0.5f) / 100.0;
}

double ThresholdFactor(int32_t microcontrast) {
    const int32_t m = std::clamp(microcontrast, -10, 10);
    const double e = m < 3 ? m / 2.5 : 0.8 + (m - 2) / 8.0;
    return 0.1 * Pow(2.0, e);
}

int32_t tm1(int32_t /*depthCode*/, int32_t width, int32_t height, int32_t s, int32_t m, float f,
            const PyramidPlan* plan, ImageStats* stats, float* work0, float* work1, float* work2) {
    const int32_t* e = plan->entry;
    const int64_t cells = static_cast<int64_t>(width) * height;
    // The plan must be the one made for this grid.
    if (width < 2 || height < 2 || width != e[kPlanRowLength] || height != e[kPlanRowCount] ||
        cells > e[kPlanSolverSize] || cells > e[kPlanGradientSize] || e[kPlanGradientCoarsestWidth] < 1 ||
        e[kPlanGradientCoarsestWidth] > width) {
        return -1;
    }

    const double beta = CompressionExponent(s);
    const double a = ThresholdFactor(m);

    GradientLevels levels;
    levels.width[0] = width;
    levels.height[0] = height;
    levels.offset[0] = 0;
    std::memcpy(work2, work0, sizeof(float) * static_cast<size_t>(cells));
    BuildGaussianPyramid(work2, e[kPlanGradientCoarsestWidth], e[kPlanGradientReductions], e[kPlanGradientSize],
                         &levels);

    // A failed histogram or an empty range leaves the landmarks as they were.
    SetLandmarks(static_cast<int32_t>(cells), work0, stats);

    // Levels as wide as the plan's coarsest or wider; on a grid too small for
    // every reduction these are the levels actually built.
    int32_t processed = 0;
    float scale = 0.5f;
    float mean = 0;
    while (processed < levels.count && levels.width[processed] >= e[kPlanGradientCoarsestWidth]) {
        const int32_t w = levels.width[processed];
        const int32_t h = levels.height[processed];
        const int64_t offset = levels.offset[processed];
        const float sum = GradientMagnitudes(work2 + offset, w, h, scale, work0 + offset);
        mean = sum / static_cast<float>(static_cast<int64_t>(w) * h);
        const double alpha = a * mean;
        AttenuationFactors(work0 + offset, static_cast<int64_t>(w) * h, alpha, beta - 1, mean * f);
        scale = scale * 0.5f;
        ++processed;
    }

    AttenuationMap(work0, levels, processed - 1, work1);
    std::memset(work0, 0, sizeof(float) * static_cast<size_t>(e[kPlanSolverSize]));
    Divergence(work2, work1, width, height, work0);

    const float scaledMean = 10000 * mean;
    return scaledMean < 2.0e9f ? static_cast<int32_t>(scaledMean) + 1 : INT32_MAX;
}
