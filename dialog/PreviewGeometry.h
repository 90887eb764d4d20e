// Where the dialog draws the preview's histogram, what it repaints after a new
// preview and how large it grows for the larger previews; in pixels.
#pragma once

#include <array>
#include <cstdint>

struct PixelRect {
    int32_t left, top, right, bottom;
};

struct PixelSize {
    int32_t width, height;
};

struct HistogramLine {
    int32_t x0, y0, x1, y1;  // drawn from (x0, y0) towards (x1, y1)
};

// The histogram in `area` (the histogram frame in client coordinates): the
// base line along the bottom edge, then one vertical line per bin from the
// bottom edge up. The tallest bin reaches one pixel under the top edge (when
// the single-precision scale times its count comes out exactly at the inner
// height); a histogram of zeros draws only the base line.
std::array<HistogramLine, 257> HistogramLines(const int32_t counts[256], const PixelRect& area);

// The part of the window to repaint for a new preview: the preview frame,
// widened and heightened to the preview where the preview is larger.
PixelRect PreviewArea(const PixelRect& frame, int32_t previewWidth, int32_t previewHeight);

// The dialog's size for a preview of the given size, whose frame's top-left
// corner lies at `offset` from the dialog's: the size at opening, or larger
// where the preview and a 10-pixel margin need it.
PixelSize FittedDialogSize(const PixelSize& opening, const PixelSize& offset, int32_t previewWidth,
                           int32_t previewHeight);
