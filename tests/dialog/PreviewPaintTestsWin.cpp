// The preview as the dialog paints it through our host's display callback,
// read back from the window; the histogram beside it; the dialog's size for
// each preview size; and a failed preview, which paints nothing.
#include "DialogDriverWin.h"

#include <algorithm>

namespace {

using namespace dialog_test;

constexpr uint32_t kBlack = 0;

// Compares the preview area of the window, from its top-left corner `at`,
// with the display buffer's three planes; returns the pixels that differ.
int64_t DifferingPixels(const Pixels& window, POINT at, const Dialog& d) {
    const int32_t width = d.globals->previewWidth;
    const int32_t height = d.globals->previewHeight;
    const auto* planes = static_cast<const uint8_t*>(d.globals->previewDisplay.address);
    const size_t plane = static_cast<size_t>(width) * height;
    int64_t differing = 0;
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x) {
            const size_t k = static_cast<size_t>(y) * width + x;
            const uint32_t expected = (uint32_t{planes[k]} << 16) | (uint32_t{planes[plane + k]} << 8) |
                                      planes[2 * plane + k];
            if (at.x + x >= window.width || at.y + y >= window.height ||
                window.At(at.x + x, at.y + y) != expected)
                ++differing;
        }
    return differing;
}

POINT TopLeft(const RECT& r) { return POINT{r.left, r.top}; }

TEST_F(DialogTest, PaintsTheDisplayBufferAndGrowsForTheLargerPreviews) {
    host.document = Scene(1200, 800, 32);
    Run([&](Dialog& d) {
        const SIZE opening = d.WindowSize();
        const RECT frame = d.ClientRectOf(IDC_PREVIEW_FRAME);
        d.Paint();
        ASSERT_EQ(d.globals->previewWidth, 512);
        ASSERT_EQ(d.globals->previewHeight, 341);
        EXPECT_EQ(DifferingPixels(ReadBack(d.window), TopLeft(frame), d), 0);
        // The host was handed an 8-bit RGB map at the frame's corner.
        EXPECT_EQ(host.lastPixelMap.imageMode, plugInModeRGBColor);
        EXPECT_EQ(host.lastPixelMap.bounds.left, frame.left);
        EXPECT_EQ(host.lastPixelMap.bounds.top, frame.top);
        EXPECT_EQ(host.lastPixelMap.rowBytes, 512);
        EXPECT_EQ(host.lastPixelMap.planeBytes, 512 * 341);

        RECT window{}, screenFrame = d.ScreenRectOf(IDC_PREVIEW_FRAME);
        GetWindowRect(d.window, &window);
        const LONG offsetX = screenFrame.left - window.left, offsetY = screenFrame.top - window.top;
        for (int zoom : {IDC_ZOOM_LARGE, IDC_ZOOM_MEDIUM}) {
            d.Click(zoom);
            const int32_t width = d.globals->previewWidth, height = d.globals->previewHeight;
            EXPECT_EQ(width, zoom == IDC_ZOOM_LARGE ? 1024 : 768);
            const SIZE grown = d.WindowSize();
            EXPECT_EQ(grown.cx, std::max<LONG>(opening.cx, offsetX + width + 10)) << zoom;
            EXPECT_EQ(grown.cy, std::max<LONG>(opening.cy, offsetY + height + 10)) << zoom;
            EXPECT_GT(grown.cx, opening.cx);
            const RECT resized = d.ClientRectOf(IDC_PREVIEW_FRAME);
            EXPECT_EQ(resized.right - resized.left, width);
            EXPECT_EQ(resized.bottom - resized.top, height);
            d.Paint();
            EXPECT_EQ(DifferingPixels(ReadBack(d.window), TopLeft(frame), d), 0) << zoom;
        }
        d.Click(IDC_ZOOM_SMALL);
        const SIZE small = d.WindowSize();
        EXPECT_EQ(small.cx, opening.cx);
        EXPECT_EQ(small.cy, opening.cy);
        d.Paint();
        EXPECT_EQ(DifferingPixels(ReadBack(d.window), TopLeft(frame), d), 0);
    });
}

