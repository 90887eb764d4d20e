// The tone-mapping engine: numerical stages over caller-owned buffers.
//
// A full run goes PlanPyramids -> (BuildLinearisationTable) -> get_image ->
// tm1 -> tm2 -> affich_image; get_preview takes get_image's place for a
// reduced copy of the image. Every stage
// returns a signed 32-bit result: 0 or more for success, a negative code for
// failure, kEngineOutOfMemory when a small array could not be had.
//
// The arithmetic of every stage is fixed step by step (single or double
// precision, truncation or rounding, order of sums) so that two faithful
// builds agree bit for bit. Nothing here knows of the host or of Windows.
#pragma once

#include <cstdint>

#include "SettingSlots.h"

constexpr int32_t kEngineOutOfMemory = -4;

// Number of threads the stages may split independent work over; 0 (the
// default) takes the processor count. Results are the same for any count.
void SetEngineThreads(int32_t count);

// While one is open the stages share worker threads kept alive between them
// instead of starting threads for every split; the threads end when the
// outermost scope closes. Open one around a run's stages.
struct EngineThreadScope {
    EngineThreadScope();
    ~EngineThreadScope();
    EngineThreadScope(const EngineThreadScope&) = delete;
    EngineThreadScope& operator=(const EngineThreadScope&) = delete;
};

// Sets `count` values to +0 (all bytes zero), on the engine's threads: the
// drivers clear their work buffers with it, and on fresh memory most of the
// time goes into the first touch of each page.
void ZeroValues(float* values, int64_t count);

// The entries of a PyramidPlan; entry 0 is not used.
enum PyramidPlanEntry {
    kPlanWidth = 1,                    // working width W
    kPlanHeight = 2,                   // working height H
    kPlanRowLength = 3,                // row length of every luminance buffer (W)
    kPlanRowCount = 4,                 // row count of every luminance buffer (H)
    kPlanSolverSize = 5,               // values of all solver levels, one per planned step
    kPlanGradientSize = 6,             // values of all gradient levels, counted the same way
    kPlanSolverCoarsestWidth = 7,      // the solver's coarsest level
    kPlanSolverCoarsestHeight = 8,
    kPlanGradientCoarsestWidth = 9,    // the gradient pyramid's coarsest level
    kPlanGradientCoarsestHeight = 10,
    kPlanSolverLevels = 11,            // solver level count L (may be below 1)
    kPlanGradientReductions = 12,      // gradient reduction count R
};

// Sizes and level counts of one run's pyramids, indexed by PyramidPlanEntry.
struct PyramidPlan {
    int32_t entry[13];
};

// Statistics of one run, in the working luminance scale (a 32-bit value times
// 32768, a 16-bit code's linearisation-table value). Zeroed by the driver.
enum ImageStatsEntry {
    kStatMean = 0,         // mean positive luminance
    kStatMaxOverMean = 1,  // maximum / mean
    kStatMinPositive = 2,  // minimum positive luminance
    kStatMiddle = 3,       // log-luminance landmarks from the histogram
    kStatLow = 4,
    kStatHigh = 5,
    kStatShiftRed = 6,  // channel shifts for negative samples, always 0
    kStatShiftGreen = 7,
    kStatShiftBlue = 8,
};

struct ImageStats {
    float entry[9];
};

// Log-luminance of a pixel without positive luminance.
constexpr float kLogSentinel = -1e9f;

// ---- Work buffers and pyramid plan ----

// Fills plan entries 1..12 for a W x H working grid, Light Smoothing code S
// (-2..2) and R gradient reductions. Returns R.
int32_t PlanPyramids(int32_t width, int32_t height, int32_t smoothingCode, int32_t reductions,
                     PyramidPlan* plan);

// Whether the drivers accept the plan: entries kPlanWidth to
// kPlanGradientCoarsestHeight are all at least 1.
bool PlanIsUsable(const PyramidPlan& plan);

// Number of single-precision values each of the three work buffers must hold
// for a run with this plan: the larger pyramid size, or more when tm2 has to
// raise a level count below 1 (it never does for a plan with at least one
// gradient reduction). -1 for a plan the drivers refuse.
int32_t WorkBufferValues(const PyramidPlan& plan);

// ---- Linearisation table ----

// Fills table[0..levels-1] with levels x (i/levels)^2.2 (selector <= 0) or a
// linear table (selector > 0); table[0] = table[1]. Returns the level count.
int32_t BuildLinearisationTable(int32_t curveSelector, int32_t levels, float* table);

// ---- Log-luminance extraction and image statistics ----

// Full-run log-luminance of a W x H image of nb interleaved channels into
// work0 (row length rowLength = W + 2 pad, rowCount = H rows), with wrap
// borders of pad columns on each side. A pixel whose luminance is not finite
// counts as black. Returns W x H minus the number of pixels with positive
// luminance, or -1 for a layout that cannot hold the image.
int32_t get_image(int32_t depthCode, int32_t width, int32_t height, int32_t rowLength, int32_t rowCount,
                  int32_t nb, int32_t pad, ImageStats* stats, const float* srcFloat, const float* table,
                  const uint16_t* src16, float* work0);

// Preview log-luminance: nearest-neighbour sampling of the W x H source to
// pw x ph; mode 0 is the only mode, the offsets are not read. Returns -1
// when a side is below 10, else pw x ph minus the number of preview pixels
// with positive luminance.
int32_t get_preview(int32_t mode, int32_t is16Bit, int32_t x0, int32_t y0, int32_t srcWidth,
                    int32_t srcHeight, int32_t previewWidth, int32_t previewHeight, int32_t rowLength,
                    int32_t rowCount, int32_t nb, ImageStats* stats, const float* srcFloat,
                    const float* table, const uint16_t* src16, float* work0);

