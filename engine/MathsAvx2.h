// The array forms of the engine's maths functions on AVX2 and fused
// multiply-add instructions: only called where the processor has both.
// Each gives exactly what the scalar kernels give element by element.
// Internal to the engine.
#pragma once

#include <cstdint>

void ExpfArrayAvx2(const float* in, float* out, int64_t n);
void LogfArrayAvx2(const float* in, float* out, int64_t n);
void PowfArrayAvx2(const float* x, const float* y, float* out, int64_t n);
void PowfArrayFixedExponentAvx2(const float* x, float y, float* out, int64_t n);
void LogArrayAvx2(const double* in, double* out, int64_t n);
void PowArrayFixedExponentAvx2(const double* x, double y, double* out, int64_t n);

// The same with AVX-512 (MathsAvx512.cpp), where the processor has it.
void PowfArrayAvx512(const float* x, const float* y, float* out, int64_t n);
void PowfArrayFixedExponentAvx512(const float* x, float y, float* out, int64_t n);
void LogArrayAvx512(const double* in, double* out, int64_t n);
void PowArrayFixedExponentAvx512(const double* x, double y, double* out, int64_t n);
