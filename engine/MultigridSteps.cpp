#include "MultigridSteps.h"

#include <immintrin.h>

#include <algorithm>
#include <memory>
#include <new>

#include "EngineMaths.h"
#include "ParallelRows.h"

namespace {

// The fine cells a level-1 cell covers along one axis: first index and the
// weights of up to three cells.
struct Taps {
    int32_t first;
    float weight[3];
};

// t = ratio c; w0 = (trunc(t) + 1 - t) inv and w2 = frac(ratio (c + 1)) inv,
// each taken as 1 inv when below 1e-30; w2 is raised so that the three
// weights reach 0.9. The middle weight is inv.
Taps TapsFor(int32_t c, float ratio, float inv) {
    Taps taps;
    const float t = ratio * static_cast<float>(c);
    taps.first = static_cast<int32_t>(t);
    float w0 = static_cast<float>(taps.first + 1) - t;
    if (w0 < 1e-30) w0 = 1.0f;
    w0 = w0 * inv;
    const float t2 = ratio * static_cast<float>(c + 1);
    float w2 = t2 - static_cast<float>(static_cast<int32_t>(t2));
    if (w2 < 1e-30) w2 = 1.0f;
    w2 = w2 * inv;
    if (w0 + w2 + inv < 0.9) w2 = 1 - w0 - inv;
    taps.weight[0] = w0;
    taps.weight[1] = inv;
    taps.weight[2] = w2;
    return taps;
}

// Cells of a block along one axis: 3 where the side is not divisible, else
// 2; never past the last cell (rounding can put a block's start one cell
// too far right on wide grids).
int32_t TapCount(bool resampledAxis, int32_t first, int32_t side) {
    const int32_t n = resampledAxis ? 3 : 2;
    return first + n <= side ? n : side - first;
}

// Rows per thread so that a thread gets at least about 2^17 cells.
int64_t RowGrain(int32_t width) { return std::max<int64_t>(1, (int64_t{1} << 17) / std::max(width, 1)); }

// Runs rowBody(y) for y in [0, rows) on one or more threads.
template <typename RowBody>
void ForEachRow(int32_t rows, int32_t width, const RowBody& rowBody) {
    ParallelFor(rows, RowGrain(width), [&](int64_t begin, int64_t end) {
        for (int64_t y = begin; y < end; ++y) rowBody(static_cast<int32_t>(y));
    });
}

// Residuals of the inner cells x = 1, 2, ... of a row that has rows above
// and below, four at a time in double precision as the scalar loop forms
// them; returns the first x left for it (right = w - 1 is never reached).
__attribute__((target("avx2"))) int32_t InteriorResidualsAvx2(const float* uc, const float* un, const float* us,
                                                             const float* f, int32_t right, double inv, float* r) {
    const __m256d four = _mm256_set1_pd(4.0);
    const __m256d factor = _mm256_set1_pd(inv);
    int32_t x = 1;
    for (; x + 4 <= right; x += 4) {
        __m256d sum = _mm256_mul_pd(four, _mm256_cvtps_pd(_mm_loadu_ps(uc + x)));
        sum = _mm256_sub_pd(sum, _mm256_cvtps_pd(_mm_loadu_ps(un + x)));
        sum = _mm256_sub_pd(sum, _mm256_cvtps_pd(_mm_loadu_ps(uc + x - 1)));
        sum = _mm256_sub_pd(sum, _mm256_cvtps_pd(_mm_loadu_ps(uc + x + 1)));
        sum = _mm256_sub_pd(sum, _mm256_cvtps_pd(_mm_loadu_ps(us + x)));
        const __m256d value = _mm256_add_pd(_mm256_mul_pd(factor, sum), _mm256_cvtps_pd(_mm_loadu_ps(f + x)));
        _mm_storeu_ps(r + x, _mm256_cvtpd_ps(value));
    }
    return x;
}

}  // namespace

