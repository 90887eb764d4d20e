// The engine's own expf, logf, powf, exp, log and pow. Each returns, for
// every argument, the bits that the C library of the Linux build (glibc 2.36
// on x86-64, whose libm picks its fused multiply-add variants on processors
// that have them) returns: the same algorithms, tables, coefficients and
// operation order, with the multiply-adds fused where that library fuses
// them. Both builds use these instead of their C library's, so that Linux
// and Windows compute the same bits.
//
// On a processor with fused multiply-add instructions these use them; on
// one without, a correctly rounded fused multiply-add in software gives the
// same bits, many times more slowly. The array functions work on four values
// at a time with AVX2 (eight with AVX-512 for powf, log and pow) where the
// processor has it, and give exactly what the scalar functions give element
// by element. Besides the engine, the settings' units and the host's source
// picture use them.
#pragma once

#include <cstdint>
#include <cstring>

float Expf(float x);
float Logf(float x);
float Powf(float x, float y);
double Exp(double x);
double Log(double x);
double Pow(double x, double y);

// Powf(x, 1) and Powf(x, 0) without the call, for every x (proved over all
// floats by the sweep): x itself, except that a NaN comes back quiet and
// positive; 1, except that a signalling NaN comes back quiet.
inline float PowfWithExponentOne(float x) {
    uint32_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    if ((bits & 0x7fffffffu) <= 0x7f800000u) return x;
    bits = (bits | 0x00400000u) & 0x7fffffffu;
    std::memcpy(&x, &bits, sizeof x);
    return x;
}
inline float PowfWithExponentZero(float x) {
    uint32_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    const bool signalling = (bits & 0x7fc00000u) == 0x7f800000u && (bits & 0x003fffffu) != 0;
    if (!signalling) return 1.0f;
    bits |= 0x00400000u;
    std::memcpy(&x, &bits, sizeof x);
    return x;
}

// out[i] = Expf(in[i]); in and out may be the same array.
void ExpfArray(const float* in, float* out, int64_t n);
// out[i] = Logf(in[i]).
void LogfArray(const float* in, float* out, int64_t n);
// out[i] = Powf(x[i], y[i]).
void PowfArray(const float* x, const float* y, float* out, int64_t n);
// out[i] = Powf(x[i], y).
void PowfArrayFixedExponent(const float* x, float y, float* out, int64_t n);
// out[i] = Log(in[i]).
void LogArray(const double* in, double* out, int64_t n);
// out[i] = Pow(x[i], y).
void PowArrayFixedExponent(const double* x, double y, double* out, int64_t n);

// Whether the fused multiply-add and AVX2 instructions are used, here and
// in the engine's other AVX2 loops. Tests turn them off to check that the
// other paths give the same bits; the default is on where the processor has
// them.
bool MathsUsesFusedInstructions();
void SetMathsUsesFusedInstructions(bool use);
// Whether the array forms that have one use their AVX-512 form (with the
// fused instructions only); on by default where the processor has it.
bool MathsUsesAvx512();
void SetMathsUsesAvx512(bool use);
