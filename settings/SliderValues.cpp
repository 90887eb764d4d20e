#include "SliderValues.h"

#include <cmath>
#include <cstdio>

#include "../engine/SettingUnits.h"

namespace {

// The engine's log and pow (SettingUnits.h): the same bits in both builds.
const double kPointExponent = Log(0.025) / Log(0.3);

// Integer part, plus one when the fraction cut off exceeds one half; values
// beyond the int32 range saturate, and a value that is not a number (the
// curve of a negative point value) counts as 0.
int32_t RoundHalfDown(double v) {
    if (std::isnan(v)) return 0;
    if (v >= 2147483647.0) return INT32_MAX;
    if (v <= -2147483648.0) return INT32_MIN;
    int32_t i = static_cast<int32_t>(v);
    if (v - i > 0.5 && i < INT32_MAX) ++i;
    return i;
}

std::string Formatted(const char* format, double value) {
    char text[32];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

}  // namespace

double PointExponent() { return kPointExponent; }

int32_t SliderToPoint(int32_t position, double exponent) {
    return RoundHalfDown(kMaxPoints * Pow(position / 100.0, exponent));
}

int32_t PointToSlider(int32_t value, double exponent) {
    return RoundHalfDown(100.0 * Pow(value / static_cast<double>(kMaxPoints), exponent));
}

int32_t RecordValueOfPosition(const SettingInfo& info, int32_t position) {
    switch (info.control.mapping) {
        case PositionMapping::MinusTen: return SaturatedInt32(int64_t(position) - 10);
        case PositionMapping::MinusTwo: return SaturatedInt32(int64_t(position) - 2);
        case PositionMapping::PointCurve: return SliderToPoint(position, kPointExponent);
        default: return position;
    }
}

int32_t PositionOfRecordValue(const SettingInfo& info, int32_t value) {
    switch (info.control.mapping) {
        case PositionMapping::MinusTen: return SaturatedInt32(int64_t(value) + 10);
        case PositionMapping::MinusTwo: return SaturatedInt32(int64_t(value) + 2);
        case PositionMapping::PointCurve: return PointToSlider(value, 1.0 / kPointExponent);
        default: return value;
    }
}

std::string ValueLabelText(const SettingInfo& info, int32_t value) {
    const int32_t slot = RecordToSlot(info, value);
    switch (info.label) {
        case LabelUnit::SignedInteger: return (slot > 0 ? "+" : "") + std::to_string(slot);
        case LabelUnit::Percent: return Formatted("%2.3f", PercentOfPoints(slot));
        case LabelUnit::GammaExponent: return Formatted("%2.2f", GammaExponentOfCode(slot));
        case LabelUnit::SmoothingLevel:
            return slot >= 0 && slot < kSmoothingLevelCount ? kSmoothingLevelNames[slot] : "";
        default: return std::to_string(slot);
    }
}
