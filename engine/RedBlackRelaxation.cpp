// Red-black Gauss-Seidel smoothing of one solver level with Neumann
// borders. The update order is fixed: corners, then the first colour
// (interior, left and right edges, top and bottom edges), then the second.
#include <algorithm>

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

void Corners(const Level& l) {
    const int32_t r = l.w - 1;
    const int32_t b = l.h - 1;
    l.U(0, 0) = Update(l.U(1, 0) + l.U(0, 1) - l.s * l.F(0, 0), 0.5);
    l.U(r, 0) = Update(l.U(r - 1, 0) + l.U(r, 1) - l.s * l.F(r, 0), 0.5);
    l.U(0, b) = Update(l.U(1, b) + l.U(0, b - 1) - l.s * l.F(0, b), 0.5);
    l.U(r, b) = Update(l.U(r - 1, b) + l.U(r, b - 1) - l.s * l.F(r, b), 0.5);
}

// Interior cells of one colour in row y; `oddRowStart` is the first x in
// odd rows.
void InteriorRow(const Level& l, int32_t y, int32_t oddRowStart) {
    const int32_t w = l.w;
    const float s = l.s;
    float* row = l.u + static_cast<int64_t>(y) * w;
    const float* above = row - w;
    const float* below = row + w;
    const float* f = l.f + static_cast<int64_t>(y) * w;
    const int32_t start = (y & 1) ? oddRowStart : 3 - oddRowStart;
    for (int32_t x = start; x < w - 1; x += 2) {
        row[x] = Update(above[x] + row[x - 1] + row[x + 1] + below[x] - s * f[x], 0.25);
    }
}

// Cells of one colour never read each other, so the rows may run on several
// threads; a thread gets at least about 2^18 cells.
void InteriorCells(const Level& l, int32_t oddRowStart) {
    const int64_t grain = std::max<int64_t>(1, (int64_t{1} << 18) / l.w);
    ParallelFor(l.h - 2, grain, [&](int64_t begin, int64_t end) {
        for (int64_t i = begin; i < end; ++i) InteriorRow(l, static_cast<int32_t>(i + 1), oddRowStart);
    });
}

// Left then right edge cell of rows first, first + 2, ... up to h - 2.
void SideEdgeCells(const Level& l, int32_t first) {
    const int32_t r = l.w - 1;
    for (int32_t y = first; y < l.h - 1; y += 2) {
        l.U(0, y) = Update(l.U(1, y) + l.U(0, y - 1) + l.U(0, y + 1) - l.s * l.F(0, y), 0.3333);
        l.U(r, y) = Update(l.U(r - 1, y) + l.U(r, y - 1) + l.U(r, y + 1) - l.s * l.F(r, y), 0.3333);
    }
}

// Top row cells x = first, first + 2, ... up to w - 2, then the bottom row's.
void TopBottomEdgeCells(const Level& l, int32_t first) {
    const int32_t b = l.h - 1;
    for (int32_t x = first; x < l.w - 1; x += 2) {
        l.U(x, 0) = Update(l.U(x - 1, 0) + l.U(x + 1, 0) + l.U(x, 1) - l.s * l.F(x, 0), 0.3333);
    }
    for (int32_t x = first; x < l.w - 1; x += 2) {
        l.U(x, b) = Update(l.U(x - 1, b) + l.U(x + 1, b) + l.U(x, b - 1) - l.s * l.F(x, b), 0.3333);
    }
}

}  // namespace

int32_t RelaxRedBlack(int32_t /*outWidth*/, int32_t /*outHeight*/, int32_t /*width*/, int32_t /*height*/,
                      int32_t levelWidth, int32_t levelHeight, float scale, int32_t sweeps, int32_t offset,
                      float* u, const float* f) {
    // Every cell needs a neighbour on each axis.
    if (levelWidth < 2 || levelHeight < 2) return 0;
    const Level l{u + offset, f + offset, levelWidth, levelHeight, scale};
    const int32_t evenHeight = (levelHeight & 1) == 0 ? 1 : 0;
    for (int32_t n = 0; n < sweeps; ++n) {
        Corners(l);
        InteriorCells(l, 2);  // x + y odd
        SideEdgeCells(l, 2);
        TopBottomEdgeCells(l, evenHeight + 1);
        InteriorCells(l, 1);  // x + y even
        SideEdgeCells(l, 1);
        TopBottomEdgeCells(l, (1 - evenHeight) + 1);
    }
    return 0;
}
