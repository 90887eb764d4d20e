// Rectangles in both coordinate systems and the image-mode tables.
#include <gtest/gtest.h>

#include "HostUtils.h"

namespace {

TEST(Rectangles, UseThirtyTwoBitFieldsWhenTheModuleSaysSo) {
    FilterRecord record{};
    BigDocumentStruct big{};
    record.bigDocumentData = &big;
    big.PluginUsing32BitCoordinates = 1;
    const VRect wide{5, 100, 2000, 100000};  // wider than 32767
    SetInputRectangle(&record, wide);
    SetOutputRectangle(&record, wide);
    SetMaskRectangle(&record, wide);
    const VRect in = GetInputRectangle(&record);
    EXPECT_EQ(in.left, 100);
    EXPECT_EQ(in.right, 100000);
    EXPECT_EQ(in.top, 5);
    EXPECT_EQ(in.bottom, 2000);
    EXPECT_EQ(big.outRect32.right, 100000);
    EXPECT_EQ(big.maskRect32.right, 100000);
    EXPECT_EQ(record.inRect.right, 0);  // the int16 fields stay untouched

    big.filterRect32 = wide;
    EXPECT_EQ(GetFilterRectangle(&record).right, 100000);
}

TEST(Rectangles, FallBackToSixteenBitFields) {
    FilterRecord record{};
    record.filterRect = Rect{1, 2, 300, 400};
    EXPECT_EQ(GetFilterRectangle(&record).right, 400);

    BigDocumentStruct big{};  // offered but not taken up
    big.filterRect32 = VRect{0, 0, 9, 9};
    record.bigDocumentData = &big;
    EXPECT_EQ(GetFilterRectangle(&record).bottom, 300);
    SetInputRectangle(&record, VRect{10, 20, 30, 40});
    EXPECT_EQ(record.inRect.left, 20);
    EXPECT_EQ(GetInputRectangle(&record).bottom, 30);
    EXPECT_EQ(big.inRect32.bottom, 0);
}

TEST(ImageModes, ChannelCounts) {
    const int expected[18] = {1, 1, 3, 3, 4, 3, 3, -7, 1, 3, 1, 3, 3, 4, -7, 1, 3, 1};
    for (int mode = 0; mode < 18; ++mode) EXPECT_EQ(ChannelCountOfMode(mode, -7), expected[mode]) << mode;
    EXPECT_EQ(ChannelCountOfMode(plugInModeMultichannel, 0), 0);
    EXPECT_EQ(ChannelCountOfMode(18, 5), 5);
    EXPECT_EQ(ChannelCountOfMode(-1, 5), 5);
}

TEST(ImageModes, EightBitDisplayModes) {
    const int expected[18] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 1, 3, 9, 4, 7, 8, 3, 1};
    for (int mode = 0; mode < 18; ++mode) EXPECT_EQ(EightBitModeOf(mode), expected[mode]) << mode;
    EXPECT_EQ(EightBitModeOf(99), 99);
}

}  // namespace
