// Level geometry shared by the pyramid plan, the gradient stage and the
// Poisson solver. Internal to the engine.
#pragma once

#include <cstdint>

// Enough for any int32 grid: a side halves at most 31 times.
constexpr int32_t kMaxPyramidLevels = 34;

// Size of a pyramid of `steps` planned levels below a w x h grid; a level is
// halved (rounding up) only while both sides exceed `threshold`, and is
// counted again for every step after halving stopped. A size beyond int32
// gives -1.
void PlanLevels(int32_t w, int32_t h, int32_t steps, int32_t threshold, int32_t* size, int32_t* lastW,
                int32_t* lastH);

// The solver's level stack for one tm2 call.
struct SolverLevels {
    int32_t levelCount;  // L actually used (raised to 1, or lowered so 2^L fits the grid)
    int32_t count;       // levels built, level 0 included; the last one is the coarsest
    int32_t width[kMaxPyramidLevels];
    int32_t height[kMaxPyramidLevels];
    int32_t offset[kMaxPyramidLevels];
    float scale[kMaxPyramidLevels];  // s_k = ((W-1)(H-1)) div ((w-1)(h-1))
    bool resampled;                  // level 1 comes from the area-weighted resampling
    bool resampleWidth;              // the width is not divisible by 2^L
    bool resampleHeight;             // the height is not divisible by 2^L
    float rx, ry;                    // fine cells per level-1 cell
    float bx, by;                    // their reciprocals
    int64_t values;                  // values of all levels together
};

// Computes the levels tm2 builds for a W x H grid with the plan's coarsest
// size (wc, hc) and level count L. L below 1 is raised to 1, with the
// coarsest size the plan would give for one level; an L whose 2^L exceeds a
// side is lowered until it fits. Returns false for a grid below 2 x 2 or a
// level stack the transfers cannot serve.
bool PlanSolverLevels(int32_t width, int32_t height, int32_t coarsestWidth, int32_t coarsestHeight,
                      int32_t levels, SolverLevels* out);
