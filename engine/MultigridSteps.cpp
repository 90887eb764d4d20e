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

// The same eight at a time, where the processor has AVX-512.
// Eight floats to double. The masked forms start from zero rather than
// from an undefined register, which GCC 12 would report.
__attribute__((target("avx512f"))) inline __m512d Widen(__m256 v) { return _mm512_maskz_cvtps_pd(0xff, v); }

__attribute__((target("avx512f"))) int32_t InteriorResidualsAvx512(const float* uc, const float* un,
                                                                  const float* us, const float* f, int32_t right,
                                                                  double inv, float* r) {
    const __m512d four = _mm512_set1_pd(4.0);
    const __m512d factor = _mm512_set1_pd(inv);
    int32_t x = 1;
    for (; x + 8 <= right; x += 8) {
        __m512d sum = _mm512_mul_pd(four, Widen(_mm256_loadu_ps(uc + x)));
        sum = _mm512_sub_pd(sum, Widen(_mm256_loadu_ps(un + x)));
        sum = _mm512_sub_pd(sum, Widen(_mm256_loadu_ps(uc + x - 1)));
        sum = _mm512_sub_pd(sum, Widen(_mm256_loadu_ps(uc + x + 1)));
        sum = _mm512_sub_pd(sum, Widen(_mm256_loadu_ps(us + x)));
        const __m512d value = _mm512_add_pd(_mm512_mul_pd(factor, sum), Widen(_mm256_loadu_ps(f + x)));
        _mm256_storeu_ps(r + x, _mm512_maskz_cvtpd_ps(0xff, value));
    }
    return x;
}

}  // namespace

ResidualRows MakeResidualRows(const float* u, const float* f, int32_t w, int32_t h, float scale, float* r) {
    return ResidualRows{u, f, w, h, static_cast<float>(1.0 / scale), MathsUsesFusedInstructions(), MathsUsesAvx512(),
                        r};
}

void ResidualOfRow(const ResidualRows& rows, int32_t y) {
    const int32_t w = rows.w;
    const double inv = rows.inv;
    const int32_t right = w - 1;
    const int32_t bottom = rows.h - 1;
    const int64_t row = static_cast<int64_t>(y) * w;
    const float* uc = rows.u + row;
    const float* un = y > 0 ? uc - w : uc;
    const float* us = y < bottom ? uc + w : uc;
    const float* fr = rows.f + row;
    float* rr = rows.r + row;
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
        if (rows.avx512) {
            x = InteriorResidualsAvx512(uc, un, us, fr, right, inv, rr);
        } else if (rows.wide) {
            x = InteriorResidualsAvx2(uc, un, us, fr, right, inv, rr);
        }
        for (; x < right; ++x) put(x, 4.0 * uc[x] - un[x] - uc[x - 1] - uc[x + 1] - us[x]);
        put(right, 3.0 * uc[right] - un[right] - uc[right - 1] - us[right]);
    }
}

