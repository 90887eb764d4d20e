// One-value kernels of the engine's maths functions (EngineMaths.h),
// inlined into a variant compiled for fused multiply-add instructions and
// into a portable one (MathsPortable.cpp, with TM_SOFTWARE_FMA defined). Each follows the C library's algorithm step by step;
// Fused(a, b, c) marks every multiply-add that its FMA build fuses, every
// other operation is rounded on its own (the engine builds with
// -ffp-contract=off). Internal to the engine.
#pragma once

#include <cstdint>
#include <cstring>

#include "LibmConstants.h"
#include "SoftwareFma.h"

#define TM_KERNEL static inline __attribute__((always_inline))

namespace maths_kernels {

TM_KERNEL uint32_t Bits(float x) {
    uint32_t u;
    std::memcpy(&u, &x, sizeof u);
    return u;
}
TM_KERNEL uint64_t Bits(double x) {
    uint64_t u;
    std::memcpy(&u, &x, sizeof u);
    return u;
}
TM_KERNEL float FloatOf(uint32_t u) {
    float x;
    std::memcpy(&x, &u, sizeof x);
    return x;
}
TM_KERNEL double DoubleOf(uint64_t u) {
    double x;
    std::memcpy(&x, &u, sizeof x);
    return x;
}

// a x b + c rounded once: by the processor's instruction, or in software
// where the including file asks for that.
#ifdef TM_SOFTWARE_FMA
TM_KERNEL double Fused(double a, double b, double c) { return SoftwareFma(a, b, c); }
#else
TM_KERNEL double Fused(double a, double b, double c) { return __builtin_fma(a, b, c); }
#endif

// x + y where one of them is a NaN: the C library's addition returns the
// first operand's NaN, quietened, when it is one, the second's otherwise.
// Written out because a compiler may swap the operands of an addition.
TM_KERNEL float NanSumF(float x, float y) {
    const uint32_t ix = Bits(x);
    if ((ix & 0x7fffffffu) > 0x7f800000u) return FloatOf(ix | 0x00400000u);
    const uint32_t iy = Bits(y);
    if ((iy & 0x7fffffffu) > 0x7f800000u) return FloatOf(iy | 0x00400000u);
    return x + y;
}
TM_KERNEL double NanSum(double x, double y) {
    const uint64_t ix = Bits(x);
    if ((ix & 0x7fffffffffffffffull) > 0x7ff0000000000000ull) return DoubleOf(ix | 0x0008000000000000ull);
    const uint64_t iy = Bits(y);
    if ((iy & 0x7fffffffffffffffull) > 0x7ff0000000000000ull) return DoubleOf(iy | 0x0008000000000000ull);
    return x + y;
}

// The results of the C library's error paths, formed the same way so that
// they carry the same bits (and raise the same flags).
TM_KERNEL float InvalidF(float x) {
    const float d = x - x;
    return d / d;
}
TM_KERNEL double Invalid(double x) {
    const double d = x - x;
    return d / d;
}
// Tiny or huge y, squared, with the sign that `negative` asks for.
TM_KERNEL float ScaledSquareF(bool negative, float y) { return (negative ? -y : y) * y; }
TM_KERNEL double ScaledSquare(bool negative, double y) { return (negative ? -y : y) * y; }

// ---- expf ----

TM_KERNEL float ExpfKernel(float x) {
    const SinglePrecisionConstants& c = kSingleConstants;
    const uint32_t abstop = (Bits(x) >> 20) & 0x7ff;
    if (abstop >= 0x42b) {  // |x| >= 88 or NaN
        if (Bits(x) == 0xff800000u) return 0.0f;
        if (abstop >= 0x7f8) return x + x;
        if (x > 0x1.62e42ep6f) return ScaledSquareF(false, 0x1p97f);
        if (x < -0x1.9fe368p6f) return ScaledSquareF(false, 0x1p-95f);
        if (x < -0x1.9d1d9ep6f) return ScaledSquareF(false, 0x1.4p-75f);
    }
    const double xd = x;
    double kd = Fused(c.expInvLn2, xd, c.expShift);
    const uint64_t ki = Bits(kd);
    kd -= c.expShift;
    const double r = Fused(c.expInvLn2, xd, -kd);
    const double s = DoubleOf(c.exp2Table[ki % 32] + (ki << 47));
    const double z = Fused(r, c.expPoly[0], c.expPoly[1]);
    const double r2 = r * r;
    double y = Fused(r, c.expPoly[2], 1.0);
    y = Fused(z, r2, y);
    return static_cast<float>(y * s);
}

// ---- logf ----

TM_KERNEL float LogfKernel(float x) {
    const SinglePrecisionConstants& c = kSingleConstants;
    uint32_t ix = Bits(x);
    if (ix == 0x3f800000u) return 0.0f;
    if (ix - 0x00800000u >= 0x7f800000u - 0x00800000u) {
        if (ix * 2 == 0) return -1.0f / 0.0f;
        if (ix == 0x7f800000u) return x;
        if ((ix & 0x80000000u) || ix * 2 >= 0xff000000u) return InvalidF(x);
        ix = Bits(x * 0x1p23f) - (23u << 23);  // subnormal: normalise
    }
    const uint32_t tmp = ix - 0x3f330000u;
    const uint32_t i = (tmp >> 19) % 16;
    const int32_t k = static_cast<int32_t>(tmp) >> 23;
    const uint32_t iz = ix - (tmp & 0xff800000u);
    const double invc = c.logfTable[2 * i];
    const double logc = c.logfTable[2 * i + 1];
    const double z = FloatOf(iz);
    const double y0 = Fused(static_cast<double>(k), c.logfLn2, logc);
    const double r = Fused(z, invc, -1.0);
    double y = Fused(r, c.logfPoly[1], c.logfPoly[2]);
    const double r2 = r * r;
    const double rPlusY0 = r + y0;
    y = Fused(r2, c.logfPoly[0], y);
    y = Fused(r2, y, rPlusY0);
    return static_cast<float>(y);
}

// ---- powf ----

constexpr uint32_t kPowfSignBias = 1u << 16;

// log2 of the normalised positive x whose bits are ix, in double.
TM_KERNEL double PowfLog2(uint32_t ix) {
    const SinglePrecisionConstants& c = kSingleConstants;
    const double* a = c.powfLogPoly;
    const uint32_t tmp = ix - 0x3f330000u;
    const uint32_t i = (tmp >> 19) % 16;
    const uint32_t top = tmp & 0xff800000u;
    const uint32_t iz = ix - top;
    const int32_t k = static_cast<int32_t>(top) >> 23;
    const double invc = c.powfLogTable[2 * i];
    const double logc = c.powfLogTable[2 * i + 1];
    const double z = FloatOf(iz);
    const double r = Fused(z, invc, -1.0);
    const double y0 = static_cast<double>(k) + logc;
    double y = Fused(r, a[0], a[1]);
    const double p = Fused(r, a[2], a[3]);
    const double r2 = r * r;
    double q = Fused(r, a[4], y0);
    const double r4 = r2 * r2;
    q = Fused(r2, p, q);
    y = Fused(y, r4, q);
    return y;
}

// 2^xd with the sign bias folded into the exponent, in double.
TM_KERNEL double PowfExp2(double xd, uint32_t signBias) {
    const SinglePrecisionConstants& c = kSingleConstants;
    double kd = xd + c.exp2Shift;
    const uint64_t ki = Bits(kd);
    kd -= c.exp2Shift;
    const double r = xd - kd;
    const double s = DoubleOf(c.exp2Table[ki % 32] + ((ki + signBias) << 47));
    const double z = Fused(r, c.exp2Poly[0], c.exp2Poly[1]);
    const double r2 = r * r;
    double y = Fused(r, c.exp2Poly[2], 1.0);
    y = Fused(z, r2, y);
    return y * s;
}

// 0: not an integer, 1: odd integer, 2: even integer (iy finite, non-zero).
TM_KERNEL int IntegerKindF(uint32_t iy) {
    const int e = (iy >> 23) & 0xff;
    if (e < 0x7f) return 0;
    if (e > 0x7f + 23) return 2;
    if (iy & ((1u << (0x7f + 23 - e)) - 1)) return 0;
    if (iy & (1u << (0x7f + 23 - e))) return 1;
    return 2;
}

TM_KERNEL bool ZeroInfNanF(uint32_t i) { return 2 * i - 1 >= 2u * 0x7f800000u - 1; }

TM_KERNEL bool SignallingF(uint32_t i) { return ((i ^ 0x00400000u) << 1) > (0x7fc00000u << 1); }

// powf for the arguments the fast path does not take: zeros, infinities,
// NaNs, negative and subnormal x. Returns true with the result in *out, or
// false with *ix and *signBias set for the main path.
TM_KERNEL bool PowfSpecial(float x, float y, uint32_t* ixOut, uint32_t* signBias, float* out) {
    uint32_t ix = Bits(x);
    const uint32_t iy = Bits(y);
    if (ZeroInfNanF(iy)) {
        if (2 * iy == 0) {
            *out = SignallingF(ix) ? NanSumF(x, y) : 1.0f;
        } else if (ix == 0x3f800000u) {
            *out = SignallingF(iy) ? NanSumF(x, y) : 1.0f;
        } else if (2 * ix > 2u * 0x7f800000u || 2 * iy > 2u * 0x7f800000u) {
            *out = NanSumF(x, y);
        } else if (2 * ix == 2u * 0x3f800000u) {
            *out = 1.0f;
        } else if ((2 * ix < 2u * 0x3f800000u) == !(iy & 0x80000000u)) {
            *out = 0.0f;
        } else {
            *out = y * y;
        }
        return true;
    }
    if (ZeroInfNanF(ix)) {
        float x2 = x * x;
        if ((ix & 0x80000000u) && IntegerKindF(iy) == 1) x2 = -x2;
        *out = (iy & 0x80000000u) ? 1 / x2 : x2;
        return true;
    }
    if (ix & 0x80000000u) {
        const int kind = IntegerKindF(iy);
        if (kind == 0) {
            *out = InvalidF(x);
            return true;
        }
        if (kind == 1) *signBias = kPowfSignBias;
        ix &= 0x7fffffffu;
    }
    if (ix < 0x00800000u) {
        ix = Bits(x * 0x1p23f) & 0x7fffffffu;
        ix -= 23u << 23;
    }
    *ixOut = ix;
    return false;
}

// The result of a |y log2 x| of at least 126 that is out of range, or false.
TM_KERNEL bool PowfOutOfRange(double ylogx, uint32_t signBias, float* out) {
    if (ylogx > 0x1.fffffffd1d571p+6) {
        *out = ScaledSquareF(signBias != 0, 0x1p97f);
        return true;
    }
    if (ylogx <= -150.0) {
        *out = ScaledSquareF(signBias != 0, 0x1p-95f);
        return true;
    }
    if (ylogx < -149.0) {
        *out = ScaledSquareF(signBias != 0, 0x1.4p-75f);
        return true;
    }
    return false;
}

TM_KERNEL bool PowfNeedsRangeCheck(double ylogx) {
    return ((Bits(ylogx) >> 47) & 0xffff) >= (Bits(126.0) >> 47);
}

TM_KERNEL float PowfKernel(float x, float y) {
    uint32_t signBias = 0;
    uint32_t ix = Bits(x);
    if (ix - 0x00800000u >= 0x7f800000u - 0x00800000u || ZeroInfNanF(Bits(y))) {
        float special;
        if (PowfSpecial(x, y, &ix, &signBias, &special)) return special;
    }
    const double ylogx = static_cast<double>(y) * PowfLog2(ix);
    if (PowfNeedsRangeCheck(ylogx)) {
        float special;
        if (PowfOutOfRange(ylogx, signBias, &special)) return special;
    }
    return static_cast<float>(PowfExp2(ylogx, signBias));
}

// ---- exp ----

// scale x (1 + tmp) where scale's exponent may have left the double range.
TM_KERNEL double ExpBeyondRange(double tmp, uint64_t sbits, uint64_t ki, bool signedScale) {
    if ((ki & 0x80000000u) == 0) {
        const double scale = DoubleOf(sbits - (1009ull << 52));
        return Fused(scale, tmp, scale) * 0x1p1009;
    }
    sbits += 1022ull << 52;
    const double scale = DoubleOf(sbits);
    const double product = scale * tmp;
    double y = scale + product;
    const double magnitude = signedScale ? __builtin_fabs(y) : y;
    if (magnitude < 1.0) {
        // Rounded to the final precision before the scaling into the
        // subnormal range, against double rounding.
        const double one = signedScale && y < 0.0 ? -1.0 : 1.0;
        double lo = scale - y + product;
        const double hi = one + y;
        lo = one - hi + y + lo;
        y = (hi + lo) - one;
        if (y == 0.0) y = signedScale ? DoubleOf(sbits & 0x8000000000000000ull) : 0.0;
    }
    return 0x1p-1022 * y;
}

// exp(x + xtail) x (-1 if signBias); the shared second half of exp and pow.
// `signedScale` selects pow's handling of the subnormal range.
TM_KERNEL double ExpCore(double x, double xtail, uint64_t signBias, bool signedScale) {
    const DoublePrecisionConstants& c = kDoubleConstants;
    uint32_t abstop = (Bits(x) >> 52) & 0x7ff;
    if (abstop - 0x3c9 >= 0x3f) {
        if (static_cast<int32_t>(abstop - 0x3c9) < 0) {
            const double one = 1.0 + x;  // tiny x
            return signBias ? -one : one;
        }
        if (abstop >= 0x409) {
            if (Bits(x) >> 63) return ScaledSquare(signBias != 0, 0x1p-767);
            return ScaledSquare(signBias != 0, 0x1p769);
        }
        abstop = 0;  // large x: handled after the common steps
    }
    double kd = Fused(c.expInvLn2N, x, c.expShift);
    const uint64_t ki = Bits(kd);
    kd -= c.expShift;
    double r = Fused(kd, c.expNegLn2HiN, x);
    r = Fused(kd, c.expNegLn2LoN, r);
    r = xtail + r;
    const uint64_t idx = 2 * (ki % 128);
    const uint64_t top = (ki + signBias) << 45;
    const double tail = DoubleOf(c.expTable[idx]);
    const uint64_t sbits = c.expTable[idx + 1] + top;
    const double* p = c.expPoly;
    const double low = Fused(r, p[1], p[0]);
    const double tailPlusR = r + tail;
    const double r2 = r * r;
    const double high = Fused(r, p[3], p[2]);
    double tmp = Fused(r2, low, tailPlusR);
    tmp = Fused(r2 * r2, high, tmp);
    if (abstop == 0) return ExpBeyondRange(tmp, sbits, ki, signedScale);
    const double scale = DoubleOf(sbits);
    return Fused(scale, tmp, scale);
}

TM_KERNEL double ExpKernel(double x) {
    if (((Bits(x) >> 52) & 0x7ff) == 0x7ff) return Bits(x) == 0xfff0000000000000ull ? 0.0 : 1.0 + x;
    // Without a tail: adding -0 leaves r as it is, -0 included.
    return ExpCore(x, -0.0, 0, false);
}

// ---- log ----

TM_KERNEL double LogNearOne(double x) {
    const double* b = kDoubleConstants.logPolyNearOne;
    const double r = x - 1.0;
    double p1 = Fused(r, b[2], b[1]);
    double p2 = Fused(r, b[5], b[4]);
    double p3 = Fused(r, b[8], b[7]);
    const double r2 = r * r;
    p1 = Fused(r2, b[3], p1);
    p2 = Fused(r2, b[6], p2);
    const double r3 = r * r2;
    p3 = Fused(r2, b[9], p3);
    p3 = Fused(r3, b[10], p3);
    p2 = Fused(p3, r3, p2);
    const double poly = Fused(p2, r3, p1);
    // r split into a 26-bit head and its tail, so that head^2 is exact.
    const double shifted = Fused(r, 0x1p27, r);
    const double rhi = Fused(-0x1p27, r, shifted);
    const double rhi2 = rhi * rhi;
    const double rlo = r - rhi;
    const double hi = Fused(rhi2, b[0], r);
    const double rMinusHi = r - hi;
    const double rPlusRhi = r + rhi;
    double lo = Fused(rhi2, b[0], rMinusHi);
    lo = Fused(b[0] * rlo, rPlusRhi, lo);
    const double y = Fused(poly, r3, lo);
    return hi + y;
}

TM_KERNEL double LogKernel(double x) {
    const DoublePrecisionConstants& c = kDoubleConstants;
    uint64_t ix = Bits(x);
    if (ix - 0x3fee000000000000ull < 0x3ff1090000000000ull - 0x3fee000000000000ull) {
        if (ix == 0x3ff0000000000000ull) return 0.0;
        return LogNearOne(x);
    }
    const uint32_t top = static_cast<uint32_t>(ix >> 48);
    if (top - 0x0010 >= 0x7ff0 - 0x0010) {
        if (ix * 2 == 0) return -1.0 / 0.0;
        if (ix == 0x7ff0000000000000ull) return x;
        if ((top & 0x8000) || (top & 0x7ff0) == 0x7ff0) return Invalid(x);
        ix = Bits(x * 0x1p52) - (52ull << 52);  // subnormal: normalise
    }
    const uint64_t tmp = ix - 0x3fe6000000000000ull;
    const uint64_t i = (tmp >> 45) % 128;
    const int32_t k = static_cast<int32_t>(static_cast<int64_t>(tmp) >> 52);
    const uint64_t iz = ix - (tmp & 0xfff0000000000000ull);
    const double invc = c.logTable[2 * i];
    const double logc = c.logTable[2 * i + 1];
    const double z = DoubleOf(iz);
    const double kd = k;
    const double* a = c.logPoly;
    const double w = Fused(kd, c.logLn2Hi, logc);
    const double r = Fused(z, invc, -1.0);
    const double q1 = Fused(r, a[2], a[1]);
    const double hi = r + w;
    const double r2 = r * r;
    double lo = (w - hi) + r;
    lo = Fused(kd, c.logLn2Lo, lo);
    const double r3 = r * r2;
    double q2 = Fused(r, a[4], a[3]);
    lo = Fused(r2, a[0], lo);
    q2 = Fused(r2, q2, q1);
    const double y = Fused(r3, q2, lo);
    return y + hi;
}

// ---- pow ----

constexpr uint64_t kPowSignBias = 0x800ull << 7;

// log(x) as hi + *tail for the normalised positive x whose bits are ix.
TM_KERNEL double PowLog(uint64_t ix, double* tail) {
    const DoublePrecisionConstants& c = kDoubleConstants;
    const double* a = c.powLogPoly;
    const uint64_t tmp = ix - 0x3fe6955500000000ull;
    const uint64_t i = (tmp >> 45) % 128;
    const int32_t k = static_cast<int32_t>(static_cast<int64_t>(tmp) >> 52);
    const uint64_t iz = ix - (tmp & 0xfff0000000000000ull);
    const double z = DoubleOf(iz);
    const double kd = k;
    const double invc = c.powLogTable[3 * i];
    const double logc = c.powLogTable[3 * i + 1];
    const double logctail = c.powLogTable[3 * i + 2];
    const double t1 = Fused(kd, c.powLn2Hi, logc);
    const double lo1 = Fused(kd, c.powLn2Lo, logctail);
    const double r = Fused(z, invc, -1.0);
    const double ar = r * a[0];
    const double q1 = Fused(r, a[2], a[1]);
    const double q2 = Fused(r, a[4], a[3]);
    const double t2 = r + t1;
    const double ar2 = r * ar;
    const double ar3 = r * ar2;
    const double lo3 = Fused(ar, r, -ar2);
    const double lo2 = (t1 - t2) + r;
    double q3 = Fused(r, a[6], a[5]);
    const double hi = t2 + ar2;
    const double lo4 = (t2 - hi) + ar2;
    q3 = Fused(ar2, q3, q2);
    const double q = Fused(ar2, q3, q1);
    double lo = lo1 + lo2;
    lo = lo + lo3;
    lo = lo + lo4;
    lo = Fused(ar3, q, lo);
    const double y = hi + lo;
    *tail = (hi - y) + lo;
    return y;
}

// 0: not an integer, 1: odd integer, 2: even integer (iy finite, non-zero).
TM_KERNEL int IntegerKind(uint64_t iy) {
    const int e = (iy >> 52) & 0x7ff;
    if (e < 0x3ff) return 0;
    if (e > 0x3ff + 52) return 2;
    if (iy & ((1ull << (0x3ff + 52 - e)) - 1)) return 0;
    if (iy & (1ull << (0x3ff + 52 - e))) return 1;
    return 2;
}

TM_KERNEL bool ZeroInfNan(uint64_t i) { return 2 * i - 1 >= 2 * 0x7ff0000000000000ull - 1; }

TM_KERNEL bool Signalling(uint64_t i) {
    return ((i ^ 0x0008000000000000ull) << 1) > (0x7ff8000000000000ull << 1);
}

// pow for the arguments the fast path does not take. Returns true with the
// result in *out, or false with *ixOut and *signBias set for the main path.
TM_KERNEL bool PowSpecial(double x, double y, uint64_t* ixOut, uint64_t* signBias, double* out) {
    uint64_t ix = Bits(x);
    const uint64_t iy = Bits(y);
    uint32_t topx = static_cast<uint32_t>(ix >> 52);
    const uint32_t topy = static_cast<uint32_t>(iy >> 52);
    if (ZeroInfNan(iy)) {
        if (2 * iy == 0) {
            *out = Signalling(ix) ? NanSum(x, y) : 1.0;
        } else if (ix == 0x3ff0000000000000ull) {
            *out = Signalling(iy) ? NanSum(x, y) : 1.0;
        } else if (2 * ix > 2 * 0x7ff0000000000000ull || 2 * iy > 2 * 0x7ff0000000000000ull) {
            *out = NanSum(x, y);
        } else if (2 * ix == 2 * 0x3ff0000000000000ull) {
            *out = 1.0;
        } else if ((2 * ix < 2 * 0x3ff0000000000000ull) == !(iy >> 63)) {
            *out = 0.0;
        } else {
            *out = y * y;
        }
        return true;
    }
    if (ZeroInfNan(ix)) {
        double x2 = x * x;
        const bool negative = (ix >> 63) && IntegerKind(iy) == 1;
        if (negative) x2 = -x2;
        if (2 * ix == 0 && (iy >> 63)) {
            *out = (negative ? -1.0 : 1.0) / 0.0;  // the C library's division by zero
            return true;
        }
        *out = (iy >> 63) ? 1 / x2 : x2;
        return true;
    }
    if (ix >> 63) {
        const int kind = IntegerKind(iy);
        if (kind == 0) {
            *out = Invalid(x);
            return true;
        }
        if (kind == 1) *signBias = kPowSignBias;
        ix &= 0x7fffffffffffffffull;
        topx &= 0x7ff;
    }
    if ((topy & 0x7ff) - 0x3be >= 0x43e - 0x3be) {
        if (ix == 0x3ff0000000000000ull) {
            *out = 1.0;
        } else if ((topy & 0x7ff) < 0x3be) {
            *out = ix > 0x3ff0000000000000ull ? 1.0 + y : 1.0 - y;  // |y| < 2^-65
        } else {
            *out = (ix > 0x3ff0000000000000ull) == (topy < 0x800) ? ScaledSquare(false, 0x1p769)
                                                                  : ScaledSquare(false, 0x1p-767);
        }
        return true;
    }
    if (topx == 0) {
        ix = Bits(x * 0x1p52) & 0x7fffffffffffffffull;
        ix -= 52ull << 52;
    }
    *ixOut = ix;
    return false;
}

TM_KERNEL double PowKernel(double x, double y) {
    uint64_t signBias = 0;
    uint64_t ix = Bits(x);
    const uint32_t topx = static_cast<uint32_t>(ix >> 52);
    const uint32_t topy = static_cast<uint32_t>(Bits(y) >> 52);
    if (topx - 0x001 >= 0x7ff - 0x001 || (topy & 0x7ff) - 0x3be >= 0x43e - 0x3be) {
        double special;
        if (PowSpecial(x, y, &ix, &signBias, &special)) return special;
    }
    double lo;
    const double hi = PowLog(ix, &lo);
    const double ehi = y * hi;
    const double elo = Fused(y, lo, Fused(hi, y, -ehi));
    return ExpCore(ehi, elo, signBias, true);
}

}  // namespace maths_kernels
