// AVX2 forms of the engine's maths functions: four lanes of double
// precision, each lane the scalar kernel's steps with the same roundings and
// the same fused multiply-adds. Lanes whose argument or intermediate result
// leaves the common path (zeros, infinities, NaNs, subnormals, results near
// the ends of the range) are recomputed by the scalar kernel.
#include "MathsAvx2.h"

#include <immintrin.h>

#include "LibmConstants.h"
#include "MathsKernels.h"

#define TM_AVX2 __attribute__((target("avx2,fma")))
#define TM_AVX2_INLINE static inline __attribute__((always_inline, target("avx2,fma")))

namespace {

using namespace maths_kernels;

TM_AVX2 float ExpfScalar(float x) { return ExpfKernel(x); }
TM_AVX2 float LogfScalar(float x) { return LogfKernel(x); }
TM_AVX2 float PowfScalar(float x, float y) { return PowfKernel(x, y); }
TM_AVX2 double LogScalar(double x) { return LogKernel(x); }
TM_AVX2 double PowScalar(double x, double y) { return PowKernel(x, y); }

TM_AVX2_INLINE __m256d Splat(double v) { return _mm256_set1_pd(v); }

// a >= b as unsigned 32-bit integers, per lane.
TM_AVX2_INLINE __m128i UnsignedAtLeast32(__m128i a, uint32_t b) {
    const __m128i bias = _mm_set1_epi32(INT32_MIN);
    return _mm_cmpgt_epi32(_mm_xor_si128(a, bias),
                           _mm_xor_si128(_mm_set1_epi32(static_cast<int32_t>(b - 1)), bias));
}

// a < b as unsigned 64-bit integers, per lane.
TM_AVX2_INLINE __m256i UnsignedBelow64(__m256i a, uint64_t b) {
    const __m256i bias = _mm256_set1_epi64x(INT64_MIN);
    return _mm256_cmpgt_epi64(_mm256_xor_si256(_mm256_set1_epi64x(static_cast<int64_t>(b)), bias),
                              _mm256_xor_si256(a, bias));
}

// The arithmetic shift right by 52 of four 64-bit lanes, as doubles.
TM_AVX2_INLINE __m256d TopTwelveBitsSigned(__m256i v) {
    const __m256i high = _mm256_srai_epi32(v, 20);  // odd 32-bit lanes hold the results
    const __m256i packed = _mm256_permutevar8x32_epi32(high, _mm256_setr_epi32(1, 3, 5, 7, 0, 0, 0, 0));
    return _mm256_cvtepi32_pd(_mm256_castsi256_si128(packed));
}

// Gathers with an explicit zero source: GCC 12 warns about the undefined
// source of the plain forms.
TM_AVX2_INLINE __m256d Gather(const double* base, __m128i index) {
    const __m256d all = _mm256_castsi256_pd(_mm256_set1_epi64x(-1));
    return _mm256_mask_i32gather_pd(_mm256_setzero_pd(), base, index, all, 8);
}
TM_AVX2_INLINE __m256d Gather(const double* base, __m256i index) {
    const __m256d all = _mm256_castsi256_pd(_mm256_set1_epi64x(-1));
    return _mm256_mask_i64gather_pd(_mm256_setzero_pd(), base, index, all, 8);
}
TM_AVX2_INLINE __m256i Gather(const uint64_t* base, __m256i index) {
    return _mm256_mask_i64gather_epi64(_mm256_setzero_si256(), reinterpret_cast<const long long*>(base), index,
                                       _mm256_set1_epi64x(-1), 8);
}

TM_AVX2_INLINE int LaneMask(__m256i m) { return _mm256_movemask_pd(_mm256_castsi256_pd(m)); }
TM_AVX2_INLINE int LaneMask(__m128i m) { return _mm_movemask_ps(_mm_castsi128_ps(m)); }

// ---- expf ----

TM_AVX2_INLINE __m128 Expf4(__m128 x, int* special) {
    const SinglePrecisionConstants& c = kSingleConstants;
    const __m128i ix = _mm_castps_si128(x);
    const __m128i abstop = _mm_and_si128(_mm_srli_epi32(ix, 20), _mm_set1_epi32(0x7ff));
    *special = LaneMask(_mm_cmpgt_epi32(abstop, _mm_set1_epi32(0x42a)));
    const __m256d xd = _mm256_cvtps_pd(x);
    const __m256d invLn2 = Splat(c.expInvLn2);
    const __m256d shift = Splat(c.expShift);
    __m256d kd = _mm256_fmadd_pd(invLn2, xd, shift);
    const __m256i ki = _mm256_castpd_si256(kd);
    kd = _mm256_sub_pd(kd, shift);
    const __m256d r = _mm256_fmsub_pd(invLn2, xd, kd);
    const __m256i index = _mm256_and_si256(ki, _mm256_set1_epi64x(31));
    const __m256i bits = _mm256_add_epi64(
        Gather(c.exp2Table, index), _mm256_slli_epi64(ki, 47));
    const __m256d z = _mm256_fmadd_pd(r, Splat(c.expPoly[0]), Splat(c.expPoly[1]));
    const __m256d r2 = _mm256_mul_pd(r, r);
    __m256d y = _mm256_fmadd_pd(r, Splat(c.expPoly[2]), Splat(1.0));
    y = _mm256_fmadd_pd(z, r2, y);
    y = _mm256_mul_pd(y, _mm256_castsi256_pd(bits));
    return _mm256_cvtpd_ps(y);
}

// ---- logf ----

TM_AVX2_INLINE __m128 Logf4(__m128 x, int* special) {
    const SinglePrecisionConstants& c = kSingleConstants;
    const __m128i ix = _mm_castps_si128(x);
    *special = LaneMask(UnsignedAtLeast32(_mm_sub_epi32(ix, _mm_set1_epi32(0x00800000)), 0x7f000000u));
    const __m128i tmp = _mm_sub_epi32(ix, _mm_set1_epi32(0x3f330000));
    const __m128i i2 = _mm_slli_epi32(_mm_and_si128(_mm_srli_epi32(tmp, 19), _mm_set1_epi32(15)), 1);
    const __m128i k = _mm_srai_epi32(tmp, 23);
    const __m128i iz = _mm_sub_epi32(ix, _mm_and_si128(tmp, _mm_set1_epi32(static_cast<int32_t>(0xff800000u))));
    const __m256d invc = Gather(c.logfTable, i2);
    const __m256d logc = Gather(c.logfTable + 1, i2);
    const __m256d z = _mm256_cvtps_pd(_mm_castsi128_ps(iz));
    const __m256d y0 = _mm256_fmadd_pd(_mm256_cvtepi32_pd(k), Splat(c.logfLn2), logc);
    const __m256d r = _mm256_fmadd_pd(z, invc, Splat(-1.0));
    __m256d y = _mm256_fmadd_pd(r, Splat(c.logfPoly[1]), Splat(c.logfPoly[2]));
    const __m256d r2 = _mm256_mul_pd(r, r);
    const __m256d rPlusY0 = _mm256_add_pd(r, y0);
    y = _mm256_fmadd_pd(r2, Splat(c.logfPoly[0]), y);
    y = _mm256_fmadd_pd(r2, y, rPlusY0);
    const __m128i isOne = _mm_cmpeq_epi32(ix, _mm_set1_epi32(0x3f800000));
    return _mm_andnot_ps(_mm_castsi128_ps(isOne), _mm256_cvtpd_ps(y));
}

// ---- powf ----

TM_AVX2_INLINE __m128 Powf4(__m128 x, __m128 y, int* special) {
    const SinglePrecisionConstants& c = kSingleConstants;
    const double* a = c.powfLogPoly;
    const __m128i ix = _mm_castps_si128(x);
    const __m128i iy = _mm_castps_si128(y);
    const __m128i xSpecial = UnsignedAtLeast32(_mm_sub_epi32(ix, _mm_set1_epi32(0x00800000)), 0x7f000000u);
    const __m128i ySpecial =
        UnsignedAtLeast32(_mm_sub_epi32(_mm_add_epi32(iy, iy), _mm_set1_epi32(1)), 2u * 0x7f800000u - 1);
    // log2 x
    const __m128i tmp = _mm_sub_epi32(ix, _mm_set1_epi32(0x3f330000));
    const __m128i i2 = _mm_slli_epi32(_mm_and_si128(_mm_srli_epi32(tmp, 19), _mm_set1_epi32(15)), 1);
    const __m128i top = _mm_and_si128(tmp, _mm_set1_epi32(static_cast<int32_t>(0xff800000u)));
    const __m128i iz = _mm_sub_epi32(ix, top);
    const __m128i k = _mm_srai_epi32(top, 23);
    const __m256d invc = Gather(c.powfLogTable, i2);
    const __m256d logc = Gather(c.powfLogTable + 1, i2);
    const __m256d z = _mm256_cvtps_pd(_mm_castsi128_ps(iz));
    const __m256d r = _mm256_fmadd_pd(z, invc, Splat(-1.0));
    const __m256d y0 = _mm256_add_pd(_mm256_cvtepi32_pd(k), logc);
    __m256d l = _mm256_fmadd_pd(r, Splat(a[0]), Splat(a[1]));
    const __m256d p = _mm256_fmadd_pd(r, Splat(a[2]), Splat(a[3]));
    const __m256d r2 = _mm256_mul_pd(r, r);
    __m256d q = _mm256_fmadd_pd(r, Splat(a[4]), y0);
    const __m256d r4 = _mm256_mul_pd(r2, r2);
    q = _mm256_fmadd_pd(r2, p, q);
    l = _mm256_fmadd_pd(l, r4, q);
    const __m256d ylogx = _mm256_mul_pd(_mm256_cvtps_pd(y), l);
    const __m256i rangeBits = _mm256_and_si256(_mm256_srli_epi64(_mm256_castpd_si256(ylogx), 47),
                                               _mm256_set1_epi64x(0xffff));
    const __m256i outOfRange = _mm256_cmpgt_epi64(rangeBits, _mm256_set1_epi64x(static_cast<int64_t>(Bits(126.0) >> 47) - 1));
    *special = LaneMask(_mm_or_si128(xSpecial, ySpecial)) | LaneMask(outOfRange);
    // 2^ylogx
    const __m256d shift = Splat(c.exp2Shift);
    __m256d kd = _mm256_add_pd(ylogx, shift);
    const __m256i ki = _mm256_castpd_si256(kd);
    kd = _mm256_sub_pd(kd, shift);
    const __m256d e = _mm256_sub_pd(ylogx, kd);
    const __m256i index = _mm256_and_si256(ki, _mm256_set1_epi64x(31));
    const __m256i bits = _mm256_add_epi64(
        Gather(c.exp2Table, index), _mm256_slli_epi64(ki, 47));
    const __m256d ez = _mm256_fmadd_pd(e, Splat(c.exp2Poly[0]), Splat(c.exp2Poly[1]));
    const __m256d e2 = _mm256_mul_pd(e, e);
    __m256d result = _mm256_fmadd_pd(e, Splat(c.exp2Poly[2]), Splat(1.0));
    result = _mm256_fmadd_pd(ez, e2, result);
    result = _mm256_mul_pd(result, _mm256_castsi256_pd(bits));
    return _mm256_cvtpd_ps(result);
}

// ---- log ----

TM_AVX2_INLINE __m256d LogNearOne4(__m256d x) {
    const double* b = kDoubleConstants.logPolyNearOne;
    const __m256d r = _mm256_sub_pd(x, Splat(1.0));
    __m256d p1 = _mm256_fmadd_pd(r, Splat(b[2]), Splat(b[1]));
    __m256d p2 = _mm256_fmadd_pd(r, Splat(b[5]), Splat(b[4]));
    __m256d p3 = _mm256_fmadd_pd(r, Splat(b[8]), Splat(b[7]));
    const __m256d r2 = _mm256_mul_pd(r, r);
    p1 = _mm256_fmadd_pd(r2, Splat(b[3]), p1);
    p2 = _mm256_fmadd_pd(r2, Splat(b[6]), p2);
    const __m256d r3 = _mm256_mul_pd(r, r2);
    p3 = _mm256_fmadd_pd(r2, Splat(b[9]), p3);
    p3 = _mm256_fmadd_pd(r3, Splat(b[10]), p3);
    p2 = _mm256_fmadd_pd(p3, r3, p2);
    const __m256d poly = _mm256_fmadd_pd(p2, r3, p1);
    const __m256d shifted = _mm256_fmadd_pd(r, Splat(0x1p27), r);
    const __m256d rhi = _mm256_fnmadd_pd(Splat(0x1p27), r, shifted);
    const __m256d rhi2 = _mm256_mul_pd(rhi, rhi);
    const __m256d rlo = _mm256_sub_pd(r, rhi);
    const __m256d hi = _mm256_fmadd_pd(rhi2, Splat(b[0]), r);
    const __m256d rMinusHi = _mm256_sub_pd(r, hi);
    const __m256d rPlusRhi = _mm256_add_pd(r, rhi);
    __m256d lo = _mm256_fmadd_pd(rhi2, Splat(b[0]), rMinusHi);
    lo = _mm256_fmadd_pd(_mm256_mul_pd(Splat(b[0]), rlo), rPlusRhi, lo);
    return _mm256_add_pd(hi, _mm256_fmadd_pd(poly, r3, lo));
}

TM_AVX2_INLINE __m256d Log4(__m256d x, int* special) {
    const DoublePrecisionConstants& c = kDoubleConstants;
    const double* a = c.logPoly;
    const __m256i ix = _mm256_castpd_si256(x);
    const __m256i top = _mm256_srli_epi64(ix, 48);
    const __m256i nearOne =
        UnsignedBelow64(_mm256_sub_epi64(ix, _mm256_set1_epi64x(0x3fee000000000000ll)), 0x0003090000000000ull);
    const __m256i outside = _mm256_or_si256(_mm256_cmpgt_epi64(_mm256_set1_epi64x(0x10), top),
                                            _mm256_cmpgt_epi64(top, _mm256_set1_epi64x(0x7fef)));
    *special = LaneMask(outside);
    const __m256i tmp = _mm256_sub_epi64(ix, _mm256_set1_epi64x(0x3fe6000000000000ll));
    const __m256i i2 = _mm256_slli_epi64(_mm256_and_si256(_mm256_srli_epi64(tmp, 45), _mm256_set1_epi64x(127)), 1);
    const __m256d kd = TopTwelveBitsSigned(tmp);
    const __m256i iz = _mm256_sub_epi64(ix, _mm256_and_si256(tmp, _mm256_set1_epi64x(static_cast<int64_t>(0xfff0000000000000ull))));
    const __m256d invc = Gather(c.logTable, i2);
    const __m256d logc = Gather(c.logTable + 1, i2);
    const __m256d z = _mm256_castsi256_pd(iz);
    const __m256d w = _mm256_fmadd_pd(kd, Splat(c.logLn2Hi), logc);
    const __m256d r = _mm256_fmadd_pd(z, invc, Splat(-1.0));
    const __m256d q1 = _mm256_fmadd_pd(r, Splat(a[2]), Splat(a[1]));
    const __m256d hi = _mm256_add_pd(r, w);
    const __m256d r2 = _mm256_mul_pd(r, r);
    __m256d lo = _mm256_add_pd(_mm256_sub_pd(w, hi), r);
    lo = _mm256_fmadd_pd(kd, Splat(c.logLn2Lo), lo);
    const __m256d r3 = _mm256_mul_pd(r, r2);
    __m256d q2 = _mm256_fmadd_pd(r, Splat(a[4]), Splat(a[3]));
    lo = _mm256_fmadd_pd(r2, Splat(a[0]), lo);
    q2 = _mm256_fmadd_pd(r2, q2, q1);
    __m256d y = _mm256_add_pd(_mm256_fmadd_pd(r3, q2, lo), hi);
    if (LaneMask(nearOne) != 0) {
        y = _mm256_blendv_pd(y, LogNearOne4(x), _mm256_castsi256_pd(nearOne));
        const __m256i isOne = _mm256_cmpeq_epi64(ix, _mm256_set1_epi64x(0x3ff0000000000000ll));
        y = _mm256_andnot_pd(_mm256_castsi256_pd(isOne), y);
    }
    return y;
}

// ---- pow with a fixed exponent ----

TM_AVX2_INLINE __m256d Pow4(__m256d x, double yScalar, int* special) {
    const DoublePrecisionConstants& c = kDoubleConstants;
    const double* a = c.powLogPoly;
    const __m256d y = Splat(yScalar);
    const __m256i ix = _mm256_castpd_si256(x);
    const __m256i topx = _mm256_srli_epi64(ix, 52);
    const __m256i xSpecial = _mm256_or_si256(_mm256_cmpeq_epi64(topx, _mm256_setzero_si256()),
                                             _mm256_cmpgt_epi64(topx, _mm256_set1_epi64x(0x7fe)));
    // log x as hi + tail
    const __m256i tmp = _mm256_sub_epi64(ix, _mm256_set1_epi64x(0x3fe6955500000000ll));
    const __m256i i = _mm256_and_si256(_mm256_srli_epi64(tmp, 45), _mm256_set1_epi64x(127));
    const __m256i i3 = _mm256_add_epi64(_mm256_add_epi64(i, i), i);
    const __m256d kd = TopTwelveBitsSigned(tmp);
    const __m256i iz = _mm256_sub_epi64(ix, _mm256_and_si256(tmp, _mm256_set1_epi64x(static_cast<int64_t>(0xfff0000000000000ull))));
    const __m256d z = _mm256_castsi256_pd(iz);
    const __m256d invc = Gather(c.powLogTable, i3);
    const __m256d logc = Gather(c.powLogTable + 1, i3);
    const __m256d logctail = Gather(c.powLogTable + 2, i3);
    const __m256d t1 = _mm256_fmadd_pd(kd, Splat(c.powLn2Hi), logc);
    const __m256d lo1 = _mm256_fmadd_pd(kd, Splat(c.powLn2Lo), logctail);
    const __m256d r = _mm256_fmadd_pd(z, invc, Splat(-1.0));
    const __m256d ar = _mm256_mul_pd(r, Splat(a[0]));
    const __m256d q1 = _mm256_fmadd_pd(r, Splat(a[2]), Splat(a[1]));
    const __m256d q2 = _mm256_fmadd_pd(r, Splat(a[4]), Splat(a[3]));
    const __m256d t2 = _mm256_add_pd(r, t1);
    const __m256d ar2 = _mm256_mul_pd(r, ar);
    const __m256d ar3 = _mm256_mul_pd(r, ar2);
    const __m256d lo3 = _mm256_fmsub_pd(ar, r, ar2);
    const __m256d lo2 = _mm256_add_pd(_mm256_sub_pd(t1, t2), r);
    __m256d q3 = _mm256_fmadd_pd(r, Splat(a[6]), Splat(a[5]));
    const __m256d hi = _mm256_add_pd(t2, ar2);
    const __m256d lo4 = _mm256_add_pd(_mm256_sub_pd(t2, hi), ar2);
    q3 = _mm256_fmadd_pd(ar2, q3, q2);
    const __m256d q = _mm256_fmadd_pd(ar2, q3, q1);
    __m256d lo = _mm256_add_pd(lo1, lo2);
    lo = _mm256_add_pd(lo, lo3);
    lo = _mm256_add_pd(lo, lo4);
    lo = _mm256_fmadd_pd(ar3, q, lo);
    const __m256d logHi = _mm256_add_pd(hi, lo);
    const __m256d logTail = _mm256_add_pd(_mm256_sub_pd(hi, logHi), lo);
    // exp(y log x)
    const __m256d ehi = _mm256_mul_pd(y, logHi);
    const __m256d elo = _mm256_fmadd_pd(y, logTail, _mm256_fmsub_pd(logHi, y, ehi));
    const __m256i abstop = _mm256_and_si256(_mm256_srli_epi64(_mm256_castpd_si256(ehi), 52), _mm256_set1_epi64x(0x7ff));
    const __m256i expSpecial = _mm256_or_si256(_mm256_cmpgt_epi64(_mm256_set1_epi64x(0x3c9), abstop),
                                               _mm256_cmpgt_epi64(abstop, _mm256_set1_epi64x(0x407)));
    *special = LaneMask(_mm256_or_si256(xSpecial, expSpecial));
    const __m256d shift = Splat(c.expShift);
    __m256d ekd = _mm256_fmadd_pd(Splat(c.expInvLn2N), ehi, shift);
    const __m256i ki = _mm256_castpd_si256(ekd);
    ekd = _mm256_sub_pd(ekd, shift);
    __m256d er = _mm256_fmadd_pd(ekd, Splat(c.expNegLn2HiN), ehi);
    er = _mm256_fmadd_pd(ekd, Splat(c.expNegLn2LoN), er);
    er = _mm256_add_pd(elo, er);
    const __m256i idx = _mm256_slli_epi64(_mm256_and_si256(ki, _mm256_set1_epi64x(127)), 1);
    const __m256d tail = _mm256_castsi256_pd(Gather(c.expTable, idx));
    const __m256i sbits = _mm256_add_epi64(Gather(c.expTable + 1, idx), _mm256_slli_epi64(ki, 45));
    const double* p = c.expPoly;
    const __m256d low = _mm256_fmadd_pd(er, Splat(p[1]), Splat(p[0]));
    const __m256d tailPlusR = _mm256_add_pd(er, tail);
    const __m256d er2 = _mm256_mul_pd(er, er);
    const __m256d high = _mm256_fmadd_pd(er, Splat(p[3]), Splat(p[2]));
    __m256d t = _mm256_fmadd_pd(er2, low, tailPlusR);
    t = _mm256_fmadd_pd(_mm256_mul_pd(er2, er2), high, t);
    const __m256d scale = _mm256_castsi256_pd(sbits);
    return _mm256_fmadd_pd(scale, t, scale);
}

}  // namespace