void ComputeResidual(const float* u, const float* f, int32_t w, int32_t h, float scale, float* r) {
    const ResidualRows rows = MakeResidualRows(u, f, w, h, scale, r);
    ForEachRow(h, w, [&](int32_t y) { ResidualOfRow(rows, y); });
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

namespace {

// The column taps of every level-1 cell, one array per field, for eight
// cells at a time.
struct ColumnTapArrays {
    std::unique_ptr<int32_t[]> first;
    std::unique_ptr<int32_t[]> count;
    std::unique_ptr<float[]> weight;  // [i * cw + x]: weight i of cell x
    bool pairs;                       // every cell reads columns 2x and 2x + 1
};

bool MakeColumnTapArrays(const SolverLevels& levels, ColumnTapArrays* arrays) {
    const int32_t cw = levels.width[1];
    arrays->first.reset(new (std::nothrow) int32_t[static_cast<size_t>(cw)]);
    arrays->count.reset(new (std::nothrow) int32_t[static_cast<size_t>(cw)]);
    arrays->weight.reset(new (std::nothrow) float[static_cast<size_t>(3) * cw]);
    if (!arrays->first || !arrays->count || !arrays->weight) return false;
    arrays->pairs = true;
    for (int32_t x = 0; x < cw; ++x) {
        const Taps taps = TapsFor(x, levels.rx, levels.bx);
        arrays->first[x] = taps.first;
        arrays->count[x] = TapCount(levels.resampleWidth, taps.first, levels.width[0]);
        for (int32_t i = 0; i < 3; ++i) arrays->weight[static_cast<size_t>(i) * cw + x] = taps.weight[i];
        arrays->pairs = arrays->pairs && taps.first == 2 * x && arrays->count[x] == 2;
    }
    return true;
}

// One level-1 cell: the weighted fine cells summed row by row, left to
// right, from 0.
float RestrictedCell(const float* fine, int32_t w, const Taps& rows, int32_t rowCount, const Taps& cols,
                     int32_t colCount) {
    float sum = 0;
    for (int32_t j = 0; j < rowCount; ++j) {
        const float* src = fine + static_cast<int64_t>(rows.first + j) * w + cols.first;
        for (int32_t i = 0; i < colCount; ++i) sum += (cols.weight[i] * rows.weight[j]) * src[i];
    }
    return sum;
}

// Fine columns 2x .. 2x + 15 as the even and the odd ones.
__attribute__((target("avx2"))) inline void LoadPairs(const float* src, __m256* even, __m256* odd) {
    const __m256 a = _mm256_loadu_ps(src);
    const __m256 b = _mm256_loadu_ps(src + 8);
    const __m256 e = _mm256_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0));
    const __m256 o = _mm256_shuffle_ps(a, b, _MM_SHUFFLE(3, 1, 3, 1));
    *even = _mm256_castpd_ps(_mm256_permute4x64_pd(_mm256_castps_pd(e), _MM_SHUFFLE(3, 1, 2, 0)));
    *odd = _mm256_castpd_ps(_mm256_permute4x64_pd(_mm256_castps_pd(o), _MM_SHUFFLE(3, 1, 2, 0)));
}

// Cells x = 0, 8, ... of one level-1 row eight at a time, each lane summing
// in RestrictedCell's order (a lane without tap i leaves its sum as it is);
// returns the first x left for the scalar loop.
__attribute__((target("avx2"))) int32_t RestrictedRowAvx2(const float* fine, int32_t w, const Taps& rows,
                                                         int32_t rowCount, const ColumnTapArrays& cols,
                                                         int32_t cw, float* out) {
    int32_t x = 0;
    for (; x + 8 <= cw; x += 8) {
        const __m256i first = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(cols.first.get() + x));
        const __m256i count = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(cols.count.get() + x));
        __m256 sum = _mm256_setzero_ps();
        for (int32_t j = 0; j < rowCount; ++j) {
            const float* src = fine + static_cast<int64_t>(rows.first + j) * w;
            const __m256 rowWeight = _mm256_set1_ps(rows.weight[j]);
            __m256 value[3] = {_mm256_setzero_ps(), _mm256_setzero_ps(), _mm256_setzero_ps()};
            if (cols.pairs) LoadPairs(src + 2 * x, &value[0], &value[1]);
            for (int32_t i = 0; i < (cols.pairs ? 2 : 3); ++i) {
                const __m256 live = _mm256_castsi256_ps(_mm256_cmpgt_epi32(count, _mm256_set1_epi32(i)));
                if (!cols.pairs) {
                    value[i] = _mm256_mask_i32gather_ps(_mm256_setzero_ps(), src,
                                                        _mm256_add_epi32(first, _mm256_set1_epi32(i)), live, 4);
                }
                const __m256 weight = _mm256_loadu_ps(cols.weight.get() + static_cast<size_t>(i) * cw + x);
                const __m256 term = _mm256_mul_ps(_mm256_mul_ps(weight, rowWeight), value[i]);
                sum = _mm256_blendv_ps(sum, _mm256_add_ps(sum, term), live);
            }
        }
        _mm256_storeu_ps(out + x, sum);
    }
    return x;
}

