// Dispatch of the engine's maths functions between the variant compiled for
// fused multiply-add (and AVX2) instructions and the portable one; both give
// the same bits.
#include "EngineMaths.h"

#include <atomic>

#include "MathsAvx2.h"
#include "MathsKernels.h"
#include "MathsPortable.h"

namespace {

using namespace maths_kernels;

#define TM_FMA_TARGET __attribute__((target("fma")))

TM_FMA_TARGET float ExpfFma(float x) { return ExpfKernel(x); }
TM_FMA_TARGET float LogfFma(float x) { return LogfKernel(x); }
TM_FMA_TARGET float PowfFma(float x, float y) { return PowfKernel(x, y); }
TM_FMA_TARGET double ExpFma(double x) { return ExpKernel(x); }
TM_FMA_TARGET double LogFma(double x) { return LogKernel(x); }
TM_FMA_TARGET double PowFma(double x, double y) { return PowKernel(x, y); }

bool ProcessorHasFusedInstructions() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("fma") && __builtin_cpu_supports("avx2");
}

const bool kProcessorHasFused = ProcessorHasFusedInstructions();
const bool kProcessorHasAvx512 =
    kProcessorHasFused && __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl");
std::atomic<bool> g_useFused{kProcessorHasFused};
std::atomic<bool> g_useAvx512{kProcessorHasAvx512};

inline bool UseFused() { return g_useFused.load(std::memory_order_relaxed); }
inline bool UseAvx512() { return g_useAvx512.load(std::memory_order_relaxed) && UseFused(); }

}  // namespace

bool MathsUsesFusedInstructions() { return UseFused(); }

void SetMathsUsesFusedInstructions(bool use) { g_useFused.store(use && kProcessorHasFused); }

bool MathsUsesAvx512() { return UseAvx512(); }

void SetMathsUsesAvx512(bool use) { g_useAvx512.store(use && kProcessorHasAvx512); }

float Expf(float x) { return UseFused() ? ExpfFma(x) : ExpfPortable(x); }
float Logf(float x) { return UseFused() ? LogfFma(x) : LogfPortable(x); }
float Powf(float x, float y) { return UseFused() ? PowfFma(x, y) : PowfPortable(x, y); }
double Exp(double x) { return UseFused() ? ExpFma(x) : ExpPortable(x); }
double Log(double x) { return UseFused() ? LogFma(x) : LogPortable(x); }
double Pow(double x, double y) { return UseFused() ? PowFma(x, y) : PowPortable(x, y); }

void ExpfArray(const float* in, float* out, int64_t n) {
    if (UseFused()) return ExpfArrayAvx2(in, out, n);
    for (int64_t i = 0; i < n; ++i) out[i] = ExpfPortable(in[i]);
}

void LogfArray(const float* in, float* out, int64_t n) {
    if (UseFused()) return LogfArrayAvx2(in, out, n);
    for (int64_t i = 0; i < n; ++i) out[i] = LogfPortable(in[i]);
}

void PowfArray(const float* x, const float* y, float* out, int64_t n) {
    if (UseFused()) return UseAvx512() ? PowfArrayAvx512(x, y, out, n) : PowfArrayAvx2(x, y, out, n);
    for (int64_t i = 0; i < n; ++i) out[i] = PowfPortable(x[i], y[i]);
}

void PowfArrayFixedExponent(const float* x, float y, float* out, int64_t n) {
    if (UseFused()) {
        return UseAvx512() ? PowfArrayFixedExponentAvx512(x, y, out, n)
                                   : PowfArrayFixedExponentAvx2(x, y, out, n);
    }
    for (int64_t i = 0; i < n; ++i) out[i] = PowfPortable(x[i], y);
}

void LogArray(const double* in, double* out, int64_t n) {
    if (UseFused()) return UseAvx512() ? LogArrayAvx512(in, out, n) : LogArrayAvx2(in, out, n);
    for (int64_t i = 0; i < n; ++i) out[i] = LogPortable(in[i]);
}

void PowArrayFixedExponent(const double* x, double y, double* out, int64_t n) {
    if (UseFused()) {
        return UseAvx512() ? PowArrayFixedExponentAvx512(x, y, out, n) : PowArrayFixedExponentAvx2(x, y, out, n);
    }
    for (int64_t i = 0; i < n; ++i) out[i] = PowPortable(x[i], y);
}
