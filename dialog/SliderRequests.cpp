#include "SliderRequests.h"

SliderMove MoveSlider(int request, int32_t position, int32_t trackPosition, int32_t maximum) {
    if (position < 0 || position > maximum) return SliderMove{false, position, false};
    int32_t p = position;
    switch (request) {
        case kLineLeft: p = position > 0 ? position - 1 : 0; break;
        case kLineRight: p = position < maximum ? position + 1 : maximum; break;
        case kThumbTrack:
        case kThumbPosition: p = trackPosition; break;
        case kLeft: p = 0; break;
        case kRight: p = maximum; break;
        default: break;
    }
    if (p < 0 || p > maximum) return SliderMove{false, position, false};
    const bool store = request == kLineLeft || request == kLineRight || request == kThumbPosition;
    return SliderMove{true, p, store};
}
