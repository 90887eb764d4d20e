#include "DescriptorValues.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "../engine/SettingUnits.h"

namespace {

int32_t SaturateToInt32(double v) {
    if (v >= 2147483647.0) return std::numeric_limits<int32_t>::max();
    if (v <= -2147483648.0) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(v);
}

// Truncation toward zero, except for values that are an integer up to the
// rounding error of the conversion formulas: 5000 / 20000.0 x 20000 must give
// 5000 back, not 4999.
int32_t TruncateAllowingRoundingError(double v) {
    const double nearest = std::nearbyint(v);
    if (std::fabs(v - nearest) <= 1e-9 * std::max(1.0, std::fabs(v))) v = nearest;
    return SaturateToInt32(v);
}

}  // namespace

int32_t DescriptorIntegerOf(const SettingInfo& info, int32_t field) {
    if (info.descriptor == DescriptorConversion::MinusTen) return SaturatedInt32(int64_t(field) - 10);
    return field;
}

double DescriptorFloatOf(const SettingInfo& info, int32_t field) {
    if (info.descriptor == DescriptorConversion::GammaExponent) return GammaExponentOfCode(field);
    return DescriptorPercentOfPoints(field);
}

int32_t FieldOfDescriptorInteger(const SettingInfo& info, int32_t value) {
    if (info.descriptor == DescriptorConversion::MinusTen) return SaturatedInt32(int64_t(value) + 10);
    return value;
}

bool FieldOfDescriptorFloat(const SettingInfo& info, double value, int32_t* field) {
    if (std::isnan(value)) return false;
    double v = PointsOfPercent(value);
    if (info.descriptor == DescriptorConversion::GammaExponent) {
        // Non-positive exponents have no code.
        if (value <= 0) return false;
        v = GammaCodeOfLog(Log(value));  // the engine's log: the same in both builds
    }
    *field = TruncateAllowingRoundingError(v);
    return true;
}

bool InLastUsedRange(const SettingInfo& info, double value) {
    return value >= info.lastUsedMin && value <= info.lastUsedMax;
}
