#include <algorithm>
#include <climits>
#include <cmath>

#include "EngineMaths.h"
#include "PyramidLevels.h"
#include "ToneMapEngine.h"

namespace {

// Number of halvings from `side` down to about 32 pixels, rounded to the
// nearest integer with an exact half going down. The divisor is the literal
// 0.693, not ln 2.
int32_t LevelsToThirtyTwo(int32_t side) {
    const float l = static_cast<float>(Log(side / 32.0) / 0.693);
    int32_t n = static_cast<int32_t>(l);
    if (l > n + 0.5) ++n;
    return n;
}

}  // namespace

void PlanLevels(int32_t w, int32_t h, int32_t steps, int32_t threshold, int32_t* size, int32_t* lastW,
                int32_t* lastH) {
    int64_t total = static_cast<int64_t>(w) * h;
    int32_t i = 0;
    for (; i < steps && w > threshold && h > threshold; ++i) {
        w = (w >> 1) + (w & 1);
        h = (h >> 1) + (h & 1);
        total += static_cast<int64_t>(w) * h;
    }
    // Once halving has stopped, every remaining step counts the same level.
    if (i < steps && total <= INT32_MAX) total += static_cast<int64_t>(steps - i) * w * h;
    *size = total > INT32_MAX ? -1 : static_cast<int32_t>(total);
    *lastW = w;
    *lastH = h;
}

int32_t PlanPyramids(int32_t width, int32_t height, int32_t smoothingCode, int32_t reductions, PyramidPlan* plan) {
    int32_t* e = plan->entry;
    if (width < 1 || height < 1) {
        // No logarithm of a side below 1: a zero plan, which the drivers refuse.
        std::fill(e + kPlanWidth, e + kPlanGradientReductions, 0);
        e[kPlanGradientReductions] = reductions;
        return reductions;
    }
    const int32_t nw = LevelsToThirtyTwo(width);
    const int32_t nh = LevelsToThirtyTwo(height);
    // The setting runs from -2 to 2; anything else would only plan absurd stacks.
    const int32_t levels = ((nw + nh) >> 1) + std::clamp(smoothingCode, -2, 2);

    PlanLevels(width, height, levels, 9, &e[kPlanSolverSize], &e[kPlanSolverCoarsestWidth],
               &e[kPlanSolverCoarsestHeight]);
    PlanLevels(width, height, reductions, 3, &e[kPlanGradientSize], &e[kPlanGradientCoarsestWidth],
               &e[kPlanGradientCoarsestHeight]);
    e[kPlanWidth] = e[kPlanRowLength] = width;
    e[kPlanHeight] = e[kPlanRowCount] = height;
    e[kPlanSolverLevels] = levels;
    e[kPlanGradientReductions] = reductions;
    return reductions;
}

bool PlanIsUsable(const PyramidPlan& plan) {
    for (int i = kPlanWidth; i <= kPlanGradientCoarsestHeight; ++i)
        if (plan.entry[i] < 1) return false;
    return true;
}

int32_t WorkBufferValues(const PyramidPlan& plan) {
    if (!PlanIsUsable(plan)) return -1;
    const int32_t* e = plan.entry;
    int64_t values = std::max(e[kPlanSolverSize], e[kPlanGradientSize]);
    SolverLevels levels;
    if (PlanSolverLevels(e[kPlanRowLength], e[kPlanRowCount], e[kPlanSolverCoarsestWidth],
                         e[kPlanSolverCoarsestHeight], e[kPlanSolverLevels], &levels))
        values = std::max(values, levels.values);
    return values > INT32_MAX ? -1 : static_cast<int32_t>(values);
}
