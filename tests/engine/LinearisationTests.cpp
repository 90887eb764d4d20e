// The linearisation table of integer codes.
#include <gtest/gtest.h>

#include <vector>

#include "EngineMaths.h"
#include "EngineTestSupport.h"

namespace {

TEST(LinearisationTable, PowerCurveValues) {
    std::vector<float> table(65537, 0.0f);  // the full run's N + 1 values
    EXPECT_EQ(BuildLinearisationTable(0, 65536, table.data()), 65536);
    EXPECT_NEAR(table[1], 1.66044e-06f, 1e-11);
    EXPECT_NEAR(table[32768], 14263.1f, 0.05);
    EXPECT_NEAR(table[65535], 65533.8f, 0.05);
    EXPECT_EQ(table[0], table[1]);
    EXPECT_EQ(table[65536], 0.0f);
    EXPECT_EQ(65536.0f * Powf(0.5f, 2.2f), table[32768]);  // single precision throughout

    for (int32_t n : {256, 0, -7}) {  // no count means 256 codes
        std::vector<float> small(256);
        EXPECT_EQ(BuildLinearisationTable(-3, n, small.data()), 256);
        EXPECT_NEAR(small[1], 0.00128858f, 1e-8);
        EXPECT_NEAR(small[128], 55.7152f, 5e-4);
        EXPECT_NEAR(small[255], 253.805f, 5e-4);
    }
}

TEST(LinearisationTable, LinearSelectorGivesTheCodes) {
    for (int32_t n : {256, 65536}) {
        std::vector<float> table(n);
        BuildLinearisationTable(1, n, table.data());
        for (int32_t i = 1; i < n; ++i) ASSERT_EQ(table[i], static_cast<float>(i)) << i;
        EXPECT_EQ(table[0], 1.0f);
    }
    float one[2] = {-1.0f, -2.0f};  // one code: no entry 1 to read
    EXPECT_EQ(BuildLinearisationTable(1, 1, one), 1);
    EXPECT_EQ(one[0], 1.0f);
    EXPECT_EQ(one[1], -2.0f);
}

}  // namespace
