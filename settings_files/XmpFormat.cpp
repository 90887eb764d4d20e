#include "XmpFormat.h"

#include <cmath>

namespace {

constexpr double kLn2 = 0.69314718055994530942;

// Truncation toward zero; a plain cast is undefined outside the int32 range.
bool TruncateToSlot(double value, int32_t* slot) {
    if (std::isnan(value)) return false;
    if (!(value < 2147483648.0)) {
        *slot = INT32_MAX;
    } else if (!(value > -2147483649.0)) {
        *slot = INT32_MIN;
    } else {
        *slot = static_cast<int32_t>(value);
    }
    return true;
}

}  // namespace

const XmpWord kSmoothingWords[5] = {
    {"Very High", 0}, {"High", 1}, {"Medium", 2}, {"Low", 3}, {"Very Low", 4},
};

const char* const kSmoothingWrittenWords[5] = {"Very High", "High    ", "Medium  ", "Low     ", "Very Low"};

const XmpWord kMicrocontrastWords[6] = {
    {"High", 0}, {"Medium High", -2}, {"Medium Low", -6}, {"Medium", -2}, {"Low", -9}, {"Very Low", -10},
};

const XmpWord kMethodFamilies[4] = {
    {"Lattice Balancing", 1}, {"Velvet Flattening", 2}, {"Gradient Relaxer", 1}, {"Curve Flattener", 2},
};

const char* SmoothingWordForSlot(int32_t slot) {
    if (slot < 0) slot = 0;
    if (slot > 4) slot = 4;
    return kSmoothingWrittenWords[slot];
}

float ClipFileValue(int32_t slot) { return static_cast<float>(slot * 0.00005); }

double GammaFileValue(int32_t slot) { return std::exp((50.0 - slot) * kLn2 / 50.0); }

bool ClipSlotFromFile(float value, int32_t* slot) { return TruncateToSlot(value * 20000.0, slot); }

bool GammaSlotFromFile(float value, int32_t* slot) {
    const float lnValue = std::log(value);  // ln g in single precision, the rest in double
    return TruncateToSlot(50.0 * (1.0 - lnValue / kLn2), slot);
}
