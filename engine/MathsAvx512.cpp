// AVX-512 forms of the engine's powf, log and pow: eight lanes of double
// precision, powf's small tables held in registers. Each lane follows the scalar kernel's
// steps with the same roundings and fused multiply-adds; lanes that leave
// the common path are recomputed by the scalar kernel.
// GCC 12's AVX-512 headers start some conversions from an undefined
// register, which its own uninitialised-use warning then reports.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

#include <immintrin.h>

#include "LibmConstants.h"
#include "MathsAvx2.h"
#include "MathsKernels.h"

#define TM_AVX512 __attribute__((target("avx512f,avx512vl,avx2,fma")))
#define TM_AVX512_INLINE static inline __attribute__((always_inline, target("avx512f,avx512vl,avx2,fma")))

namespace {

using namespace maths_kernels;

TM_AVX512 float PowfScalar(float x, float y) { return PowfKernel(x, y); }
TM_AVX512 double LogScalar(double x) { return LogKernel(x); }
TM_AVX512 double PowScalar(double x, double y) { return PowKernel(x, y); }

TM_AVX512_INLINE __m512d Splat(double v) { return _mm512_set1_pd(v); }

// The 16-entry table (interleaved pairs) split into its two columns.
struct PairTable {
    __m512d firstLow, firstHigh, secondLow, secondHigh;
};

TM_AVX512_INLINE PairTable LoadPairTable(const double* table) {
    const __m512i evens = _mm512_setr_epi64(0, 2, 4, 6, 8, 10, 12, 14);
    const __m512i odds = _mm512_setr_epi64(1, 3, 5, 7, 9, 11, 13, 15);
    const __m512d a = _mm512_loadu_pd(table);
    const __m512d b = _mm512_loadu_pd(table + 8);
    const __m512d c = _mm512_loadu_pd(table + 16);
    const __m512d d = _mm512_loadu_pd(table + 24);
    return {_mm512_permutex2var_pd(a, evens, b), _mm512_permutex2var_pd(c, evens, d),
            _mm512_permutex2var_pd(a, odds, b), _mm512_permutex2var_pd(c, odds, d)};
}

// Entry i (0..15) of a column held in two registers.
TM_AVX512_INLINE __m512d Lookup16(__m512d low, __m512d high, __m512i i) { return _mm512_permutex2var_pd(low, i, high); }

// Eight floats' powf; *special has a bit per lane for the scalar kernel.
TM_AVX512_INLINE __m256 Powf8(__m256 x, __m256 y, const PairTable& log2Table, const __m512i* exp2Table,
                              int* special) {
    const SinglePrecisionConstants& c = kSingleConstants;
    const double* a = c.powfLogPoly;
    const __m256i ix = _mm256_castps_si256(x);
    const __m256i iy = _mm256_castps_si256(y);
    const __mmask8 xSpecial =
        _mm256_cmpge_epu32_mask(_mm256_sub_epi32(ix, _mm256_set1_epi32(0x00800000)), _mm256_set1_epi32(0x7f000000));
    const __mmask8 ySpecial = _mm256_cmpge_epu32_mask(_mm256_sub_epi32(_mm256_add_epi32(iy, iy), _mm256_set1_epi32(1)),
                                                      _mm256_set1_epi32(static_cast<int32_t>(2u * 0x7f800000u - 1)));
    const __m256i tmp = _mm256_sub_epi32(ix, _mm256_set1_epi32(0x3f330000));
    const __m512i i = _mm512_cvtepu32_epi64(_mm256_and_si256(_mm256_srli_epi32(tmp, 19), _mm256_set1_epi32(15)));
    const __m256i top = _mm256_and_si256(tmp, _mm256_set1_epi32(static_cast<int32_t>(0xff800000u)));
    const __m256i iz = _mm256_sub_epi32(ix, top);
    const __m256i k = _mm256_srai_epi32(top, 23);
    const __m512d invc = Lookup16(log2Table.firstLow, log2Table.firstHigh, i);
    const __m512d logc = Lookup16(log2Table.secondLow, log2Table.secondHigh, i);
    const __m512d z = _mm512_cvtps_pd(_mm256_castsi256_ps(iz));
    const __m512d r = _mm512_fmadd_pd(z, invc, Splat(-1.0));
    const __m512d y0 = _mm512_add_pd(_mm512_cvtepi32_pd(k), logc);
    __m512d l = _mm512_fmadd_pd(r, Splat(a[0]), Splat(a[1]));
    const __m512d p = _mm512_fmadd_pd(r, Splat(a[2]), Splat(a[3]));
    const __m512d r2 = _mm512_mul_pd(r, r);
    __m512d q = _mm512_fmadd_pd(r, Splat(a[4]), y0);
    const __m512d r4 = _mm512_mul_pd(r2, r2);
    q = _mm512_fmadd_pd(r2, p, q);
    l = _mm512_fmadd_pd(l, r4, q);
    const __m512d ylogx = _mm512_mul_pd(_mm512_cvtps_pd(y), l);
    const __m512i rangeBits =
        _mm512_and_si512(_mm512_srli_epi64(_mm512_castpd_si512(ylogx), 47), _mm512_set1_epi64(0xffff));
    const __mmask8 outOfRange =
        _mm512_cmpge_epu64_mask(rangeBits, _mm512_set1_epi64(static_cast<int64_t>(Bits(126.0) >> 47)));
    *special = static_cast<int>(xSpecial | ySpecial | outOfRange);
    const __m512d shift = Splat(c.exp2Shift);
    __m512d kd = _mm512_add_pd(ylogx, shift);
    const __m512i ki = _mm512_castpd_si512(kd);
    kd = _mm512_sub_pd(kd, shift);
    const __m512d e = _mm512_sub_pd(ylogx, kd);
    const __m512i index = _mm512_and_si512(ki, _mm512_set1_epi64(31));
    // Entries 0..15 from the first pair of registers, 16..31 from the second.
    const __m512i low = _mm512_permutex2var_epi64(exp2Table[0], index, exp2Table[1]);
    const __m512i high = _mm512_permutex2var_epi64(exp2Table[2], index, exp2Table[3]);
    const __mmask8 upper = _mm512_test_epi64_mask(index, _mm512_set1_epi64(16));
    const __m512i entry = _mm512_mask_blend_epi64(upper, low, high);
    const __m512i bits = _mm512_add_epi64(entry, _mm512_slli_epi64(ki, 47));
    const __m512d ez = _mm512_fmadd_pd(e, Splat(c.exp2Poly[0]), Splat(c.exp2Poly[1]));
    const __m512d e2 = _mm512_mul_pd(e, e);
    __m512d result = _mm512_fmadd_pd(e, Splat(c.exp2Poly[2]), Splat(1.0));
    result = _mm512_fmadd_pd(ez, e2, result);
    result = _mm512_mul_pd(result, _mm512_castsi512_pd(bits));
    return _mm512_cvtpd_ps(result);
}

// The arithmetic shift right by 52 of eight 64-bit lanes, as doubles.
TM_AVX512_INLINE __m512d TopTwelveBitsSigned(__m512i v) {
    return _mm512_cvtepi32_pd(_mm512_cvtepi64_epi32(_mm512_srai_epi64(v, 52)));
}

TM_AVX512_INLINE __m512d Gather(const double* base, __m512i index) { return _mm512_i64gather_pd(index, base, 8); }
TM_AVX512_INLINE __m512i Gather(const uint64_t* base, __m512i index) {
    return _mm512_i64gather_epi64(index, reinterpret_cast<const long long*>(base), 8);
}

TM_AVX512_INLINE __m512d LogNearOne8(__m512d x) {
    const double* b = kDoubleConstants.logPolyNearOne;
    const __m512d r = _mm512_sub_pd(x, Splat(1.0));
    __m512d p1 = _mm512_fmadd_pd(r, Splat(b[2]), Splat(b[1]));
    __m512d p2 = _mm512_fmadd_pd(r, Splat(b[5]), Splat(b[4]));
    __m512d p3 = _mm512_fmadd_pd(r, Splat(b[8]), Splat(b[7]));
    const __m512d r2 = _mm512_mul_pd(r, r);
    p1 = _mm512_fmadd_pd(r2, Splat(b[3]), p1);
    p2 = _mm512_fmadd_pd(r2, Splat(b[6]), p2);
    const __m512d r3 = _mm512_mul_pd(r, r2);
    p3 = _mm512_fmadd_pd(r2, Splat(b[9]), p3);
    p3 = _mm512_fmadd_pd(r3, Splat(b[10]), p3);
    p2 = _mm512_fmadd_pd(p3, r3, p2);
    const __m512d poly = _mm512_fmadd_pd(p2, r3, p1);
    const __m512d shifted = _mm512_fmadd_pd(r, Splat(0x1p27), r);
    const __m512d rhi = _mm512_fnmadd_pd(Splat(0x1p27), r, shifted);
    const __m512d rhi2 = _mm512_mul_pd(rhi, rhi);
    const __m512d rlo = _mm512_sub_pd(r, rhi);
    const __m512d hi = _mm512_fmadd_pd(rhi2, Splat(b[0]), r);
    const __m512d rMinusHi = _mm512_sub_pd(r, hi);
    const __m512d rPlusRhi = _mm512_add_pd(r, rhi);
    __m512d lo = _mm512_fmadd_pd(rhi2, Splat(b[0]), rMinusHi);
    lo = _mm512_fmadd_pd(_mm512_mul_pd(Splat(b[0]), rlo), rPlusRhi, lo);
    return _mm512_add_pd(hi, _mm512_fmadd_pd(poly, r3, lo));
}

TM_AVX512_INLINE __m512d Log8(__m512d x, int* special) {
    const DoublePrecisionConstants& c = kDoubleConstants;
    const double* a = c.logPoly;
    const __m512i ix = _mm512_castpd_si512(x);
    const __m512i top = _mm512_srli_epi64(ix, 48);
    const __mmask8 nearOne = _mm512_cmplt_epu64_mask(_mm512_sub_epi64(ix, _mm512_set1_epi64(0x3fee000000000000ll)),
                                                     _mm512_set1_epi64(0x0003090000000000ll));
    const __mmask8 outside = _mm512_cmplt_epu64_mask(top, _mm512_set1_epi64(0x10)) |
                             _mm512_cmpgt_epu64_mask(top, _mm512_set1_epi64(0x7fef));
    *special = static_cast<int>(outside);
    const __m512i tmp = _mm512_sub_epi64(ix, _mm512_set1_epi64(0x3fe6000000000000ll));
    const __m512i i2 = _mm512_slli_epi64(_mm512_and_si512(_mm512_srli_epi64(tmp, 45), _mm512_set1_epi64(127)), 1);
    const __m512d kd = TopTwelveBitsSigned(tmp);
    const __m512i iz =
        _mm512_sub_epi64(ix, _mm512_and_si512(tmp, _mm512_set1_epi64(static_cast<int64_t>(0xfff0000000000000ull))));
    const __m512d invc = Gather(c.logTable, i2);
    const __m512d logc = Gather(c.logTable + 1, i2);
    const __m512d z = _mm512_castsi512_pd(iz);
    const __m512d w = _mm512_fmadd_pd(kd, Splat(c.logLn2Hi), logc);
    const __m512d r = _mm512_fmadd_pd(z, invc, Splat(-1.0));
    const __m512d q1 = _mm512_fmadd_pd(r, Splat(a[2]), Splat(a[1]));
    const __m512d hi = _mm512_add_pd(r, w);
    const __m512d r2 = _mm512_mul_pd(r, r);
    __m512d lo = _mm512_add_pd(_mm512_sub_pd(w, hi), r);
    lo = _mm512_fmadd_pd(kd, Splat(c.logLn2Lo), lo);
    const __m512d r3 = _mm512_mul_pd(r, r2);
    __m512d q2 = _mm512_fmadd_pd(r, Splat(a[4]), Splat(a[3]));
    lo = _mm512_fmadd_pd(r2, Splat(a[0]), lo);
    q2 = _mm512_fmadd_pd(r2, q2, q1);
    __m512d y = _mm512_add_pd(_mm512_fmadd_pd(r3, q2, lo), hi);
    if (nearOne != 0) {
        y = _mm512_mask_blend_pd(nearOne, y, LogNearOne8(x));
        const __mmask8 isOne = _mm512_cmpeq_epi64_mask(ix, _mm512_set1_epi64(0x3ff0000000000000ll));
        y = _mm512_mask_blend_pd(isOne, y, _mm512_setzero_pd());
    }
    return y;
}

TM_AVX512_INLINE __m512d Pow8(__m512d x, double yScalar, int* special) {
    const DoublePrecisionConstants& c = kDoubleConstants;
    const double* a = c.powLogPoly;
    const __m512d y = Splat(yScalar);
    const __m512i ix = _mm512_castpd_si512(x);
    const __m512i topx = _mm512_srli_epi64(ix, 52);
    const __mmask8 xSpecial = _mm512_cmpeq_epi64_mask(topx, _mm512_setzero_si512()) |
                              _mm512_cmpgt_epu64_mask(topx, _mm512_set1_epi64(0x7fe));
    const __m512i tmp = _mm512_sub_epi64(ix, _mm512_set1_epi64(0x3fe6955500000000ll));
    const __m512i i = _mm512_and_si512(_mm512_srli_epi64(tmp, 45), _mm512_set1_epi64(127));
    const __m512i i3 = _mm512_add_epi64(_mm512_add_epi64(i, i), i);
    const __m512d kd = TopTwelveBitsSigned(tmp);
    const __m512i iz =
        _mm512_sub_epi64(ix, _mm512_and_si512(tmp, _mm512_set1_epi64(static_cast<int64_t>(0xfff0000000000000ull))));
    const __m512d z = _mm512_castsi512_pd(iz);
    const __m512d invc = Gather(c.powLogTable, i3);
    const __m512d logc = Gather(c.powLogTable + 1, i3);
    const __m512d logctail = Gather(c.powLogTable + 2, i3);
    const __m512d t1 = _mm512_fmadd_pd(kd, Splat(c.powLn2Hi), logc);
    const __m512d lo1 = _mm512_fmadd_pd(kd, Splat(c.powLn2Lo), logctail);
    const __m512d r = _mm512_fmadd_pd(z, invc, Splat(-1.0));
    const __m512d ar = _mm512_mul_pd(r, Splat(a[0]));
    const __m512d q1 = _mm512_fmadd_pd(r, Splat(a[2]), Splat(a[1]));
    const __m512d q2 = _mm512_fmadd_pd(r, Splat(a[4]), Splat(a[3]));
    const __m512d t2 = _mm512_add_pd(r, t1);
    const __m512d ar2 = _mm512_mul_pd(r, ar);
    const __m512d ar3 = _mm512_mul_pd(r, ar2);
    const __m512d lo3 = _mm512_fmsub_pd(ar, r, ar2);
    const __m512d lo2 = _mm512_add_pd(_mm512_sub_pd(t1, t2), r);
    __m512d q3 = _mm512_fmadd_pd(r, Splat(a[6]), Splat(a[5]));
    const __m512d hi = _mm512_add_pd(t2, ar2);
    const __m512d lo4 = _mm512_add_pd(_mm512_sub_pd(t2, hi), ar2);
    q3 = _mm512_fmadd_pd(ar2, q3, q2);
    const __m512d q = _mm512_fmadd_pd(ar2, q3, q1);
    __m512d lo = _mm512_add_pd(lo1, lo2);
    lo = _mm512_add_pd(lo, lo3);
    lo = _mm512_add_pd(lo, lo4);
    lo = _mm512_fmadd_pd(ar3, q, lo);
    const __m512d logHi = _mm512_add_pd(hi, lo);
    const __m512d logTail = _mm512_add_pd(_mm512_sub_pd(hi, logHi), lo);
    const __m512d ehi = _mm512_mul_pd(y, logHi);
    const __m512d elo = _mm512_fmadd_pd(y, logTail, _mm512_fmsub_pd(logHi, y, ehi));
    const __m512i abstop =
        _mm512_and_si512(_mm512_srli_epi64(_mm512_castpd_si512(ehi), 52), _mm512_set1_epi64(0x7ff));
    const __mmask8 expSpecial = _mm512_cmplt_epu64_mask(abstop, _mm512_set1_epi64(0x3c9)) |
                                _mm512_cmpgt_epu64_mask(abstop, _mm512_set1_epi64(0x407));
    *special = static_cast<int>(xSpecial | expSpecial);
    const __m512d shift = Splat(c.expShift);
    __m512d ekd = _mm512_fmadd_pd(Splat(c.expInvLn2N), ehi, shift);
    const __m512i ki = _mm512_castpd_si512(ekd);
    ekd = _mm512_sub_pd(ekd, shift);
    __m512d er = _mm512_fmadd_pd(ekd, Splat(c.expNegLn2HiN), ehi);
    er = _mm512_fmadd_pd(ekd, Splat(c.expNegLn2LoN), er);
    er = _mm512_add_pd(elo, er);
    const __m512i idx = _mm512_slli_epi64(_mm512_and_si512(ki, _mm512_set1_epi64(127)), 1);
    const __m512d tail = _mm512_castsi512_pd(Gather(c.expTable, idx));
    const __m512i sbits = _mm512_add_epi64(Gather(c.expTable + 1, idx), _mm512_slli_epi64(ki, 45));
    const double* p = c.expPoly;
    const __m512d low = _mm512_fmadd_pd(er, Splat(p[1]), Splat(p[0]));
    const __m512d tailPlusR = _mm512_add_pd(er, tail);
    const __m512d er2 = _mm512_mul_pd(er, er);
    const __m512d high = _mm512_fmadd_pd(er, Splat(p[3]), Splat(p[2]));
    __m512d t = _mm512_fmadd_pd(er2, low, tailPlusR);
    t = _mm512_fmadd_pd(_mm512_mul_pd(er2, er2), high, t);
    const __m512d scale = _mm512_castsi512_pd(sbits);
    return _mm512_fmadd_pd(scale, t, scale);
}

// powf of n pairs, the exponent advancing by yStep (0: one exponent).
TM_AVX512 void PowfLoop(const float* xs, const float* ys, int64_t yStep, float* out, int64_t n) {
    const PairTable log2Table = LoadPairTable(kSingleConstants.powfLogTable);
    const uint64_t* t = kSingleConstants.exp2Table;
    const __m512i exp2Table[4] = {_mm512_loadu_si512(t), _mm512_loadu_si512(t + 8), _mm512_loadu_si512(t + 16),
                                  _mm512_loadu_si512(t + 24)};
    int64_t i = 0;
    for (; i + 8 <= n; i += 8) {
        alignas(32) float x[8];
        alignas(32) float y[8];
        _mm256_store_ps(x, _mm256_loadu_ps(xs + i));
        _mm256_store_ps(y, yStep != 0 ? _mm256_loadu_ps(ys + i) : _mm256_set1_ps(*ys));
        int special;
        __m256 result = Powf8(_mm256_load_ps(x), _mm256_load_ps(y), log2Table, exp2Table, &special);
        if (special != 0) {
            alignas(32) float values[8];
            _mm256_store_ps(values, result);
            for (int lane = 0; lane < 8; ++lane) {
                if (special & (1 << lane)) values[lane] = PowfScalar(x[lane], y[lane]);
            }
            result = _mm256_load_ps(values);
        }
        _mm256_storeu_ps(out + i, result);
    }
    for (; i < n; ++i) out[i] = PowfScalar(xs[i], ys[yStep * i]);
}

}  // namespace

