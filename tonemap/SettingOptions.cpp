#include "SettingOptions.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace {

// Level names by slot: 0 is "Very High" smoothing, 4 "Very Low".
const char* const kSmoothingNames[5] = {"very-high", "high", "medium", "low", "very-low"};

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
    auto [stop, ec] = std::from_chars(begin, end, *value, std::chars_format::fixed);
    return ec == std::errc() && stop == end && begin != end;
}

std::string Normalised(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return c == ' ' || c == '_' ? '-' : std::tolower(c); });
    return text;
}

std::string Format(const char* format, double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, value);
    return buffer;
}

double GammaOfSlot(int32_t slot) { return std::exp((50 - slot) * std::log(2.0) / 50); }

int32_t SlotOfGamma(double gamma) {
    return static_cast<int32_t>(std::clamp(std::lround(50 * (1 - std::log2(gamma))), 0L, 100L));
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
            return Format("%.3f", lo * 0.00005) + " to " + Format("%.3f", hi * 0.00005) + " percent";
        case LabelUnit::GammaExponent:
            return Format("%.2f", GammaOfSlot(hi)) + " to " + Format("%.2f", GammaOfSlot(lo));
        case LabelUnit::SmoothingLevel: return "very-low, low, medium, high or very-high";
        default: return std::to_string(lo) + " to " + std::to_string(hi);
    }
}

bool ParseSettingValue(const SettingInfo& info, const std::string& text, int32_t* slot, std::string* problem) {
    const std::string option = "--" + std::string(info.option);
    int32_t lo = 0, hi = 0;
    SettingSlotRange(info, &lo, &hi);
    if (info.label == LabelUnit::SmoothingLevel) {
        const std::string name = Normalised(text);
        for (int32_t level = 0; level < 5; ++level) {
            if (name == kSmoothingNames[level]) {
                *slot = level;
                return true;
            }
        }
        *problem = option + ": \"" + text + "\" is not a level; use " + SettingRangeText(info) + ".";
        return false;
    }
    if (info.label == LabelUnit::Integer) {
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
        if (!(value >= lo * 0.00005 && value <= hi * 0.00005)) {
            *problem = OutOfRange(info, text);
            return false;
        }
        *slot = static_cast<int32_t>(std::llround(value * 20000));
        return true;
    }
    if (!(value >= GammaOfSlot(hi) - 1e-12 && value <= GammaOfSlot(lo) + 1e-12)) {
        *problem = OutOfRange(info, text);
        return false;
    }
    *slot = SlotOfGamma(value);
    return true;
}

std::string SettingValueText(const SettingInfo& info, int32_t slot) {
    switch (info.label) {
        case LabelUnit::SmoothingLevel: return slot >= 0 && slot < 5 ? kSmoothingNames[slot] : std::to_string(slot);
        case LabelUnit::Percent: {
            const std::string shortText = Format("%.3f", slot * 0.00005);
            double back = 0;
            ParseDecimal(shortText, &back);
            return std::llround(back * 20000) == slot ? shortText : Format("%.5f", slot * 0.00005);
        }
        case LabelUnit::GammaExponent:
            for (const char* format : {"%.2f", "%.3f", "%.4f"}) {
                const std::string text = Format(format, GammaOfSlot(slot));
                double back = 0;
                if (ParseDecimal(text, &back) && back > 0 && SlotOfGamma(back) == slot) return text;
            }
            return Format("%.6f", GammaOfSlot(slot));
        default: return std::to_string(slot);
    }
}

const SettingInfo* SettingForOption(const std::string& name) {
    for (const SettingInfo& info : kSettingTable)
        if (name == info.option) return &info;
    return nullptr;
}