// The same with AVX-512: the fine cells of eight level-1 cells lie within
// 32 consecutive columns, which two loads hold and one permutation picks
// from; no gathers. Returns the first x left for the scalar loop.
__attribute__((target("avx512f"))) int32_t RestrictedRowAvx512(const float* fine, int32_t w,
                                                                       const Taps& rows, int32_t rowCount,
                                                                       const ColumnTapArrays& cols, int32_t cw,
                                                                       float* out) {
    int32_t x = 0;
    for (; x + 8 <= cw; x += 8) {
        const int32_t base = cols.first[x];
        if (cols.first[x + 7] + 3 - base > 32) break;
        // Columns past the row's end are not read.
        const int32_t available = w - base;
        const __mmask16 low = available >= 16 ? 0xffff : static_cast<__mmask16>((1u << available) - 1);
        const __mmask16 high = available >= 32  ? 0xffff
                               : available > 16 ? static_cast<__mmask16>((1u << (available - 16)) - 1)
                                                : 0;
        // Eight lanes of sixteen are used.
        const __mmask16 eight = 0x00ff;
        const __m512i first =
            _mm512_sub_epi32(_mm512_maskz_loadu_epi32(eight, cols.first.get() + x), _mm512_set1_epi32(base));
        const __m512i count = _mm512_maskz_loadu_epi32(eight, cols.count.get() + x);
        __m512 sum = _mm512_setzero_ps();
        for (int32_t j = 0; j < rowCount; ++j) {
            const float* src = fine + static_cast<int64_t>(rows.first + j) * w + base;
            const __m512 a = _mm512_maskz_loadu_ps(low, src);
            const __m512 b = _mm512_maskz_loadu_ps(high, src + 16);
            const __m512 rowWeight = _mm512_set1_ps(rows.weight[j]);
            for (int32_t i = 0; i < 3; ++i) {
                const __mmask16 live = _mm512_cmpgt_epi32_mask(count, _mm512_set1_epi32(i));
                const __m512 value = _mm512_permutex2var_ps(a, _mm512_add_epi32(first, _mm512_set1_epi32(i)), b);
                const __m512 weight = _mm512_maskz_loadu_ps(eight, cols.weight.get() + static_cast<size_t>(i) * cw + x);
                const __m512 term = _mm512_mul_ps(_mm512_mul_ps(weight, rowWeight), value);
                sum = _mm512_mask_add_ps(sum, live, sum, term);
            }
        }
        _mm512_mask_storeu_ps(out + x, eight, sum);
    }
    return x;
}

}  // namespace

void RestrictByResampling(const float* fine, const SolverLevels& levels, float* coarse) {
    const int32_t w = levels.width[0];
    const int32_t h = levels.height[0];
    const int32_t cw = levels.width[1];
    const int32_t ch = levels.height[1];
    // The columns' taps are the same on every row: formed once when memory
    // for them can be had.
    ColumnTapArrays columns;
    const bool arrays = MakeColumnTapArrays(levels, &columns);
    const bool avx512 = arrays && MathsUsesAvx512();
    const bool avx2 = arrays && MathsUsesFusedInstructions();
    ForEachRow(ch, cw, [&](int32_t y) {
        const Taps rows = TapsFor(y, levels.ry, levels.by);
        const int32_t rowCount = TapCount(levels.resampleHeight, rows.first, h);
        float* out = coarse + static_cast<int64_t>(y) * cw;
        int32_t x = 0;
        if (avx512) {
            x = RestrictedRowAvx512(fine, w, rows, rowCount, columns, cw, out);
        } else if (avx2) {
            x = RestrictedRowAvx2(fine, w, rows, rowCount, columns, cw, out);
        }
        for (; x < cw; ++x) {
            Taps cols;
            int32_t colCount;
            if (arrays) {
                cols.first = columns.first[x];
                for (int32_t i = 0; i < 3; ++i) cols.weight[i] = columns.weight[static_cast<size_t>(i) * cw + x];
                colCount = columns.count[x];
            } else {
                cols = TapsFor(x, levels.rx, levels.bx);
                colCount = TapCount(levels.resampleWidth, cols.first, w);
            }
            out[x] = RestrictedCell(fine, w, rows, rowCount, cols, colCount);
        }
    });
}

