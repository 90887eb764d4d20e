// The histogram's lines, the area repainted after a new preview, the dialog's
// size for the larger previews, and which controls show hover help.
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

TEST(PreviewArea, GrowsToAPreviewLargerThanTheFrame) {
    const PixelRect frame{200, 60, 720, 520};  // 520 x 460
    const PixelRect small = PreviewArea(frame, 512, 341);
    EXPECT_EQ(small.right, 720);
    EXPECT_EQ(small.bottom, 520);
    const PixelRect large = PreviewArea(frame, 1024, 682);
    EXPECT_EQ(large.left, 200);
    EXPECT_EQ(large.top, 60);
    EXPECT_EQ(large.right, 1224);
    EXPECT_EQ(large.bottom, 742);
}

TEST(FittedDialogSize, GrowsWithATenPixelMarginAndComesBackForSmall) {
    const PixelSize opening{754, 726};
    const PixelSize offset{214, 68};
    const PixelSize large = FittedDialogSize(opening, offset, 1024, 698);
    EXPECT_EQ(large.width, 214 + 1024 + 10);
    EXPECT_EQ(large.height, 68 + 698 + 10);
    const PixelSize wideOnly = FittedDialogSize(opening, offset, 768, 300);
    EXPECT_EQ(wideOnly.width, 214 + 768 + 10);
    EXPECT_EQ(wideOnly.height, 726);
    const PixelSize small = FittedDialogSize(opening, offset, 512, 349);
    EXPECT_EQ(small.width, 754);
    EXPECT_EQ(small.height, 726);
    // Exactly filling the opening size needs no margin.
    EXPECT_EQ(FittedDialogSize(opening, offset, 540, 658).width, 754);
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