// Stores four float results, the special lanes recomputed from the
// arguments by `scalar` first.
#define TM_FINISH_FLOAT_LANES(result, special, argumentsOf, scalar, out)        \
    do {                                                                        \
        if (special != 0) {                                                     \
            alignas(16) float values[4];                                        \
            _mm_store_ps(values, result);                                       \
            for (int lane = 0; lane < 4; ++lane) {                              \
                if (special & (1 << lane)) values[lane] = scalar(argumentsOf(lane)); \
            }                                                                   \
            result = _mm_load_ps(values);                                       \
        }                                                                       \
        _mm_storeu_ps(out, result);                                             \
    } while (0)

TM_AVX2 void ExpfArrayAvx2(const float* in, float* out, int64_t n) {
    int64_t i = 0;
    for (; i + 4 <= n; i += 4) {
        alignas(16) float x[4];
        _mm_store_ps(x, _mm_loadu_ps(in + i));
        int special;
        __m128 result = Expf4(_mm_load_ps(x), &special);
#define TM_ARGUMENT(lane) x[lane]
        TM_FINISH_FLOAT_LANES(result, special, TM_ARGUMENT, ExpfScalar, out + i);
    }
    for (; i < n; ++i) out[i] = ExpfScalar(in[i]);
}

TM_AVX2 void LogfArrayAvx2(const float* in, float* out, int64_t n) {
    int64_t i = 0;
    for (; i + 4 <= n; i += 4) {
        alignas(16) float x[4];
        _mm_store_ps(x, _mm_loadu_ps(in + i));
        int special;
        __m128 result = Logf4(_mm_load_ps(x), &special);
        TM_FINISH_FLOAT_LANES(result, special, TM_ARGUMENT, LogfScalar, out + i);
    }
    for (; i < n; ++i) out[i] = LogfScalar(in[i]);
}
#undef TM_ARGUMENT

