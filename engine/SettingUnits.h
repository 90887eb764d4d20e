// The two setting units that need arithmetic, computed in one place: the
// White and Black Point in 1/20000 percent of the pixels, and the Gamma code,
// the slider position of the output exponent 2^((50 - code) / 50).
//
// The users deliberately differ in precision and rounding; each function says
// which use computes which way, and the callers round as their format asks.
#pragma once

#include <cmath>
#include <cstdint>

#include "EngineMaths.h"

// ---- White and Black Point ----

constexpr double kPointsPerPercent = 20000.0;
// The rounded reciprocal that labels, settings files and the output stage
// multiply by; 5000 x 0.00005 is not exactly 5000 / 20000.
constexpr double kPercentPerPoint = 0.00005;
constexpr int32_t kMaxPoints = 200000;  // 10 percent

// Percent of pixels clipped, as the dialog's label, the settings files and
// the output stage compute it: a product in double precision (files and the
// output stage then narrow it to single precision).
inline double PercentOfPoints(int32_t points) { return points * kPercentPerPoint; }

// The value the host's descriptors carry: an exact quotient, so that every
// point value comes back from a descriptor unchanged.
inline double DescriptorPercentOfPoints(int32_t points) { return points / kPointsPerPercent; }

// Point value of a percentage before rounding, in double precision. Settings
// files and descriptors truncate it, the command line rounds it.
inline double PointsOfPercent(double percent) { return percent * kPointsPerPercent; }

// ---- Gamma ----

constexpr int32_t kGammaCodeOfOne = 50;  // the code of exponent 1.0
constexpr int32_t kMaxGammaCode = 100;   // exponent 0.5; code 0 is exponent 2.0
constexpr double kLn2 = 0.693147180559945309417232121458;

// 2^((50 - code) / 50) as exp((50 - code) ln 2 / 50) in double precision,
// for every user; the output stage narrows it to single precision. The
// engine's exp: the same bits as glibc's in both builds.
inline double GammaExponentOfCode(int32_t code) { return Exp((50.0 - code) * kLn2 / 50.0); }

// The code of an exponent g before rounding, 50 (1 - ln g / ln 2), from ln g.
// Callers take the logarithm in their own precision: descriptors in double,
// settings files in single (as files have always been read), and round their
// own way (truncation, or the nearest slider position for the command line).
inline double GammaCodeOfLog(double lnExponent) { return 50.0 * (1.0 - lnExponent / kLn2); }
