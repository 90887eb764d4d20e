#include "RunParameters.h"

#include "../engine/ToneMapEngine.h"

int32_t LuminositySteps(int32_t luminosityCode) { return static_cast<int32_t>(1.0 + 0.6 * luminosityCode); }

float MicroSmoothingFactor(int32_t microSmoothing) {
    if (microSmoothing > 11) return static_cast<float>(0.7333 + (microSmoothing - 11) / 10.0);
    return static_cast<float>(microSmoothing / 15.0);
}

void FillOutputSettings(const TMSettings& s, int32_t array[kSettingCount]) {
    for (int i = 0; i < kSettingCount; ++i) array[i] = 0;
    array[1] = s.strength;
    array[2] = s.colorSaturation;
    array[3] = s.whitePoint;
    array[4] = s.blackPoint;
    array[8] = s.gammaCode;
    array[9] = s.highlightsSmoothing;
    array[10] = s.shadowsSmoothing;
    array[11] = s.shadowsClipping;
    array[12] = s.colorTemperature;
    array[13] = s.saturationHighlights;
    array[14] = s.saturationShadows;
}

int16_t HostCodeOfStage(int32_t stageResult) {
    if (stageResult >= 0) return noErr;
    return stageResult == kEngineOutOfMemory ? memFullErr : filterBadParameters;
}