TM_AVX2 void PowfArrayAvx2(const float* xs, const float* ys, float* out, int64_t n) {
    int64_t i = 0;
    for (; i + 4 <= n; i += 4) {
        alignas(16) float x[4];
        alignas(16) float y[4];
        _mm_store_ps(x, _mm_loadu_ps(xs + i));
        _mm_store_ps(y, _mm_loadu_ps(ys + i));
        int special;
        __m128 result = Powf4(_mm_load_ps(x), _mm_load_ps(y), &special);
#define TM_ARGUMENTS(lane) x[lane], y[lane]
        TM_FINISH_FLOAT_LANES(result, special, TM_ARGUMENTS, PowfScalar, out + i);
    }
    for (; i < n; ++i) out[i] = PowfScalar(xs[i], ys[i]);
}

TM_AVX2 void PowfArrayFixedExponentAvx2(const float* xs, float yScalar, float* out, int64_t n) {
    int64_t i = 0;
    alignas(16) float y[4] = {yScalar, yScalar, yScalar, yScalar};
    for (; i + 4 <= n; i += 4) {
        alignas(16) float x[4];
        _mm_store_ps(x, _mm_loadu_ps(xs + i));
        int special;
        __m128 result = Powf4(_mm_load_ps(x), _mm_load_ps(y), &special);
        TM_FINISH_FLOAT_LANES(result, special, TM_ARGUMENTS, PowfScalar, out + i);
    }
    for (; i < n; ++i) out[i] = PowfScalar(xs[i], yScalar);
}
#undef TM_ARGUMENTS