void ComputeResidual(const float* u, const float* f, int32_t w, int32_t h, float scale, float* r) {
    const double inv = static_cast<float>(1.0 / scale);
    const bool wide = MathsUsesFusedInstructions();
    const int32_t right = w - 1;
    const int32_t bottom = h - 1;
    ForEachRow(h, w, [&](int32_t y) {
        const int64_t row = static_cast<int64_t>(y) * w;
        const float* uc = u + row;
        const float* un = y > 0 ? uc - w : uc;
        const float* us = y < bottom ? uc + w : uc;
        const float* fr = f + row;
        float* rr = r + row;
        const auto put = [&](int32_t x, double sum) { rr[x] = static_cast<float>(inv * sum + fr[x]); };
        if (y == 0) {
            put(0, 2.0 * uc[0] - uc[1] - us[0]);
            for (int32_t x = 1; x < right; ++x) put(x, 3.0 * uc[x] - uc[x - 1] - uc[x + 1] - us[x]);
            put(right, 2.0 * uc[right] - uc[right - 1] - us[right]);
        } else if (y == bottom) {
            // At the bottom corners the horizontal neighbour comes before N.
            put(0, 2.0 * uc[0] - uc[1] - un[0]);
            for (int32_t x = 1; x < right; ++x) put(x, 3.0 * uc[x] - un[x] - uc[x - 1] - uc[x + 1]);
            put(right, 2.0 * uc[right] - uc[right - 1] - un[right]);
        } else {
            put(0, 3.0 * uc[0] - un[0] - uc[1] - us[0]);
            int32_t x = 1;
            if (wide) x = InteriorResidualsAvx2(uc, un, us, fr, right, inv, rr);
            for (; x < right; ++x) put(x, 4.0 * uc[x] - un[x] - uc[x - 1] - uc[x + 1] - us[x]);
            put(right, 3.0 * uc[right] - un[right] - uc[right - 1] - us[right]);
        }
    });
}

void RestrictByMean(const float* fine, int32_t fineWidth, int32_t coarseWidth, int32_t coarseHeight,
                    float* coarse) {
    ForEachRow(coarseHeight, coarseWidth, [&](int32_t y) {
        const float* top = fine + int64_t{2} * y * fineWidth;
        const float* bottom = top + fineWidth;
        float* out = coarse + static_cast<int64_t>(y) * coarseWidth;
        for (int32_t x = 0; x < coarseWidth; ++x) {
            const int32_t c = 2 * x;
            out[x] = static_cast<float>(0.25 * (top[c] + top[c + 1] + bottom[c] + bottom[c + 1]));
        }
    });
}

void RestrictByResampling(const float* fine, const SolverLevels& levels, float* coarse) {
    const int32_t w = levels.width[0];
    const int32_t h = levels.height[0];
    const int32_t cw = levels.width[1];
    const int32_t ch = levels.height[1];
    // The columns' taps are the same on every row: formed once when memory
    // for them can be had.
    std::unique_ptr<Taps[]> columns(new (std::nothrow) Taps[static_cast<size_t>(cw)]);
    if (columns) {
        for (int32_t x = 0; x < cw; ++x) columns[x] = TapsFor(x, levels.rx, levels.bx);
    }
    ForEachRow(ch, cw, [&](int32_t y) {
        const Taps rows = TapsFor(y, levels.ry, levels.by);
        const int32_t rowCount = TapCount(levels.resampleHeight, rows.first, h);
        for (int32_t x = 0; x < cw; ++x) {
            const Taps cols = columns ? columns[x] : TapsFor(x, levels.rx, levels.bx);
            const int32_t colCount = TapCount(levels.resampleWidth, cols.first, w);
            float sum = 0;
            for (int32_t j = 0; j < rowCount; ++j) {
                const float* src = fine + static_cast<int64_t>(rows.first + j) * w + cols.first;
                for (int32_t i = 0; i < colCount; ++i) sum += (cols.weight[i] * rows.weight[j]) * src[i];
            }
            coarse[static_cast<int64_t>(y) * cw + x] = sum;
        }
    });
}