// trunc(v), plus 1 when the fraction exceeds 0.5 (an exact half rounds down).
int32_t RoundToNearestIndex(float v);

// ---- Log-luminance histogram and landmarks ----

// Adds n values between lo and hi to `bins` counters. Returns n, or -1 when
// lo >= hi (or the comparison fails).
int32_t BuildLogHistogram(int32_t n, int32_t bins, float lo, float hi, const float* values,
                          int32_t* histogram);

// First bin at which the running count exceeds trunc(total x q), or `bins`.
int32_t FindQuantileBin(float q, int32_t total, int32_t bins, const int32_t* histogram);

// A fraction whose quantile bin lies between a quarter and nine tenths of the
// bins, or the last one tried after 40 adjustments in one landmark search.
float AdjustQuantileFraction(float q, int32_t total, int32_t bins, const int32_t* histogram);

// Resets the adjustment counter of AdjustQuantileFraction (tm1 does so
// before every landmark search).
void ResetQuantileAdjustments();

// The landmarks step of tm1: histogram of the n log-luminance values between
// ln(minimum) and ln(maximum), then the middle, low and high landmarks into
// stats entries 3, 5 and 4. Returns 0, -1 when the range is empty (entries
// kept), or kEngineOutOfMemory when the histogram cannot be had.
int32_t SetLandmarks(int32_t n, const float* logLuminance, ImageStats* stats);

// ---- Gradient attenuation ----

// Gradient-domain compression of the log-luminance in work0 (W x H): sets the
// landmarks of `stats`, leaves the divergence of the attenuated gradients in
// work0 (zeros up to plan entry 5). s = luminosity steps, m = microcontrast,
// f = micro-smoothing factor. On a grid too small for all reductions it
// works over the levels actually built. Returns a positive value, or -1 for
// a plan not made for this grid.
int32_t tm1(int32_t depthCode, int32_t width, int32_t height, int32_t s, int32_t m, float f,
            const PyramidPlan* plan, ImageStats* stats, float* work0, float* work1, float* work2);

// ---- Multigrid Poisson reconstruction ----

// Solves the Poisson equation with the divergence in work0 by four V-cycles
// and writes exp(u) of the W0 x H0 output area at the start of work0.
// A level count below 1 is solved with one level (buffers of
// WorkBufferValues hold it); one whose 2^L exceeds a side is lowered until
// it fits. Returns W, or -1 for sizes that cannot belong to one plan.
int32_t tm2(int32_t outWidth, int32_t outHeight, int32_t width, int32_t height, int32_t coarsestWidth,
            int32_t coarsestHeight, int32_t pyramidSize, int32_t levels, float* work1, float* work2,
            float* work0);

// n red-black Gauss-Seidel sweeps of the w x h level at `offset` of u and f,
// with level scale s.
int32_t RelaxRedBlack(int32_t outWidth, int32_t outHeight, int32_t width, int32_t height, int32_t levelWidth,
                      int32_t levelHeight, float scale, int32_t sweeps, int32_t offset, float* u,
                      const float* f);

// ---- Output operators ----

// f(x) = a x^3 + b x^2 + c x + d, evaluated as ((a x3 + b x2) + c x) + d.
struct CubicSegment {
    float a, b, c, d;
};

// The cubic with value y0 and zero slope at x0, inflection through (xm, ym).
void cubic_segment(float x0, float y0, float xm, float ym, CubicSegment* segment);

// CIE XYZ of the daylight illuminant of temperature T kelvin, scaled to Y = 1,
// written into xyz (left as it was when the chromaticity is degenerate).
void daylight_white(int32_t kelvin, float xyz[3]);

// Final stage of the full run: normalises the adapted luminance in `lum`
// ((W + 2 pad) x H), composes the output luminance, rebuilds colour and writes
// every output sample. `settings` is the settings array (SettingSlots.h), of
// which the output operators' slots are read. Returns the white-point bin, -2
// for a flat buffer, kEngineOutOfMemory when the histogram cannot be had.
int32_t affich_image(int32_t depthCode, int32_t width, int32_t height, int32_t nb, int32_t pad,
                     const int32_t* settings, double outputGamma, const ImageStats* stats,
                     const float* inFloat, const float* table, const uint16_t* in16, float* lum,
                     float* outFloat, uint16_t* out16);

// Final stage of the preview: samples the W x H source at the preview's
// w x h, tone-maps it with the adapted luminance in `lum` (w x h, rewritten
// by the normalisation) and writes an 8-bit picture of three planes (red,
// green, blue, each w x h) and the 256-bin luminance histogram of the picture
// before the output exponent. Mode 0 is the only mode; the offsets are not
// read. Returns the white-point bin, -1 when a side is below 10 (nothing
// written), -2 for a flat buffer, kEngineOutOfMemory when the normalisation's
// histogram cannot be had.
int32_t affich_preview(int32_t mode, int32_t depthCode, int32_t x0, int32_t y0, int32_t srcWidth,
                       int32_t srcHeight, int32_t previewWidth, int32_t previewHeight, int32_t nb,
                       const int32_t* settings, double outputGamma, const ImageStats* stats, const float* inFloat,
                       const float* table, const uint16_t* in16, float* lum, int32_t* histogram,
                       uint8_t* picture);

// The source row (column) that preview row (column) `index` shows:
// trunc(index x ratio), the product in single precision, limited to
// size - 1. The ratio is source size / preview size in single precision.
int32_t PreviewSampleIndex(int32_t index, float ratio, int32_t size);
