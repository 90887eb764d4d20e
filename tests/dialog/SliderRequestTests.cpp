// What each scroll request does to a slider: where the thumb goes and
// whether the setting is stored.
#include <gtest/gtest.h>

#include "SliderRequests.h"

namespace {

TEST(SliderRequests, ArrowsMoveOneStepWithinTheRangeAndStore) {
    EXPECT_EQ(MoveSlider(kLineLeft, 13, 0, 20).position, 12);
    EXPECT_EQ(MoveSlider(kLineRight, 13, 0, 20).position, 14);
    EXPECT_EQ(MoveSlider(kLineLeft, 0, 0, 20).position, 0);
    EXPECT_EQ(MoveSlider(kLineRight, 20, 0, 20).position, 20);
    for (int request : {kLineLeft, kLineRight}) {
        const SliderMove move = MoveSlider(request, 0, 0, 20);
        EXPECT_TRUE(move.apply);
        EXPECT_TRUE(move.store);  // also at the end of the range
    }
}

TEST(SliderRequests, TheThumbFollowsTheDragAndStoresOnlyOnRelease) {
    const SliderMove dragged = MoveSlider(kThumbTrack, 70, 55, 100);
    EXPECT_TRUE(dragged.apply);
    EXPECT_EQ(dragged.position, 55);
    EXPECT_FALSE(dragged.store);
    const SliderMove released = MoveSlider(kThumbPosition, 70, 55, 100);
    EXPECT_EQ(released.position, 55);
    EXPECT_TRUE(released.store);
    // A track position outside the range is ignored.
    EXPECT_FALSE(MoveSlider(kThumbPosition, 70, 101, 100).apply);
    EXPECT_FALSE(MoveSlider(kThumbTrack, 70, -1, 100).apply);
}

TEST(SliderRequests, EndsMoveTheThumbButStoreNothing) {
    const SliderMove left = MoveSlider(kLeft, 70, 0, 100);
    EXPECT_EQ(left.position, 0);
    EXPECT_TRUE(left.apply);
    EXPECT_FALSE(left.store);
    const SliderMove right = MoveSlider(kRight, 70, 0, 100);
    EXPECT_EQ(right.position, 100);
    EXPECT_FALSE(right.store);
}

TEST(SliderRequests, PagesAndTheEndOfAScrollChangeNothing) {
    for (int request : {int(kPageLeft), int(kPageRight), int(kEndScroll), 9, -1}) {
        const SliderMove move = MoveSlider(request, 70, 3, 100);
        EXPECT_EQ(move.position, 70) << request;
        EXPECT_FALSE(move.store) << request;
    }
}

TEST(SliderRequests, ASliderOutsideItsRangeIgnoresEveryRequest) {
    for (int request = kLineLeft; request <= kEndScroll; ++request) {
        EXPECT_FALSE(MoveSlider(request, 101, 50, 100).apply) << request;
        EXPECT_FALSE(MoveSlider(request, -1, 50, 100).apply) << request;
    }
}

}  // namespace
