// Pyramid plans and the work buffer size.
#include <gtest/gtest.h>

#include "EngineTestSupport.h"
#include "PyramidLevels.h"

namespace {

TEST(PyramidPlan, WorkedExamples) {
    struct Case {
        int32_t w, h, s, levels, solverSize, solverW, solverH, gradientSize, gradientW, gradientH;
    };
    const Case cases[] = {
        {1000, 1000, 1, 6, 1333374, 16, 16, 1332094, 63, 63},
        {512, 342, 1, 4, 233344, 32, 22, 233344, 32, 22},
        {600, 400, 2, 6, 320017, 10, 7, 319700, 38, 25},
        {100, 100, 0, 2, 13125, 25, 25, 13343, 7, 7},
        {150, 150, -2, 0, 22500, 150, 150, 30030, 10, 10},
    };
    for (const Case& c : cases) {
        PyramidPlan plan;
        plan.entry[0] = 777;
        EXPECT_EQ(PlanPyramids(c.w, c.h, c.s, 4, &plan), 4);
        const int32_t expected[13] = {777,  c.w,         c.h,         c.w,         c.h,         c.solverSize, c.gradientSize,
                                      c.solverW, c.solverH, c.gradientW, c.gradientH, c.levels,    4};
        for (int i = 0; i < 13; ++i) EXPECT_EQ(plan.entry[i], expected[i]) << c.w << " x " << c.h << " entry " << i;
    }
}

TEST(PyramidPlan, LevelCounts) {
    // Halvings to about 32 pixels round to nearest, an exact half down.
    const int32_t sides[] = {90, 91, 180, 181, 361, 362};
    const int32_t halvings[] = {1, 2, 2, 3, 3, 4};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(MakePlan(sides[i], sides[i], 0).entry[kPlanSolverLevels], halvings[i]) << sides[i];
    // Each step of Light Smoothing adds one level.
    const int32_t coarsest[5][2] = {{125, 94}, {63, 47}, {32, 24}, {16, 12}, {8, 6}};
    for (int32_t s = -2; s <= 2; ++s) {
        const PyramidPlan plan = MakePlan(4000, 3000, s);
        EXPECT_EQ(plan.entry[kPlanSolverLevels], 7 + s);
        EXPECT_EQ(plan.entry[kPlanSolverCoarsestWidth], coarsest[s + 2][0]);
        EXPECT_EQ(plan.entry[kPlanSolverCoarsestHeight], coarsest[s + 2][1]);
    }
    EXPECT_EQ(MakePlan(4000, 3000, 1000).entry[kPlanSolverLevels], 9);  // held to the setting's range
}

TEST(PyramidPlan, ImpossibleGridsAreRefusedByTheirEntries) {
    EXPECT_EQ(MakePlan(0, 100, 0).entry[kPlanSolverSize], 0);
    EXPECT_FALSE(PlanIsUsable(MakePlan(0, 100, 0)));
    EXPECT_EQ(WorkBufferValues(MakePlan(0, 100, 0)), -1);
    EXPECT_EQ(MakePlan(50000, 50000, 0).entry[kPlanSolverSize], -1);  // beyond int32
    EXPECT_FALSE(PlanIsUsable(MakePlan(50000, 50000, 0)));
    EXPECT_EQ(WorkBufferValues(MakePlan(50000, 50000, 0)), -1);
    // Solver level counts below 1 are tm2's business, not a refusal.
    EXPECT_TRUE(PlanIsUsable(MakePlan(150, 150, -2)));
}

// The drivers allocate max(entry 5, entry 6) values per buffer: enough for
// tm2's own stack, also where it raises L below 1 to one level.
TEST(PyramidPlan, DriverBuffersHoldEverySolverStack) {
    int raised = 0;
    for (int32_t w = 10; w <= 420; w += 7) {
        for (int32_t h = 10; h <= 420; h += 11) {
            for (int32_t s = -2; s <= 2; ++s) {
                const PyramidPlan plan = MakePlan(w, h, s);
                const int32_t* e = plan.entry;
                ASSERT_EQ(WorkBufferValues(plan), std::max(e[kPlanSolverSize], e[kPlanGradientSize]))
                    << w << " x " << h << " S=" << s;
                SolverLevels levels;
                ASSERT_TRUE(PlanSolverLevels(w, h, e[kPlanSolverCoarsestWidth], e[kPlanSolverCoarsestHeight],
                                             e[kPlanSolverLevels], &levels));
                if (e[kPlanSolverLevels] >= 1) {
                    ASSERT_LE(levels.values, e[kPlanSolverSize]) << w << " x " << h << " S=" << s;
                }
                raised += e[kPlanSolverLevels] < 1;
            }
        }
    }
    EXPECT_GT(raised, 0);
}

}  // namespace
