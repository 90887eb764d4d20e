// Helpers shared by the engine tests: guarded work buffers and exact
// comparison of libm results.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "ToneMapEngine.h"

// Results of logf, powf, expf, log, pow and exp may differ in the last bit
// between glibc and mingw-w64's maths library: exact on Linux, within a few
// units in the last place on Windows.
#ifdef _WIN32
#define EXPECT_LIBM_EQ(expected, actual) EXPECT_NEAR(expected, actual, 4e-7 * std::fabs(expected) + 1e-30)
#else
#define EXPECT_LIBM_EQ(expected, actual) EXPECT_EQ(expected, actual)
#endif

// A work buffer of exactly `values` floats with canaries on both sides, so
// that a test sees any write outside it.
struct GuardedBuffer {
    static constexpr int kGuard = 64;
    static constexpr float kCanary = -12345.678f;
    std::vector<float> storage;

    explicit GuardedBuffer(int64_t values) : storage(static_cast<size_t>(values + 2 * kGuard), 0.0f) {
        for (int i = 0; i < kGuard; ++i) {
            storage[i] = kCanary;
            storage[storage.size() - 1 - i] = kCanary;
        }
    }
    float* data() { return storage.data() + kGuard; }
    const float* data() const { return storage.data() + kGuard; }
    bool Intact() const {
        for (int i = 0; i < kGuard; ++i) {
            if (storage[i] != kCanary || storage[storage.size() - 1 - i] != kCanary) return false;
        }
        return true;
    }
};

// The three work buffers of a run, zero-filled as the drivers leave them.
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

// tm2 as the drivers call it.
inline int32_t SolveAsDriver(const PyramidPlan& plan, WorkBuffers& buffers) {
    const int32_t* e = plan.entry;
    return tm2(e[3], e[4], e[3], e[4], e[7], e[8], e[5], e[11], buffers.b1.data(), buffers.b2.data(),
               buffers.b0.data());
}

// A deterministic HDR-like 32-bit RGB scene: a smooth luminance ramp over
// several decades with a few bright discs.
std::vector<float> SyntheticScene(int32_t w, int32_t h, int32_t nb = 3);
