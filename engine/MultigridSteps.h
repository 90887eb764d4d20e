// Steps of one multigrid V-cycle besides the smoothing. Internal to the
// engine; all levels are row-major with no gaps, row length = level width.
#pragma once

#include <cstdint>
#include <memory>

#include "PyramidLevels.h"

// Work on one row of a level that the relaxation can do in its own pass
// over the rows (RelaxLevel); run(context, y) touches row y only.
struct RowWork {
    void (*run)(const void* context, int32_t y);
    const void* context;
};

// `sweeps` red-black sweeps of a w x h level (RelaxRedBlack) in one pass
// with two row steps: `before` (if run is set) on every row before the
// first sweep reads it, `after` on every row once it and its neighbours
// have their final values.
void RelaxLevel(int32_t w, int32_t h, float scale, int32_t sweeps, float* u, const float* f, RowWork before,
                RowWork after);

// A level's residual, row by row: r = (1/s) (n u - neighbours) + f.
struct ResidualRows {
    const float* u;
    const float* f;
    int32_t w;
    int32_t h;
    double inv;  // 1/s, rounded to single precision
    bool wide;    // AVX2 form of the interior cells
    bool avx512;  // AVX-512 form
    float* r;
};
ResidualRows MakeResidualRows(const float* u, const float* f, int32_t w, int32_t h, float scale, float* r);
void ResidualOfRow(const ResidualRows& rows, int32_t y);

// The prolongation into a finer level, row by row: fine row y += the
// coarse values that ProlongByCopy or AddProlongedByResampling add to it.
struct ProlongRows {
    const float* coarse;
    int32_t coarseWidth;
    int32_t coarseHeight;
    float* fine;
    int32_t fineWidth;
    const int32_t* columnOwner;  // resampled level 1: the last covering cell of each fine column
    const int32_t* rowOwner;     // and of each fine row, or -1
};
void ProlongCopyOfRow(const ProlongRows& rows, int32_t y);
void ProlongResampledOfRow(const ProlongRows& rows, int32_t y);
// The owner arrays of a resampled level 1 (fine width + fine height
// values); false when their memory cannot be had.
bool MakeResamplingOwners(const SolverLevels& levels, std::unique_ptr<int32_t[]>* owners);

// r = (1/s) (n u - neighbours) + f over a w x h level, n being the number of
// neighbours present (4, 3 on an edge, 2 at a corner).
void ComputeResidual(const float* u, const float* f, int32_t w, int32_t h, float scale, float* r);

// Coarse = 0.25 (sum of each 2 x 2 block) of an even-sided fine level.
void RestrictByMean(const float* fine, int32_t fineWidth, int32_t coarseWidth, int32_t coarseHeight,
                    float* coarse);

// Level 1 of a grid not divisible by 2^L: area-weighted sums of the residual
// over blocks of 2 or 3 cells per axis.
void RestrictByResampling(const float* fine, const SolverLevels& levels, float* coarse);

// fine(2x + i, 2y + j) += coarse(x, y), i and j in {0, 1}.
void ProlongByCopy(const float* coarse, int32_t coarseWidth, int32_t coarseHeight, float* fine, int32_t fineWidth);

// Level 1 written over the level-0 blocks of the resampling, later cells
// winning where blocks overlap; cells no block covers get 0. Level 0 must be
// zeroed beforehand.
void ProlongByResampling(const float* coarse, const SolverLevels& levels, float* fine);

// fine += the level-1 values that ProlongByResampling would write, in one
// pass that rows may share out: each fine cell takes the value of the last
// block covering it, 0 where none does. Returns false, with fine unchanged,
// when the small index arrays cannot be had.
bool AddProlongedByResampling(const float* coarse, const SolverLevels& levels, float* fine);
