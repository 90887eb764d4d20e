// What a slider does with a scroll request: where its thumb goes and whether
// the setting is stored. The requests carry the values of the system's
// scroll-bar codes (SB_LINELEFT ... SB_ENDSCROLL).
#pragma once

#include <cstdint>

enum SliderRequest : int {
    kLineLeft = 0,
    kLineRight = 1,
    kPageLeft = 2,
    kPageRight = 3,
    kThumbPosition = 4,
    kThumbTrack = 5,
    kLeft = 6,
    kRight = 7,
    kEndScroll = 8,
};

struct SliderMove {
    bool apply;        // false: the request is ignored
    int32_t position;  // the thumb's new position
    bool store;        // store the setting and compute a new preview
};

// The move of a slider at `position` in 0..`maximum` for `request`; the track
// position is where a dragged thumb is. Page requests, the end of a scroll
// and unknown requests leave the position; a slider whose position lies
// outside its range ignores every request. Only the arrows and the release of
// the thumb store: dragging, and the jumps to either end, only show.
SliderMove MoveSlider(int request, int32_t position, int32_t trackPosition, int32_t maximum);