void ProlongCopyOfRow(const ProlongRows& rows, int32_t y) {
    if (y / 2 >= rows.coarseHeight) return;
    const float* in = rows.coarse + static_cast<int64_t>(y / 2) * rows.coarseWidth;
    float* out = rows.fine + static_cast<int64_t>(y) * rows.fineWidth;
    for (int32_t x = 0; x < rows.coarseWidth; ++x) {
        const float v = in[x];
        out[2 * x] += v;
        out[2 * x + 1] += v;
    }
}

void ProlongByCopy(const float* coarse, int32_t coarseWidth, int32_t coarseHeight, float* fine, int32_t fineWidth) {
    const ProlongRows rows{coarse, coarseWidth, coarseHeight, fine, fineWidth, nullptr, nullptr};
    ForEachRow(2 * coarseHeight, 2 * coarseWidth, [&](int32_t y) { ProlongCopyOfRow(rows, y); });
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

bool MakeResamplingOwners(const SolverLevels& levels, std::unique_ptr<int32_t[]>* owners) {
    const int32_t w = levels.width[0];
    const int32_t h = levels.height[0];
    owners->reset(new (std::nothrow) int32_t[static_cast<size_t>(w) + h]);
    if (!*owners) return false;
    LastCoveringCells(levels.width[1], levels.rx, levels.resampleWidth, w, owners->get());
    LastCoveringCells(levels.height[1], levels.ry, levels.resampleHeight, h, owners->get() + w);
    return true;
}

// Fine cells x = 0, 16, ... of one row sixteen at a time, where the
// processor has AVX-512: the coarse cells that sixteen neighbouring fine
// cells take lie within sixteen consecutive ones, which one load holds and
// one permutation picks from. Returns the first x left for the scalar loop.
__attribute__((target("avx512f"))) int32_t ProlongResampledAvx512(const ProlongRows& rows, const float* in,
                                                                  float* out) {
    int32_t x = 0;
    for (; x + 16 <= rows.fineWidth; x += 16) {
        const int32_t base = rows.columnOwner[x];
        if (base < 0 || rows.columnOwner[x + 15] - base >= 16) break;
        const int32_t available = rows.coarseWidth - base;
        const __mmask16 inside = available >= 16 ? 0xffff : static_cast<__mmask16>((1u << available) - 1);
        const __m512i owner = _mm512_loadu_si512(rows.columnOwner + x);
        const __mmask16 covered = _mm512_cmpge_epi32_mask(owner, _mm512_setzero_si512());
        const __m512 coarse = _mm512_maskz_loadu_ps(inside, in + base);
        const __m512 prolonged =
            _mm512_maskz_permutexvar_ps(covered, _mm512_sub_epi32(owner, _mm512_set1_epi32(base)), coarse);
        _mm512_storeu_ps(out + x, _mm512_add_ps(prolonged, _mm512_loadu_ps(out + x)));
    }
    return x;
}

// Blocks are rows times columns, and the cell written last in raster order
// is the one with the last row and, within it, the last column.
void ProlongResampledOfRow(const ProlongRows& rows, int32_t y) {
    float* out = rows.fine + static_cast<int64_t>(y) * rows.fineWidth;
    const int32_t cy = rows.rowOwner[y];
    const float* in = cy >= 0 ? rows.coarse + static_cast<int64_t>(cy) * rows.coarseWidth : nullptr;
    int32_t x = 0;
    if (in != nullptr && MathsUsesAvx512()) x = ProlongResampledAvx512(rows, in, out);
    for (; x < rows.fineWidth; ++x) {
        const float prolonged = in != nullptr && rows.columnOwner[x] >= 0 ? in[rows.columnOwner[x]] : 0.0f;
        out[x] = prolonged + out[x];
    }
}

bool AddProlongedByResampling(const float* coarse, const SolverLevels& levels, float* fine) {
    std::unique_ptr<int32_t[]> owners;
    if (!MakeResamplingOwners(levels, &owners)) return false;
    const int32_t w = levels.width[0];
    const ProlongRows rows{coarse, levels.width[1], levels.height[1], fine, w, owners.get(), owners.get() + w};
    ForEachRow(levels.height[0], w, [&](int32_t y) { ProlongResampledOfRow(rows, y); });
    return true;
}
