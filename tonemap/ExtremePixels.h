// Pixels far outside anything a camera or a renderer produces: a luminance
// beyond 1e10, or a tiny one below 1e-20 that is not zero. The tone mapping
// spans the whole range of the image's luminance, as the plug-in does in the
// host, so a single such pixel can decide how the rest looks: one at 1e20
// washes a photograph out, one at the largest float makes it black, and tiny
// values on many pixels wash it out. The tool keeps that arithmetic and says
// so when it happens.
#pragma once

#include <string>
#include <vector>

#include "../minihost/MiniHost.h"

constexpr double kExtremelyBright = 1e10;
constexpr double kExtremelyDim = 1e-20;

struct ExtremePixelCounts {
    size_t bright = 0;  // finite luminance above kExtremelyBright
    size_t dim = 0;     // luminance above 0 and below kExtremelyDim
    double brightest = 0;
    double dimmest = 0;
};

// Counts by BT.709 luminance (in double, so that the largest floats stay finite)
// in a 32-bit document; 16-bit codes cannot be extreme.
ExtremePixelCounts CountExtremePixels(const HostDocument& document);

// The warnings to show for `label` (the input's quoted name); none when all is well.
std::vector<std::string> ExtremePixelWarnings(const ExtremePixelCounts& counts, const std::string& label);
