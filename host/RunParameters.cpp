#include "RunParameters.h"

#include "../engine/ToneMapEngine.h"
#include "FullRun.h"

namespace {

// Gaussian pyramid levels over which the gradients are attenuated.
constexpr int32_t kGradientReductions = 4;

}  // namespace

int32_t LuminositySteps(int32_t luminosityCode) { return static_cast<int32_t>(1.0 + 0.6 * luminosityCode); }

float MicroSmoothingFactor(int32_t microSmoothing) {
    if (microSmoothing > 11) return static_cast<float>(0.7333 + (microSmoothing - 11) / 10.0);
    return static_cast<float>(microSmoothing / 15.0);
}

void FillOutputSettings(const TMSettings& s, int32_t array[kSettingCount]) {
    for (int i = 0; i < kSettingCount; ++i) array[i] = 0;
    array[kSlotStrength] = s.strength;
    array[kSlotColorSaturation] = s.colorSaturation;
    array[kSlotWhiteClip] = s.whitePoint;
    array[kSlotBlackClip] = s.blackPoint;
    array[kSlotGamma] = s.gammaCode;
    array[kSlotHighlightsSmoothing] = s.highlightsSmoothing;
    array[kSlotShadowsSmoothing] = s.shadowsSmoothing;
    array[kSlotShadowsClipping] = s.shadowsClipping;
    array[kSlotColorTemperature] = s.colorTemperature;
    array[kSlotSaturationHighlights] = s.saturationHighlights;
    array[kSlotSaturationShadows] = s.saturationShadows;
}

int32_t PanoramaPad(const TMSettings& settings, int32_t width) { return settings.is360 ? width / 4 : 0; }

bool PlanFullRunGrid(int32_t width, int32_t height, const TMSettings& settings, PyramidPlan* plan) {
    if (width < kMinimumImageSide || height < kMinimumImageSide) return false;
    PlanPyramids(width + 2 * PanoramaPad(settings, width), height, settings.lightSmoothingCode, kGradientReductions,
                 plan);
    return PlanIsUsable(*plan);
}

int64_t FullRunWorkBufferBytes(int32_t width, int32_t height, const TMSettings& settings) {
    PyramidPlan plan{};
    if (!PlanFullRunGrid(width, height, settings, &plan)) return -1;
    const int32_t values = WorkBufferValues(plan);
    return values < 0 ? -1 : 4 * static_cast<int64_t>(values);
}

int16_t HostCodeOfStage(int32_t stageResult) {
    if (stageResult >= 0) return noErr;
    return stageResult == kEngineOutOfMemory ? memFullErr : filterBadParameters;
}