// The tallest bin's line goes up to one pixel under the frame's top edge;
// GDI leaves a line's last point unpainted, so its topmost black pixel is the
// one under that.
TEST_F(DialogTest, HistogramsTallestBinEndsOnePixelUnderTheFrameTop) {
    Run([&](Dialog& d) {
        d.Paint();
        const Pixels pixels = ReadBack(d.window);
        const RECT area = d.ClientRectOf(IDC_HISTOGRAM_FRAME);
        const auto* counts = static_cast<const int32_t*>(d.globals->histograms.address);
        const int32_t tallest = static_cast<int32_t>(std::max_element(counts, counts + 256) - counts);
        ASSERT_GT(counts[tallest], 0);
        const float step = static_cast<float>(area.right - area.left - 1) / 256.0f;
        const LONG x = area.left + static_cast<LONG>(step * static_cast<float>(tallest));
        EXPECT_NE(pixels.At(x, area.top + 1), kBlack);
        EXPECT_EQ(pixels.At(x, area.top + 2), kBlack);
        EXPECT_EQ(pixels.At(x, area.bottom - 1), kBlack);
        for (LONG column = area.left; column < area.right; ++column) {
            EXPECT_NE(pixels.At(column, area.top), kBlack) << column;
            EXPECT_NE(pixels.At(column, area.top + 1), kBlack) << column;
        }
        // Every bin with pixels reaches at least the bottom row.
        int blackColumns = 0;
        for (LONG column = area.left; column < area.right; ++column)
            blackColumns += pixels.At(column, area.bottom - 1) == kBlack;
        EXPECT_GT(blackColumns, 10);
    });
}

TEST_F(DialogTest, AFailedPreviewPaintsNothingAndComputesNoMore) {
    host.faults.failBufferAllocation = 1;  // the display buffer, the first of the dialog's
    const std::vector<uint8_t> image = host.document.samples;
    const int16_t result = Run([&](Dialog& d) {
        d.Paint();
        const int previews = d.Previews();
        d.Scroll(IDC_STRENGTH, SB_LINELEFT);
        d.Click(IDC_ZOOM_LARGE);
        d.Paint();
        EXPECT_EQ(d.record->strength, 69);  // stored all the same
        EXPECT_EQ(d.Previews(), previews);
        EXPECT_EQ(host.displayPixelsCalls, 0);
        d.Click(IDOK);
    });
    // OK clears the preview's failure: the full run goes ahead.
    EXPECT_EQ(result, noErr);
    EXPECT_NE(host.document.samples, image);
    EXPECT_EQ(OutstandingBuffers(host), 0);
}

// A preview that fails after pictures were shown: the dialog's background
// takes the picture's place, as the histogram's erasing reaches it too.
TEST_F(DialogTest, APreviewFailingLaterLeavesTheBackground) {
    Run([&](Dialog& d) {
        d.Paint();
        const RECT frame = d.ClientRectOf(IDC_PREVIEW_FRAME);
        const int32_t width = d.globals->previewWidth, height = d.globals->previewHeight;
        ASSERT_EQ(DifferingPixels(ReadBack(d.window), TopLeft(frame), d), 0);
        // The document turns into one the preview refuses (an 8-bit one).
        host.record.depth = 8;
        d.Scroll(IDC_STRENGTH, SB_LINELEFT);
        host.record.depth = 32;
        d.Paint();
        const Pixels pixels = ReadBack(d.window);
        const uint32_t background = pixels.At(frame.left + width + 3, frame.top + 10);  // beside the picture
        int64_t painted = 0;
        for (int32_t y = 0; y < height; ++y)
            for (int32_t x = 0; x < width; ++x) painted += pixels.At(frame.left + x, frame.top + y) != background;
        EXPECT_EQ(painted, 0);
    });
}

}  // namespace
