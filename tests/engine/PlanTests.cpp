// Pyramid plans: level counts, coarsest sizes and pyramid sizes.
#include <gtest/gtest.h>

#include "EngineTestSupport.h"
#include "PyramidLevels.h"

namespace {

struct PlanCase {
    int32_t w, h, smoothing;
    int32_t levels, solverSize, solverW, solverH, gradientSize, gradientW, gradientH;
};

TEST(PyramidPlan, WorkedExamples) {
    const PlanCase cases[] = {
        {1000, 1000, 1, 6, 1333374, 16, 16, 1332094, 63, 63},
        {512, 342, 1, 4, 233344, 32, 22, 233344, 32, 22},
        {600, 400, 2, 6, 320017, 10, 7, 319700, 38, 25},
        {100, 100, 0, 2, 13125, 25, 25, 13343, 7, 7},
        {150, 150, -2, 0, 22500, 150, 150, -1, -1, -1},
    };
    for (const PlanCase& c : cases) {
        PyramidPlan plan;
        plan.entry[0] = 777;
        EXPECT_EQ(PlanPyramids(c.w, c.h, c.smoothing, 4, &plan), 4);
        const int32_t* e = plan.entry;
        SCOPED_TRACE(testing::Message() << c.w << " x " << c.h << " S=" << c.smoothing);
        EXPECT_EQ(e[0], 777);  // not written
        EXPECT_EQ(e[1], c.w);
        EXPECT_EQ(e[3], c.w);
        EXPECT_EQ(e[2], c.h);
        EXPECT_EQ(e[4], c.h);
        EXPECT_EQ(e[11], c.levels);
        EXPECT_EQ(e[12], 4);
        EXPECT_EQ(e[5], c.solverSize);
        EXPECT_EQ(e[7], c.solverW);
        EXPECT_EQ(e[8], c.solverH);
        if (c.gradientSize > 0) {
            EXPECT_EQ(e[6], c.gradientSize);
            EXPECT_EQ(e[9], c.gradientW);
            EXPECT_EQ(e[10], c.gradientH);
        }
    }
}

TEST(PyramidPlan, HalvingsRoundToNearestWithExactHalfDown) {
    // A square side with Light Smoothing 0 gives L = the halvings of the side.
    const int32_t sides[] = {90, 91, 180, 181, 361, 362};
    const int32_t halvings[] = {1, 2, 2, 3, 3, 4};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(MakePlan(sides[i], sides[i], 0).entry[11], halvings[i]) << sides[i];
}

TEST(PyramidPlan, LightSmoothingAddsOrRemovesOneLevel) {
    const int32_t coarsest[5][2] = {{125, 94}, {63, 47}, {32, 24}, {16, 12}, {8, 6}};
    for (int32_t s = -2; s <= 2; ++s) {
        const PyramidPlan plan = MakePlan(4000, 3000, s);
        EXPECT_EQ(plan.entry[11], 7 + s);
        EXPECT_EQ(plan.entry[7], coarsest[s + 2][0]);
        EXPECT_EQ(plan.entry[8], coarsest[s + 2][1]);
    }
}

TEST(PyramidPlan, StalledLevelsAreCountedAgain) {
    // 40 x 12: the solver halves once (20 x 6), then counts 20 x 6 for every
    // further planned level; the gradient pyramid stops at 10 x 3.
    const PyramidPlan plan = MakePlan(40, 12, 2);
    const int32_t* e = plan.entry;
    ASSERT_EQ(e[11], 1);  // nw = 0, nh = -1
    EXPECT_EQ(e[5], 40 * 12 + 20 * 6);
    EXPECT_EQ(e[6], 40 * 12 + 20 * 6 + 3 * 10 * 3);
    EXPECT_EQ(e[9], 10);
    EXPECT_EQ(e[10], 3);
}

TEST(PyramidPlan, ImpossibleGridsGiveEntriesTheDriversRefuse) {
    PyramidPlan plan{};
    PlanPyramids(0, 100, 0, 4, &plan);
    EXPECT_EQ(plan.entry[1], 0);
    EXPECT_EQ(plan.entry[5], 0);
    EXPECT_EQ(WorkBufferValues(plan), -1);
    // Beyond int32 values the sizes are -1.
    PlanPyramids(50000, 50000, 0, 4, &plan);
    EXPECT_EQ(plan.entry[5], -1);
    EXPECT_EQ(plan.entry[6], -1);
    EXPECT_EQ(WorkBufferValues(plan), -1);
    // An absurd Light Smoothing code is held to the setting's range.
    PlanPyramids(4000, 3000, 1000, 4, &plan);
    EXPECT_EQ(plan.entry[11], 9);
}

// The drivers allocate max(entry 5, entry 6) values per work buffer. That is
// enough for tm2 even where it raises L below 1 to one level, and for every
// plan the solver's own stack fits into entry 5.
TEST(PyramidPlan, DriverBuffersHoldEverySolverStack) {
    int raised = 0;
    for (int32_t w = 10; w <= 420; w += 7) {
        for (int32_t h = 10; h <= 420; h += 11) {
            for (int32_t s = -2; s <= 2; ++s) {
                const PyramidPlan plan = MakePlan(w, h, s);
                const int32_t* e = plan.entry;
                ASSERT_EQ(WorkBufferValues(plan), std::max(e[5], e[6])) << w << " x " << h << " S=" << s;
                SolverLevels levels;
                ASSERT_TRUE(PlanSolverLevels(e[3], e[4], e[7], e[8], e[11], &levels));
                if (e[11] >= 1) {
                    ASSERT_LE(levels.values, e[5]) << w << " x " << h << " S=" << s;
                } else {
                    ++raised;
                }
            }
        }
    }
    EXPECT_GT(raised, 0);
}

}  // namespace
