#include "ExtremePixels.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3g", value);
    return text;
}

constexpr char kConsequence[] =
    "The tone mapping spans the whole luminance range, so such pixels decide how the rest looks";

std::string Pixels(size_t count) { return std::to_string(count) + (count == 1 ? " pixel" : " pixels"); }

}  // namespace

ExtremePixelCounts CountExtremePixels(const HostDocument& document) {
    ExtremePixelCounts counts;
    if (document.depth != 32 || document.samples.empty()) return counts;
    const float* samples = FloatSamples(document);
    const size_t pixels = static_cast<size_t>(document.width) * document.height;
    for (size_t i = 0; i < pixels; ++i) {
        const float* p = samples + i * 3;
        const double luminance = 0.2126 * p[0] + 0.7152 * p[1] + 0.0722 * p[2];
        if (!std::isfinite(luminance)) continue;
        if (luminance > kExtremelyBright) {
            ++counts.bright;
            counts.brightest = std::max(counts.brightest, luminance);
        } else if (luminance > 0 && luminance < kExtremelyDim) {
            counts.dimmest = counts.dim == 0 ? luminance : std::min(counts.dimmest, luminance);
            ++counts.dim;
        }
    }
    return counts;
}

std::vector<std::string> ExtremePixelWarnings(const ExtremePixelCounts& counts, const std::string& label) {
    std::vector<std::string> warnings;
    if (counts.bright > 0)
        warnings.push_back("warning: " + label + " has " + Pixels(counts.bright) + " brighter than " +
                           Number(kExtremelyBright) + " (up to " + Number(counts.brightest) + "). " + kConsequence +
                           " (washed out or dark); limit such values before tone mapping.");
    if (counts.dim > 0)
        warnings.push_back("warning: " + label + " has " + Pixels(counts.dim) + " darker than " +
                           Number(kExtremelyDim) + " but not black (down to " + Number(counts.dimmest) + "). " +
                           kConsequence + " (washed out); set such values to 0 before tone mapping.");
    return warnings;
}
