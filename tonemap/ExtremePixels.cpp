#include "ExtremePixels.h"

#include <OpenImageIO/parallel.h>

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

constexpr int64_t kPixelsPerPart = 1 << 18;

ExtremePixelCounts CountRange(const float* samples, int64_t begin, int64_t end) {
    ExtremePixelCounts counts;
    for (int64_t i = begin; i < end; ++i) {
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

void Merge(const ExtremePixelCounts& part, ExtremePixelCounts* all) {
    if (part.bright > 0) all->brightest = all->bright == 0 ? part.brightest : std::max(all->brightest, part.brightest);
    if (part.dim > 0) all->dimmest = all->dim == 0 ? part.dimmest : std::min(all->dimmest, part.dimmest);
    all->bright += part.bright;
    all->dim += part.dim;
}

}  // namespace

ExtremePixelCounts CountExtremePixels(const HostDocument& document) {
    if (document.depth != 32 || document.samples.empty()) return ExtremePixelCounts{};
    const float* samples = FloatSamples(document);
    const int64_t pixels = int64_t(document.width) * document.height;
    // Counted a part at a time on the image library's threads; counts, the
    // largest and the smallest do not depend on the order they are merged in.
    const int64_t parts = (pixels + kPixelsPerPart - 1) / kPixelsPerPart;
    std::vector<ExtremePixelCounts> counted(static_cast<size_t>(parts));
    OIIO::parallel_for(int64_t(0), parts, [&](int64_t part) {
        const int64_t begin = part * kPixelsPerPart;
        counted[size_t(part)] = CountRange(samples, begin, std::min(begin + kPixelsPerPart, pixels));
    });
    ExtremePixelCounts counts;
    for (const ExtremePixelCounts& part : counted) Merge(part, &counts);
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
