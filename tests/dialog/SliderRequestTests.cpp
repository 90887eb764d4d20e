// What each scroll request does to a slider: where the thumb goes and
// whether the setting is stored. (The dialog's tests under wine send the
// same requests to the real sliders.)
#include <gtest/gtest.h>

#include "SliderRequests.h"

namespace {

TEST(SliderRequests, ArrowsStepWithinTheRangeAndStoreEvenAtItsEnds) {
    EXPECT_EQ(MoveSlider(kLineLeft, 13, 0, 20).position, 12);
    EXPECT_EQ(MoveSlider(kLineRight, 13, 0, 20).position, 14);
    const SliderMove left = MoveSlider(kLineLeft, 0, 0, 20);
    const SliderMove right = MoveSlider(kLineRight, 20, 0, 20);
    EXPECT_EQ(left.position, 0);
    EXPECT_EQ(right.position, 20);
    EXPECT_TRUE(left.apply && left.store && right.apply && right.store);
}

TEST(SliderRequests, ATrackPositionOrASliderOutsideTheRangeIsIgnored) {
    EXPECT_FALSE(MoveSlider(kThumbPosition, 70, 101, 100).apply);
    EXPECT_FALSE(MoveSlider(kThumbTrack, 70, -1, 100).apply);
    for (int request = kLineLeft; request <= kEndScroll; ++request) {
        EXPECT_FALSE(MoveSlider(request, 101, 50, 100).apply) << request;
        EXPECT_FALSE(MoveSlider(request, -1, 50, 100).apply) << request;
    }
    const SliderMove unknown = MoveSlider(9, 70, 3, 100);
    EXPECT_EQ(unknown.position, 70);
    EXPECT_FALSE(unknown.store);
}

}  // namespace