// Stores four double results, the special lanes recomputed first.
#define TM_FINISH_DOUBLE_LANES(result, special, argumentsOf, scalar, out)       \
    do {                                                                        \
        if (special != 0) {                                                     \
            alignas(32) double values[4];                                       \
            _mm256_store_pd(values, result);                                    \
            for (int lane = 0; lane < 4; ++lane) {                              \
                if (special & (1 << lane)) values[lane] = scalar(argumentsOf(lane)); \
            }                                                                   \
            result = _mm256_load_pd(values);                                    \
        }                                                                       \
        _mm256_storeu_pd(out, result);                                          \
    } while (0)

TM_AVX2 void LogArrayAvx2(const double* in, double* out, int64_t n) {
    int64_t i = 0;
    for (; i + 4 <= n; i += 4) {
        alignas(32) double x[4];
        _mm256_store_pd(x, _mm256_loadu_pd(in + i));
        int special;
        __m256d result = Log4(_mm256_load_pd(x), &special);
#define TM_ARGUMENT(lane) x[lane]
        TM_FINISH_DOUBLE_LANES(result, special, TM_ARGUMENT, LogScalar, out + i);
#undef TM_ARGUMENT
    }
    for (; i < n; ++i) out[i] = LogScalar(in[i]);
}

TM_AVX2 void PowArrayFixedExponentAvx2(const double* xs, double y, double* out, int64_t n) {
    int64_t i = 0;
    // An exponent outside the common range takes the scalar path throughout.
    const uint32_t topy = static_cast<uint32_t>(Bits(y) >> 52) & 0x7ff;
    if (topy - 0x3be < 0x43e - 0x3be) {
        for (; i + 4 <= n; i += 4) {
            alignas(32) double x[4];
            _mm256_store_pd(x, _mm256_loadu_pd(xs + i));
            int special;
            __m256d result = Pow4(_mm256_load_pd(x), y, &special);
#define TM_ARGUMENTS(lane) x[lane], y
            TM_FINISH_DOUBLE_LANES(result, special, TM_ARGUMENTS, PowScalar, out + i);
#undef TM_ARGUMENTS
        }
    }
    for (; i < n; ++i) out[i] = PowScalar(xs[i], y);
}
