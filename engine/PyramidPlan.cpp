#include <climits>
#include <cmath>

#include "ToneMapEngine.h"

namespace {

// Number of halvings from `side` down to about 32 pixels, rounded to the
// nearest integer with an exact half going down. The divisor is the literal
// 0.693, not ln 2.
int32_t LevelsToThirtyTwo(int32_t side) {
    const float l = static_cast<float>(std::log(side / 32.0) / 0.693);
    int32_t n = static_cast<int32_t>(l);
    if (l > n + 0.5) ++n;
    return n;
}

// Size of a pyramid of `steps` planned levels below a w x h grid; a level is
// halved only while both sides exceed `threshold`, and is counted again for
// every step after halving stopped. Sizes beyond int32 give -1.
void PlanLevels(int32_t w, int32_t h, int32_t steps, int32_t threshold, int32_t* size, int32_t* lastW,
                int32_t* lastH) {
    int64_t total = static_cast<int64_t>(w) * h;
    for (int32_t i = 0; i < steps; ++i) {
        if (w > threshold && h > threshold) {
            w = (w >> 1) + (w & 1);
            h = (h >> 1) + (h & 1);
        }
        total += static_cast<int64_t>(w) * h;
    }
    *size = total > INT32_MAX ? -1 : static_cast<int32_t>(total);
    *lastW = w;
    *lastH = h;
}

}  // namespace

int32_t PlanPyramids(int32_t width, int32_t height, int32_t smoothingCode, int32_t reductions, PyramidPlan* plan) {
    const int32_t nw = LevelsToThirtyTwo(width);
    const int32_t nh = LevelsToThirtyTwo(height);
    const int32_t levels = ((nw + nh) >> 1) + smoothingCode;

    int32_t* e = plan->entry;
    PlanLevels(width, height, levels, 9, &e[5], &e[7], &e[8]);
    PlanLevels(width, height, reductions, 3, &e[6], &e[9], &e[10]);
    e[1] = e[3] = width;
    e[2] = e[4] = height;
    e[11] = levels;
    e[12] = reductions;
    return reductions;
}
