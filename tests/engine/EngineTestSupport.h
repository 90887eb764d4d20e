// Helpers shared by the engine tests.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "ToneMapEngine.h"

// Exactly `values` floats, zero-filled, between canaries that show any write
// outside.
struct GuardedBuffer {
    static constexpr int kGuard = 64;
    std::vector<float> storage;
    explicit GuardedBuffer(int64_t values) : storage(static_cast<size_t>(values + 2 * kGuard), 0.0f) {
        std::fill(storage.begin(), storage.begin() + kGuard, -12345.0f);
        std::fill(storage.end() - kGuard, storage.end(), -12345.0f);
    }
    float* data() { return storage.data() + kGuard; }
    bool Intact() const {
        for (int i = 0; i < kGuard; ++i) {
            if (storage[i] != -12345.0f || storage[storage.size() - 1 - i] != -12345.0f) return false;
        }
        return true;
    }
};

// The three work buffers of a run.
struct WorkBuffers {
    GuardedBuffer b0, b1, b2;
    explicit WorkBuffers(int64_t values) : b0(values), b1(values), b2(values) {}
    bool Intact() const { return b0.Intact() && b1.Intact() && b2.Intact(); }
};

inline PyramidPlan MakePlan(int32_t w, int32_t h, int32_t smoothing) {
    PyramidPlan plan{};
    PlanPyramids(w, h, smoothing, 4, &plan);
    return plan;
}

// tm1 and tm2 as the drivers call them.
inline int32_t AttenuateAsDriver(const PyramidPlan& plan, WorkBuffers& b, ImageStats* stats, int32_t m = 0,
                                 float f = 0.0f) {
    return tm1(0, plan.entry[kPlanRowLength], plan.entry[kPlanRowCount], 7, m, f, &plan, stats, b.b0.data(),
               b.b1.data(), b.b2.data());
}
inline int32_t SolveAsDriver(const PyramidPlan& plan, WorkBuffers& b) {
    const int32_t* e = plan.entry;
    return tm2(e[kPlanRowLength], e[kPlanRowCount], e[kPlanRowLength], e[kPlanRowCount], e[kPlanSolverCoarsestWidth],
               e[kPlanSolverCoarsestHeight], e[kPlanSolverSize], e[kPlanSolverLevels], b.b1.data(), b.b2.data(),
               b.b0.data());
}

// Deterministic 32-bit RGB scene: four decades of luminance left to right,
// ripples and two bright discs.
std::vector<float> SyntheticScene(int32_t w, int32_t h);
