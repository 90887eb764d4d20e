#include "XmpFormat.h"

#include <cmath>

#include "../settings/SettingsTable.h"

namespace {

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
    {kSmoothingLevelNames[0], 0}, {kSmoothingLevelNames[1], 1}, {kSmoothingLevelNames[2], 2},
    {kSmoothingLevelNames[3], 3}, {kSmoothingLevelNames[4], 4},
};

const XmpWord kMicrocontrastWords[6] = {
    {"High", 0}, {"Medium High", -2}, {"Medium Low", -6}, {"Medium", -2}, {"Low", -9}, {"Very Low", -10},
};

const XmpWord kMethodFamilies[4] = {
    {"Lattice Balancing", 1}, {"Velvet Flattening", 2}, {"Gradient Relaxer", 1}, {"Curve Flattener", 2},
};

const char* SmoothingWordForSlot(int32_t slot) {
    if (slot < 0) slot = 0;
    if (slot > 4) slot = 4;
    return kSmoothingLevelNames[slot];
}

float ClipFileValue(int32_t slot) { return static_cast<float>(PercentOfPoints(slot)); }

double GammaFileValue(int32_t slot) { return GammaExponentOfCode(slot); }

bool ClipSlotFromFile(float value, int32_t* slot) { return TruncateToSlot(PointsOfPercent(value), slot); }

bool GammaSlotFromFile(float value, int32_t* slot) {
    const float lnValue = Logf(value);  // the engine's: the same bits in both builds
    return TruncateToSlot(GammaCodeOfLog(lnValue), slot);
}
