// Red-black Gauss-Seidel smoothing of one solver level with Neumann
// borders. The update order of a sweep is fixed: corners, then the first
// colour (interior, left and right edges of the even rows, top and bottom
// edges), then the second (interior, edges of the odd rows, top and bottom
// edges).
//
// Several sweeps are made in one pass over the rows (a wavefront): row y's
// share of stage t (t = 2 x sweep + colour) runs once rows y - 1 and y + 1
// have finished stage t - 1 and before they start stage t + 1, which is
// exactly what each cell reads in the fixed order. The rows in flight stay
// in the cache. Threads take bands of rows and meet at the band borders.
#include <algorithm>
#include <atomic>
#include <thread>

#include <immintrin.h>

#include "EngineMaths.h"
#include "ParallelRows.h"
#include "ToneMapEngine.h"

namespace {

struct Level {
    float* u;
    const float* f;
    int32_t w;
    int32_t h;
    float s;

    float& U(int32_t x, int32_t y) const { return u[static_cast<int64_t>(y) * w + x]; }
    float F(int32_t x, int32_t y) const { return f[static_cast<int64_t>(y) * w + x]; }
};

// The sums are single precision in the order written; the factor is applied
// in double. 0.3333 is the literal used for three neighbours.
float Update(float sum, double factor) { return static_cast<float>(sum * factor); }

void TopCorners(const Level& l) {
    const int32_t r = l.w - 1;
    l.U(0, 0) = Update(l.U(1, 0) + l.U(0, 1) - l.s * l.F(0, 0), 0.5);
    l.U(r, 0) = Update(l.U(r - 1, 0) + l.U(r, 1) - l.s * l.F(r, 0), 0.5);
}

void BottomCorners(const Level& l) {
    const int32_t r = l.w - 1;
    const int32_t b = l.h - 1;
    l.U(0, b) = Update(l.U(1, b) + l.U(0, b - 1) - l.s * l.F(0, b), 0.5);
    l.U(r, b) = Update(l.U(r - 1, b) + l.U(r, b - 1) - l.s * l.F(r, b), 0.5);
}

// The cells of one row and colour: the first x and the rows around.
struct InteriorRowCells {
    float* row;
    const float* above;
    const float* below;
    const float* f;
    int32_t first;
};

InteriorRowCells CellsOf(const Level& l, int32_t y, int32_t oddRowStart) {
    float* row = l.u + static_cast<int64_t>(y) * l.w;
    return {row, row - l.w, row + l.w, l.f + static_cast<int64_t>(y) * l.w, (y & 1) ? oddRowStart : 3 - oddRowStart};
}

// Cells x, x + 2, ... up to w - 2, one at a time.
void InteriorCellsFrom(const Level& l, const InteriorRowCells& c, int32_t x) {
    for (; x < l.w - 1; x += 2) {
        c.row[x] = Update(c.above[x] + c.row[x - 1] + c.row[x + 1] + c.below[x] - l.s * c.f[x], 0.25);
    }
}

// Interior cells of one colour in row y; `oddRowStart` is the first x in
// odd rows. Several cells at a time are computed and those of this colour
// kept: a cell of one colour reads only cells of the other, so the row is
// loaded once, ahead of the stores, and the west and east neighbours taken
// from the loaded values. Multiplying by 0.25 in single precision is exact,
// like the double product rounded to single.
void InteriorRow(const Level& l, int32_t y, int32_t oddRowStart) {
    const InteriorRowCells c = CellsOf(l, y, oddRowStart);
    int32_t x = c.first;
    const __m128 keep = _mm_castsi128_ps(_mm_setr_epi32(-1, 0, -1, 0));
    const __m128 scale = _mm_set1_ps(l.s);
    const __m128 quarter = _mm_set1_ps(0.25f);
    if (x + 4 <= l.w - 1) {
        __m128i previous = _mm_castps_si128(_mm_loadu_ps(c.row + x - 4));  // its last lane is row[x - 1]
        for (; x + 4 <= l.w - 1; x += 4) {
            const __m128i current = _mm_castps_si128(_mm_loadu_ps(c.row + x));
            // Lanes 0 and 2 (this colour): west row[x - 1], row[x + 1]; east row[x + 1], row[x + 3].
            const __m128 west = _mm_castsi128_ps(_mm_or_si128(_mm_slli_si128(current, 4), _mm_srli_si128(previous, 12)));
            const __m128 east = _mm_castsi128_ps(_mm_srli_si128(current, 4));
            __m128 sum = _mm_add_ps(_mm_loadu_ps(c.above + x), west);
            sum = _mm_add_ps(sum, east);
            sum = _mm_add_ps(sum, _mm_loadu_ps(c.below + x));
            sum = _mm_sub_ps(sum, _mm_mul_ps(scale, _mm_loadu_ps(c.f + x)));
            const __m128 updated = _mm_mul_ps(sum, quarter);
            const __m128 old = _mm_castsi128_ps(current);
            _mm_storeu_ps(c.row + x, _mm_or_ps(_mm_and_ps(keep, updated), _mm_andnot_ps(keep, old)));
            previous = current;
        }
    }
    InteriorCellsFrom(l, c, x);
}

// The same eight cells at a time, where the processor has AVX2.
__attribute__((target("avx2"))) void InteriorRowAvx2(const Level& l, int32_t y, int32_t oddRowStart) {
    const InteriorRowCells c = CellsOf(l, y, oddRowStart);
    int32_t x = c.first;
    const __m256 scale = _mm256_set1_ps(l.s);
    const __m256 quarter = _mm256_set1_ps(0.25f);
    const __m256i westOrder = _mm256_setr_epi32(7, 0, 1, 2, 3, 4, 5, 6);
    const __m256i eastOrder = _mm256_setr_epi32(1, 2, 3, 4, 5, 6, 7, 7);
    if (x + 8 <= l.w - 1) {
        __m256 previous = _mm256_loadu_ps(c.row + x - 8);  // its last lane is row[x - 1]
        for (; x + 8 <= l.w - 1; x += 8) {
            const __m256 current = _mm256_loadu_ps(c.row + x);
            const __m256 west = _mm256_blend_ps(_mm256_permutevar8x32_ps(current, westOrder),
                                                _mm256_permutevar8x32_ps(previous, westOrder), 0x01);
            const __m256 east = _mm256_permutevar8x32_ps(current, eastOrder);
            __m256 sum = _mm256_add_ps(_mm256_loadu_ps(c.above + x), west);
            sum = _mm256_add_ps(sum, east);
            sum = _mm256_add_ps(sum, _mm256_loadu_ps(c.below + x));
            sum = _mm256_sub_ps(sum, _mm256_mul_ps(scale, _mm256_loadu_ps(c.f + x)));
            const __m256 updated = _mm256_mul_ps(sum, quarter);
            _mm256_storeu_ps(c.row + x, _mm256_blend_ps(current, updated, 0x55));
            previous = current;
        }
    }
    InteriorCellsFrom(l, c, x);
}

// Sixteen cells at a time, where the processor has AVX-512.
__attribute__((target("avx512f"))) void InteriorRowAvx512(const Level& l, int32_t y, int32_t oddRowStart) {
    const InteriorRowCells c = CellsOf(l, y, oddRowStart);
    int32_t x = c.first;
    const __m512 scale = _mm512_set1_ps(l.s);
    const __m512 quarter = _mm512_set1_ps(0.25f);
    const __m512i westOrder = _mm512_setr_epi32(15, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14);
    const __m512i eastOrder = _mm512_setr_epi32(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 15);
    if (x + 16 <= l.w - 1) {
        __m512 previous = _mm512_loadu_ps(c.row + x - 16);  // its last lane is row[x - 1]
        for (; x + 16 <= l.w - 1; x += 16) {
            const __m512 current = _mm512_loadu_ps(c.row + x);
            const __m512 west = _mm512_mask_blend_ps(0x0001, _mm512_mask_permutexvar_ps(current, 0xffff, westOrder, current),
                                                     _mm512_mask_permutexvar_ps(previous, 0xffff, westOrder, previous));
            const __m512 east = _mm512_mask_permutexvar_ps(current, 0xffff, eastOrder, current);
            __m512 sum = _mm512_add_ps(_mm512_loadu_ps(c.above + x), west);
            sum = _mm512_add_ps(sum, east);
            sum = _mm512_add_ps(sum, _mm512_loadu_ps(c.below + x));
            sum = _mm512_sub_ps(sum, _mm512_mul_ps(scale, _mm512_loadu_ps(c.f + x)));
            const __m512 updated = _mm512_mul_ps(sum, quarter);
            _mm512_storeu_ps(c.row + x, _mm512_mask_blend_ps(0x5555, current, updated));
            previous = current;
        }
    }
    InteriorCellsFrom(l, c, x);
}

// The maths functions' switches (AVX2 with fused multiply-add, AVX-512)
// select the wider rows too, so that tests can run every form.
void InteriorCellsOfRow(const Level& l, int32_t y, int32_t oddRowStart) {
    if (MathsUsesAvx512()) {
        InteriorRowAvx512(l, y, oddRowStart);
    } else if (MathsUsesFusedInstructions()) {
        InteriorRowAvx2(l, y, oddRowStart);
    } else {
        InteriorRow(l, y, oddRowStart);
    }
}

// Left then right edge cell of row y.
void SideEdgeCells(const Level& l, int32_t y) {
    const int32_t r = l.w - 1;
    l.U(0, y) = Update(l.U(1, y) + l.U(0, y - 1) + l.U(0, y + 1) - l.s * l.F(0, y), 0.3333);
    l.U(r, y) = Update(l.U(r - 1, y) + l.U(r, y - 1) + l.U(r, y + 1) - l.s * l.F(r, y), 0.3333);
}

// Top row cells x = first, first + 2, ... up to w - 2.
void TopEdgeCells(const Level& l, int32_t first) {
    for (int32_t x = first; x < l.w - 1; x += 2) {
        l.U(x, 0) = Update(l.U(x - 1, 0) + l.U(x + 1, 0) + l.U(x, 1) - l.s * l.F(x, 0), 0.3333);
    }
}

void BottomEdgeCells(const Level& l, int32_t first) {
    const int32_t b = l.h - 1;
    for (int32_t x = first; x < l.w - 1; x += 2) {
        l.U(x, b) = Update(l.U(x - 1, b) + l.U(x + 1, b) + l.U(x, b - 1) - l.s * l.F(x, b), 0.3333);
    }
}

// First x of the top and bottom edge cells of each colour.
int32_t EdgeStart(const Level& l, bool firstColour) {
    const int32_t evenHeight = (l.h & 1) == 0 ? 1 : 0;
    return (firstColour ? evenHeight : 1 - evenHeight) + 1;
}

// One sweep step by step in the fixed order: for levels too small for the
// wavefront.
void SweepInOrder(const Level& l) {
    TopCorners(l);
    BottomCorners(l);
    for (int32_t y = 1; y < l.h - 1; ++y) InteriorCellsOfRow(l, y, 2);  // x + y odd
    for (int32_t y = 2; y < l.h - 1; y += 2) SideEdgeCells(l, y);
    TopEdgeCells(l, EdgeStart(l, true));
    BottomEdgeCells(l, EdgeStart(l, true));
    for (int32_t y = 1; y < l.h - 1; ++y) InteriorCellsOfRow(l, y, 1);  // x + y even
    for (int32_t y = 1; y < l.h - 1; y += 2) SideEdgeCells(l, y);
    TopEdgeCells(l, EdgeStart(l, false));
    BottomEdgeCells(l, EdgeStart(l, false));
}

// Row y's share of stage t, with the corners and the top and bottom rows
// attached to the first and last interior rows: the bottom corners of a
// sweep before row h - 2's first colour (they read its edge cell before it
// changes), the top corners and the top and bottom edge cells of a colour
// after rows 1 and h - 2 have done that colour (they read its cells).
void RowStage(const Level& l, int32_t y, int32_t t) {
    const bool firstColour = (t & 1) == 0;
    const bool last = y == l.h - 2;
    if (last && firstColour) BottomCorners(l);
    InteriorCellsOfRow(l, y, firstColour ? 2 : 1);
    if ((y & 1) == (firstColour ? 0 : 1)) SideEdgeCells(l, y);
    if (y == 1) {
        if (firstColour) TopCorners(l);
        TopEdgeCells(l, EdgeStart(l, firstColour));
    }
    if (last) BottomEdgeCells(l, EdgeStart(l, firstColour));
}

// Stages done by the first and last row of each band, for the neighbours.
struct BandProgress {
    std::atomic<int32_t> first[kMaxEngineChunks];
    std::atomic<int32_t> last[kMaxEngineChunks];
};

void WaitFor(const std::atomic<int32_t>& stagesDone, int32_t needed) {
    while (stagesDone.load(std::memory_order_acquire) < needed) std::this_thread::yield();
}

// The wavefront over the interior rows first .. last of band `band` (of
// `bands`), downwards or upwards: at step i row number i - 2t of the band
// (counted in its direction) does stage t, so that each row is two steps
// behind its predecessor's previous stage.
void RelaxBand(const Level& l, int32_t stages, int32_t first, int32_t last, bool downwards, int32_t band,
               int32_t bands, BandProgress* progress) {
    const int32_t rows = last - first + 1;
    for (int32_t i = 0; i < rows + 2 * (stages - 1); ++i) {
        for (int32_t t = std::max(0, (i - rows + 2) / 2); t < stages && 2 * t <= i; ++t) {
            const int32_t k = i - 2 * t;
            const int32_t y = downwards ? first + k : last - k;
            if (y == first && band > 0) WaitFor(progress->last[band - 1], t);
            if (y == last && band + 1 < bands) WaitFor(progress->first[band + 1], t);
            RowStage(l, y, t);
            if (y == first) progress->first[band].store(t + 1, std::memory_order_release);
            if (y == last) progress->last[band].store(t + 1, std::memory_order_release);
        }
    }
}

// Interior rows per band below which another thread does not pay.
constexpr int32_t kRowsPerBand = 48;

void RelaxByWavefront(const Level& l, int32_t sweeps) {
    const int32_t stages = 2 * sweeps;
    const int32_t interior = l.h - 2;
    BandProgress progress;
    for (int32_t b = 0; b < kMaxEngineChunks; ++b) {
        progress.first[b].store(0, std::memory_order_relaxed);
        progress.last[b].store(0, std::memory_order_relaxed);
    }
    // Bands alternate in direction, so that two neighbours reach their
    // common border together: both at their start or both at their end.
    const int32_t bands = ChunkCount(interior, std::max<int64_t>(kRowsPerBand, (int64_t{1} << 17) / l.w));
    const auto band = [&](int32_t b, int64_t begin, int64_t end) {
        RelaxBand(l, stages, 1 + static_cast<int32_t>(begin), static_cast<int32_t>(end), b % 2 == 0, b, bands,
                  &progress);
    };
    if (bands > 1 && ForEachChunkTogether(interior, bands, band)) return;
    band(0, 0, interior);
}

}  // namespace

int32_t RelaxRedBlack(int32_t /*outWidth*/, int32_t /*outHeight*/, int32_t /*width*/, int32_t /*height*/,
                      int32_t levelWidth, int32_t levelHeight, float scale, int32_t sweeps, int32_t offset,
                      float* u, const float* f) {
    // Every cell needs a neighbour on each axis.
    if (levelWidth < 2 || levelHeight < 2) return 0;
    const Level l{u + offset, f + offset, levelWidth, levelHeight, scale};
    // The wavefront's attachments need rows 1 and h - 2 apart.
    if (levelHeight < 5 || levelWidth < 3) {
        for (int32_t n = 0; n < sweeps; ++n) SweepInOrder(l);
    } else if (sweeps > 0) {
        RelaxByWavefront(l, sweeps);
    }
    return 0;
}