TM_AVX512 void PowfArrayAvx512(const float* x, const float* y, float* out, int64_t n) { PowfLoop(x, y, 1, out, n); }

TM_AVX512 void PowfArrayFixedExponentAvx512(const float* x, float y, float* out, int64_t n) {
    PowfLoop(x, &y, 0, out, n);
}

TM_AVX512 void LogArrayAvx512(const double* in, double* out, int64_t n) {
    int64_t i = 0;
    for (; i + 8 <= n; i += 8) {
        alignas(64) double x[8];
        _mm512_store_pd(x, _mm512_loadu_pd(in + i));
        int special;
        __m512d result = Log8(_mm512_load_pd(x), &special);
        if (special != 0) {
            alignas(64) double values[8];
            _mm512_store_pd(values, result);
            for (int lane = 0; lane < 8; ++lane) {
                if (special & (1 << lane)) values[lane] = LogScalar(x[lane]);
            }
            result = _mm512_load_pd(values);
        }
        _mm512_storeu_pd(out + i, result);
    }
    for (; i < n; ++i) out[i] = LogScalar(in[i]);
}

TM_AVX512 void PowArrayFixedExponentAvx512(const double* xs, double y, double* out, int64_t n) {
    int64_t i = 0;
    // An exponent outside the common range takes the scalar path throughout.
    const uint32_t topy = static_cast<uint32_t>(Bits(y) >> 52) & 0x7ff;
    if (topy - 0x3be < 0x43e - 0x3be) {
        for (; i + 8 <= n; i += 8) {
            alignas(64) double x[8];
            _mm512_store_pd(x, _mm512_loadu_pd(xs + i));
            int special;
            __m512d result = Pow8(_mm512_load_pd(x), y, &special);
            if (special != 0) {
                alignas(64) double values[8];
                _mm512_store_pd(values, result);
                for (int lane = 0; lane < 8; ++lane) {
                    if (special & (1 << lane)) values[lane] = PowScalar(x[lane], y);
                }
                result = _mm512_load_pd(values);
            }
            _mm512_storeu_pd(out + i, result);
        }
    }
    for (; i < n; ++i) out[i] = PowScalar(xs[i], y);
}
