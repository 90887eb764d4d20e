// Constants of the gradient attenuation, from the settings. Internal to the
// engine.
#pragma once

#include <cstdint>

// beta = 1 - (s + 0.5) / 100 for luminosity steps s held to 1..13; the sum
// in single precision, the rest in double.
double CompressionExponent(int32_t luminositySteps);

// a = 0.1 x 2^e, e = m / 2.5 below 3 and 0.8 + (m - 2) / 8 from 3 on, for
// microcontrast m held to -10..10.
double ThresholdFactor(int32_t microcontrast);
