#include "PreviewGeometry.h"

#include <algorithm>

namespace {
constexpr int32_t kBins = 256;
constexpr int32_t kMargin = 10;
}  // namespace

std::array<HistogramLine, 257> HistogramLines(const int32_t counts[256], const PixelRect& area) {
    const int32_t tallest = std::max(1, *std::max_element(counts, counts + kBins));
    const int32_t width = area.right - area.left - 1;
    const int32_t height = area.bottom - area.top - 1;
    const float step = static_cast<float>(width) / static_cast<float>(kBins);
    const float scale = static_cast<float>(height) / static_cast<float>(tallest);

    std::array<HistogramLine, 257> lines;
    lines[0] = HistogramLine{area.left, area.bottom, area.right, area.bottom};
    for (int32_t i = 0; i < kBins; ++i) {
        const int32_t x = area.left + static_cast<int32_t>(step * static_cast<float>(i));
        const int32_t rise = static_cast<int32_t>(scale * static_cast<float>(counts[i]));
        lines[i + 1] = HistogramLine{x, area.bottom, x, area.bottom - rise};
    }
    return lines;
}

PixelRect PreviewArea(const PixelRect& frame, int32_t previewWidth, int32_t previewHeight) {
    PixelRect area = frame;
    if (frame.right - frame.left < previewWidth) area.right = frame.left + previewWidth;
    if (frame.bottom - frame.top < previewHeight) area.bottom = frame.top + previewHeight;
    return area;
}

PixelSize FittedDialogSize(const PixelSize& opening, const PixelSize& offset, int32_t previewWidth,
                           int32_t previewHeight) {
    PixelSize size = opening;
    if (offset.width + previewWidth > opening.width) size.width = offset.width + previewWidth + kMargin;
    if (offset.height + previewHeight > opening.height) size.height = offset.height + previewHeight + kMargin;
    return size;
}
