#include "DescriptorValues.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

const double kLn2 = std::log(2.0);

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
    if (info.descriptor == DescriptorConversion::MinusTen) return field - 10;
    return field;
}

double DescriptorFloatOf(const SettingInfo& info, int32_t field) {
    if (info.descriptor == DescriptorConversion::GammaExponent) return std::exp((50 - field) * kLn2 / 50);
    return field / 20000.0;
}

int32_t FieldOfDescriptorInteger(const SettingInfo& info, int32_t value) {
    if (info.descriptor == DescriptorConversion::MinusTen)
        return static_cast<int32_t>(std::min<int64_t>(int64_t(value) + 10, std::numeric_limits<int32_t>::max()));
    return value;
}

bool FieldOfDescriptorFloat(const SettingInfo& info, double value, int32_t* field) {
    if (std::isnan(value)) return false;
    double v = value * 20000;
    if (info.descriptor == DescriptorConversion::GammaExponent) {
        // 2^((50 - code) / 50) solved for the code; non-positive exponents have none.
        if (value <= 0) return false;
        v = 50 * (1 - std::log(value) / kLn2);
    }
    *field = TruncateAllowingRoundingError(v);
    return true;
}

bool InLastUsedRange(const SettingInfo& info, double value) {
    return value >= info.lastUsedMin && value <= info.lastUsedMax;
}
