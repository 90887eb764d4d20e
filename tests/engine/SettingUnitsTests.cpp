// The units of the settings array and the precision each use computes them in.
#include <gtest/gtest.h>

#include <cmath>

#include "SettingUnits.h"

namespace {

// ln 2 rounded to the nearest double, as the compiler folds std::log(2.0):
// the value every conversion has always used, on every build.
TEST(SettingUnits, Ln2IsTheNearestDouble) { EXPECT_EQ(kLn2, 0x1.62e42fefa39efp-1); }

TEST(SettingUnits, PointsAsPercentByProductAndByQuotient) {
    EXPECT_EQ(DescriptorPercentOfPoints(5000), 0.25);
    EXPECT_EQ(PercentOfPoints(kMaxPoints), 10.0);
    EXPECT_EQ(PointsOfPercent(0.25), 5000.0);
    // The two ways differ in the last bit for most values; each use keeps its own.
    EXPECT_NE(PercentOfPoints(3), DescriptorPercentOfPoints(3));
    EXPECT_GT(PercentOfPoints(3), DescriptorPercentOfPoints(3));
    // Truncation alone would lose a point on the way back: the descriptors'
    // reader allows for rounding error, the settings files' does not.
    EXPECT_EQ(static_cast<int32_t>(PointsOfPercent(DescriptorPercentOfPoints(3))), 2);
}

TEST(SettingUnits, GammaCodesAndExponents) {
    EXPECT_EQ(GammaExponentOfCode(kGammaCodeOfOne), 1.0);
    EXPECT_EQ(GammaExponentOfCode(0), 2.0);
    EXPECT_EQ(GammaExponentOfCode(kMaxGammaCode), 0.5);
    EXPECT_EQ(GammaCodeOfLog(0.0), 50.0);
    EXPECT_EQ(GammaCodeOfLog(std::log(2.0)), 0.0);
    // The logarithm's precision decides truncated codes: settings files take
    // it in single precision, where code 29 comes back just below 29.
    const double g = GammaExponentOfCode(29);
    EXPECT_GE(GammaCodeOfLog(std::log(g)), 29.0);
    EXPECT_LT(GammaCodeOfLog(std::log(static_cast<float>(g))), 29.0);
}

}  // namespace
