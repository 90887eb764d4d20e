#include "RunParameters.h"

#include "../engine/ToneMapEngine.h"

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

int16_t HostCodeOfStage(int32_t stageResult) {
    if (stageResult >= 0) return noErr;
    return stageResult == kEngineOutOfMemory ? memFullErr : filterBadParameters;
}
