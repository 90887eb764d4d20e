// The tables and polynomial coefficients of the C library's expf, logf,
// powf, exp, log and pow (glibc 2.36 on x86-64), which the engine's own
// implementations of these functions share (EngineMaths.h). Internal to the
// engine.
#pragma once

#include <cstdint>

struct SinglePrecisionConstants {
    uint64_t exp2Table[32];  // bits of 2^(i/32) less i/32 in the exponent field
    double exp2Shift;        // rounds y to a multiple of 1/32 when added
    double exp2Poly[3];      // 2^r ~ 1 + r (c2 + r (c1 + r c0)), c0 first
    double expInvLn2;        // 32 / ln 2
    double expPoly[3];       // the same polynomial in units of ln 2 / 32
    double expShift;         // rounds to an integer when added
    double logfTable[32];    // 1/c and log(c) of 16 subintervals, interleaved
    double logfLn2;
    double logfPoly[3];
    double powfLogTable[32];  // 1/c and log2(c) of 16 subintervals, interleaved
    double powfLogPoly[5];
};

struct DoublePrecisionConstants {
    double expInvLn2N;    // 128 / ln 2
    double expNegLn2HiN;  // -ln 2 / 128, leading part
    double expNegLn2LoN;  // its trailing part
    double expPoly[4];
    double expShift;
    uint64_t expTable[256];  // per i: tail of 2^(i/128), then its scale bits
    double logLn2Hi;
    double logLn2Lo;
    double logPoly[5];
    double logPolyNearOne[11];
    double logTable[256];  // 1/c and log(c) of 128 subintervals, interleaved
    double powLn2Hi;
    double powLn2Lo;
    double powLogPoly[7];
    double powLogTable[384];  // 1/c, log(c) and its tail of 128 subintervals
};

extern const SinglePrecisionConstants kSingleConstants;
extern const DoublePrecisionConstants kDoubleConstants;
