// Correctly rounded fused multiply-add in integer arithmetic: the exact
// product of the two 53-bit significands (106 bits) and the addend are
// aligned in 128 bits with a sticky bit for what falls off, added, and the
// sum rounded once.
#include "SoftwareFma.h"

#include <cstdint>
#include <cstring>

#include "BitPatterns.h"

namespace {

using Wide = unsigned __int128;

// A finite non-zero double as significand x 2^exponent.
void Split(uint64_t bits, uint64_t* significand, int32_t* exponent) {
    const int32_t biased = static_cast<int32_t>((bits >> 52) & 0x7ff);
    const uint64_t fraction = bits & 0x000fffffffffffffull;
    *significand = biased == 0 ? fraction : fraction | (uint64_t{1} << 52);
    *exponent = (biased == 0 ? 1 : biased) - 1075;
}

int32_t TopBit(Wide v) {
    const uint64_t high = static_cast<uint64_t>(v >> 64);
    if (high != 0) return 127 - __builtin_clzll(high);
    return 63 - __builtin_clzll(static_cast<uint64_t>(v));
}

// v >> shift with every bit shifted out folded into the lowest bit.
Wide ShiftRightSticky(Wide v, int32_t shift) {
    if (shift <= 0) return v;
    if (shift >= 127) return v != 0 ? 1 : 0;
    const Wide lost = v & ((Wide{1} << shift) - 1);
    return (v >> shift) | (lost != 0 ? 1 : 0);
}

// The double nearest to (-1)^negative x magnitude x 2^exponent, magnitude > 0.
double Round(bool negative, Wide magnitude, int32_t exponent) {
    const uint64_t sign = negative ? 0x8000000000000000ull : 0;
    const int32_t top = TopBit(magnitude);
    // Keep 53 bits, or fewer where the result is subnormal (quantum 2^-1074).
    int32_t shift = top - 52;
    if (exponent + shift < -1074) shift = -1074 - exponent;
    uint64_t significand;
    if (shift <= 0) {
        significand = static_cast<uint64_t>(magnitude << -shift);
    } else if (shift > 127) {
        return DoubleOf(sign);  // far below the smallest subnormal
    } else {
        significand = static_cast<uint64_t>(magnitude >> shift);
        const Wide rest = magnitude & ((Wide{1} << shift) - 1);
        const Wide half = Wide{1} << (shift - 1);
        if (rest > half || (rest == half && (significand & 1))) ++significand;
    }
    int32_t scale = exponent + shift;  // value = significand x 2^scale
    if (significand == (uint64_t{1} << 53)) {
        significand >>= 1;
        ++scale;
    }
    if (significand < (uint64_t{1} << 52)) return DoubleOf(sign | significand);  // subnormal or zero
    const int32_t biased = scale + 52 + 1023;
    if (biased >= 0x7ff) return DoubleOf(sign | 0x7ff0000000000000ull);
    return DoubleOf(sign | (static_cast<uint64_t>(biased) << 52) | (significand & 0x000fffffffffffffull));
}

}  // namespace

double SoftwareFma(double a, double b, double c) {
    const uint64_t ia = BitsOf(a), ib = BitsOf(b), ic = BitsOf(c);
    const bool specialA = (ia & 0x7fffffffffffffffull) == 0 || ((ia >> 52) & 0x7ff) == 0x7ff;
    const bool specialB = (ib & 0x7fffffffffffffffull) == 0 || ((ib >> 52) & 0x7ff) == 0x7ff;
    // A zero, infinite or NaN factor makes the product exact: the separate
    // operations round once. With finite factors a non-finite addend is the
    // result (quietened), even where the rounded product would overflow.
    if (specialA || specialB) return a * b + c;
    if (((ic >> 52) & 0x7ff) == 0x7ff) return c + c;

    uint64_t ma, mb, mc = 0;
    int32_t ea, eb, ec = 0;
    Split(ia, &ma, &ea);
    Split(ib, &mb, &eb);
    const bool productNegative = ((ia ^ ib) >> 63) != 0;
    // Product below 2^106, addend below 2^53: both raised to just below 2^126.
    Wide product = static_cast<Wide>(ma) * mb;
    int32_t productExponent = ea + eb;
    const int32_t productTop = TopBit(product);
    product <<= 125 - productTop;
    productExponent -= 125 - productTop;
    if ((ic & 0x7fffffffffffffffull) == 0) return Round(productNegative, product, productExponent);

    Split(ic, &mc, &ec);
    const bool addendNegative = (ic >> 63) != 0;
    Wide addend = mc;
    const int32_t addendTop = TopBit(addend);
    addend <<= 125 - addendTop;
    ec -= 125 - addendTop;

    // Align to the larger exponent; the smaller operand keeps a sticky bit.
    int32_t exponent = productExponent;
    if (productExponent >= ec) {
        addend = ShiftRightSticky(addend, productExponent - ec);
    } else {
        product = ShiftRightSticky(product, ec - productExponent);
        exponent = ec;
    }
    if (productNegative == addendNegative) return Round(productNegative, product + addend, exponent);
    if (product == addend) return 0.0;  // exact cancellation: +0 when rounding to nearest
    if (product > addend) return Round(productNegative, product - addend, exponent);
    return Round(addendNegative, addend - product, exponent);
}
