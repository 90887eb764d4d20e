#include "SettingOptions.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "../engine/SettingUnits.h"

namespace {

bool ParseWhole(const std::string& text, int64_t* value) {
    const char* begin = text.data();
    const char* end = begin + text.size();
    if (begin != end && *begin == '+') ++begin;
    auto [stop, ec] = std::from_chars(begin, end, *value);
    return ec == std::errc() && stop == end && begin != end;
}

bool ParseDecimal(const std::string& text, double* value) {
    const char* begin = text.data();
    const char* end = begin + text.size();
    if (begin != end && *begin == '+') ++begin;
    auto [stop, ec] = std::from_chars(begin, end, *value, std::chars_format::general);
    return ec == std::errc() && stop == end && begin != end;
}

// Lower case, with dashes for spaces and underscores: "Very High" is very-high.
std::string Normalised(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return c == ' ' || c == '_' ? '-' : std::tolower(c); });
    return text;
}

// The command line's name of a Light Smoothing level (slot 0..4).
std::string SmoothingOptionName(int32_t slot) { return Normalised(kSmoothingLevelNames[slot]); }

std::string Format(const char* format, double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, value);
    return buffer;
}

// The nearest of the slider's positions, 0..100.
int32_t SlotOfGamma(double gamma) {
    return static_cast<int32_t>(std::clamp(std::lround(GammaCodeOfLog(Log(gamma))), 0L, long(kMaxGammaCode)));
}

std::string OutOfRange(const SettingInfo& info, const std::string& text) {
    return "--" + std::string(info.option) + ": " + text + " is outside the slider's range, " + SettingRangeText(info) +
           ".";
}

}  // namespace

void SettingSlotRange(const SettingInfo& info, int32_t* lowest, int32_t* highest) {
    const int32_t a = RecordToSlot(info, info.recordMin);
    const int32_t b = RecordToSlot(info, info.recordMax);
    *lowest = std::min(a, b);
    *highest = std::max(a, b);
}

std::string SettingRangeText(const SettingInfo& info) {
    int32_t lo = 0, hi = 0;
    SettingSlotRange(info, &lo, &hi);
    switch (info.label) {
        case LabelUnit::Percent:
            return Format("%.3f", PercentOfPoints(lo)) + " to " + Format("%.3f", PercentOfPoints(hi)) + " percent";
        case LabelUnit::GammaExponent:
            return Format("%.2f", GammaExponentOfCode(hi)) + " to " + Format("%.2f", GammaExponentOfCode(lo));
        case LabelUnit::SmoothingLevel: {
            std::string names;
            for (int32_t level = kSmoothingLevelCount - 1; level >= 0; --level)
                names += SmoothingOptionName(level) + (level > 1 ? ", " : level == 1 ? " or " : "");
            return names;
        }
        default: return std::to_string(lo) + " to " + std::to_string(hi);
    }
}

bool ParseSettingValue(const SettingInfo& info, const std::string& text, int32_t* slot, std::string* problem) {
    const std::string option = "--" + std::string(info.option);
    int32_t lo = 0, hi = 0;
    SettingSlotRange(info, &lo, &hi);
    if (info.label == LabelUnit::SmoothingLevel) {
        const std::string name = Normalised(text);
        for (int32_t level = 0; level < kSmoothingLevelCount; ++level) {
            if (name == SmoothingOptionName(level)) {
                *slot = level;
                return true;
            }
        }
        *problem = option + ": \"" + text + "\" is not a level; use " + SettingRangeText(info) + ".";
        return false;
    }
    if (info.label == LabelUnit::Integer || info.label == LabelUnit::SignedInteger) {
        int64_t value = 0;
        if (!ParseWhole(text, &value)) {
            *problem = option + ": \"" + text + "\" is not a whole number.";
            return false;
        }
        if (value < lo || value > hi) {
            *problem = OutOfRange(info, text);
            return false;
        }
        *slot = static_cast<int32_t>(value);
        return true;
    }
    double value = 0;
    if (!ParseDecimal(text, &value)) {
        *problem = option + ": \"" + text + "\" is not a number.";
        return false;
    }
    if (info.label == LabelUnit::Percent) {
        if (!(value >= PercentOfPoints(lo) && value <= PercentOfPoints(hi))) {
            *problem = OutOfRange(info, text);
            return false;
        }
        *slot = static_cast<int32_t>(std::llround(PointsOfPercent(value)));
        return true;
    }
    if (!(value >= GammaExponentOfCode(hi) - 1e-12 && value <= GammaExponentOfCode(lo) + 1e-12)) {
        *problem = OutOfRange(info, text);
        return false;
    }
    *slot = SlotOfGamma(value);
    return true;
}

std::string SettingValueText(const SettingInfo& info, int32_t slot) {
    switch (info.label) {
        case LabelUnit::SmoothingLevel:
            return slot >= 0 && slot < kSmoothingLevelCount ? SmoothingOptionName(slot) : std::to_string(slot);
        case LabelUnit::Percent: {
            const std::string shortText = Format("%.3f", PercentOfPoints(slot));
            double back = 0;
            ParseDecimal(shortText, &back);
            return std::llround(PointsOfPercent(back)) == slot ? shortText : Format("%.5f", PercentOfPoints(slot));
        }
        case LabelUnit::GammaExponent:
            for (const char* format : {"%.2f", "%.3f", "%.4f"}) {
                const std::string text = Format(format, GammaExponentOfCode(slot));
                double back = 0;
                if (ParseDecimal(text, &back) && back > 0 && SlotOfGamma(back) == slot) return text;
            }
            return Format("%.6f", GammaExponentOfCode(slot));
        default: return std::to_string(slot);
    }
}

const SettingInfo* SettingForOption(const std::string& name) {
    for (const SettingInfo& info : kSettingTable)
        if (name == info.option) return &info;
    return nullptr;
}
