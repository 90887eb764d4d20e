// The histogram's lines, the dialog's size for the larger previews, and which
// controls show hover help.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "HoverHelpTexts.h"
#include "PreviewGeometry.h"

namespace {

constexpr PixelRect kArea{10, 200, 190, 290};  // 180 x 90 pixels, narrower than 256 bins

TEST(HistogramLines, ABaseLineThenOneLinePerBinFromTheBottomEdge) {
    int32_t counts[256] = {};
    counts[0] = 5;
    counts[128] = 20;
    counts[255] = 10;
    const auto lines = HistogramLines(counts, kArea);
    EXPECT_EQ(lines[0].x0, 10);
    EXPECT_EQ(lines[0].y0, 290);
    EXPECT_EQ(lines[0].x1, 190);
    EXPECT_EQ(lines[0].y1, 290);
    // Step 179/256 per bin, truncated: the bins share the 179 columns.
    EXPECT_EQ(lines[1].x0, 10);
    EXPECT_EQ(lines[129].x0, 10 + 89);
    EXPECT_EQ(lines[256].x0, 10 + 178);
    for (size_t i = 1; i < lines.size(); ++i) {
        EXPECT_EQ(lines[i].x0, lines[i].x1);
        EXPECT_EQ(lines[i].y0, 290);
        EXPECT_GE(lines[i].x0, 10);
        EXPECT_LT(lines[i].x0, 190);
    }
    // The tallest bin reaches one pixel under the top edge; the others in proportion.
    EXPECT_EQ(lines[129].y1, 201);
    EXPECT_EQ(lines[1].y1, 290 - 22);   // 89 x 5/20 = 22.25
    EXPECT_EQ(lines[256].y1, 290 - 44);  // 44.5
    EXPECT_EQ(lines[2].y1, 290);
}

TEST(HistogramLines, OnlyTheBaseLineForAnEmptyHistogram) {
    const int32_t counts[256] = {};
    const auto lines = HistogramLines(counts, kArea);
    for (size_t i = 1; i < lines.size(); ++i) EXPECT_EQ(lines[i].y1, lines[i].y0) << i;
}

TEST(HistogramLines, AMillionPixelsInOneBinStillReachTheTop) {
    int32_t counts[256] = {};
    counts[40] = 1048576;
    counts[41] = 1048575;
    const auto lines = HistogramLines(counts, kArea);
    EXPECT_EQ(lines[41].y1, 201);
    EXPECT_GE(lines[42].y1, 201);
}

// The width and height grow independently; a preview that exactly fills the
// opening size needs no margin.
TEST(FittedDialogSize, GrowsOnlyWhereThePreviewNeedsIt) {
    const PixelSize opening{754, 726};
    const PixelSize offset{214, 68};
    const PixelSize wide = FittedDialogSize(opening, offset, 768, 300);
    EXPECT_EQ(wide.width, 214 + 768 + 10);
    EXPECT_EQ(wide.height, 726);
    const PixelSize exact = FittedDialogSize(opening, offset, 540, 658);
    EXPECT_EQ(exact.width, 754);
    EXPECT_EQ(exact.height, 726);
}

TEST(HoverHelp, TwentyOneControlsEachWithItsOwnSlot) {
    ASSERT_EQ(kHoverHelpCount, 21);
    std::set<int> ids;
    for (int slot = 0; slot < kHoverHelpCount; ++slot) {
        const ControlHelpText& help = kHoverHelpTexts[slot];
        EXPECT_TRUE(ids.insert(help.controlId).second) << help.controlId;
        EXPECT_EQ(HoverHelpSlot(help.controlId), slot);
        ASSERT_NE(help.text, nullptr);
    }
    for (int id : {1, 2, IDC_SMOOTHING_MEDIUM, IDC_TABS, IDC_ZOOM_LARGE, IDC_STRENGTH_CAPTION})
        EXPECT_EQ(HoverHelpSlot(id), -1) << id;
    EXPECT_EQ(std::string(kHoverHelpTexts[HoverHelpSlot(IDC_GAMMA)].text).back(), '\n');
}

}  // namespace