void ProlongByCopy(const float* coarse, int32_t coarseWidth, int32_t coarseHeight, float* fine, int32_t fineWidth) {
    ForEachRow(coarseHeight, coarseWidth, [&](int32_t y) {
        const float* in = coarse + static_cast<int64_t>(y) * coarseWidth;
        float* top = fine + int64_t{2} * y * fineWidth;
        float* bottom = top + fineWidth;
        for (int32_t x = 0; x < coarseWidth; ++x) {
            const float v = in[x];
            top[2 * x] += v;
            top[2 * x + 1] += v;
            bottom[2 * x] += v;
            bottom[2 * x + 1] += v;
        }
    });
}

void ProlongByResampling(const float* coarse, const SolverLevels& levels, float* fine) {
    const int32_t w = levels.width[0];
    const int32_t h = levels.height[0];
    const int32_t cw = levels.width[1];
    const int32_t ch = levels.height[1];
    for (int32_t y = 0; y < ch; ++y) {
        const int32_t top = static_cast<int32_t>(levels.ry * static_cast<float>(y));
        const int32_t rowCount = TapCount(levels.resampleHeight, top, h);
        for (int32_t x = 0; x < cw; ++x) {
            const int32_t left = static_cast<int32_t>(levels.rx * static_cast<float>(x));
            const int32_t colCount = TapCount(levels.resampleWidth, left, w);
            const float v = coarse[static_cast<int64_t>(y) * cw + x];
            for (int32_t j = 0; j < rowCount; ++j) {
                float* dst = fine + static_cast<int64_t>(top + j) * w + left;
                for (int32_t i = 0; i < colCount; ++i) dst[i] = v;
            }
        }
    }
}

namespace {

// For every fine index along one axis, the last level-1 cell whose block
// covers it, or -1. Blocks of later cells start further on, so the last one
// is the highest index.
void LastCoveringCells(int32_t coarseSide, float ratio, bool resampledAxis, int32_t fineSide, int32_t* owner) {
    std::fill(owner, owner + fineSide, -1);
    for (int32_t c = 0; c < coarseSide; ++c) {
        const int32_t first = static_cast<int32_t>(ratio * static_cast<float>(c));
        const int32_t count = TapCount(resampledAxis, first, fineSide);
        for (int32_t i = 0; i < count; ++i) owner[first + i] = c;
    }
}

}  // namespace

bool AddProlongedByResampling(const float* coarse, const SolverLevels& levels, float* fine) {
    const int32_t w = levels.width[0];
    const int32_t h = levels.height[0];
    const int32_t cw = levels.width[1];
    std::unique_ptr<int32_t[]> owners(new (std::nothrow) int32_t[static_cast<size_t>(w) + h]);
    if (!owners) return false;
    int32_t* columnOwner = owners.get();
    int32_t* rowOwner = owners.get() + w;
    LastCoveringCells(cw, levels.rx, levels.resampleWidth, w, columnOwner);
    LastCoveringCells(levels.height[1], levels.ry, levels.resampleHeight, h, rowOwner);
    // Blocks are rows times columns, and the cell written last in raster
    // order is the one with the last row and, within it, the last column.
    ForEachRow(h, w, [&](int32_t y) {
        float* out = fine + static_cast<int64_t>(y) * w;
        const int32_t cy = rowOwner[y];
        const float* in = cy >= 0 ? coarse + static_cast<int64_t>(cy) * cw : nullptr;
        for (int32_t x = 0; x < w; ++x) {
            const float prolonged = in != nullptr && columnOwner[x] >= 0 ? in[columnOwner[x]] : 0.0f;
            out[x] = prolonged + out[x];
        }
    });
    return true;
}
