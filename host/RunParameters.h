// Values the full and preview runs derive from the settings record before
// they call the engine stages.
#pragma once

#include <cstdint>

#include "Settings.h"

// Compression steps of the Luminosity setting: trunc(1.0 + 0.6 x code).
int32_t LuminositySteps(int32_t luminosityCode);

// Offset factor of the Micro-smoothing setting: 0..11 in fifteenths, then
// steeper, so that 30 gives 2.6333.
float MicroSmoothingFactor(int32_t microSmoothing);

// The settings array as the output stage reads it: the settings that reach
// the earlier stages directly (Luminosity, Light Smoothing, Microcontrast,
// Micro-smoothing) stay 0.
void FillOutputSettings(const TMSettings& settings, int32_t array[kSettingCount]);

// Maps an engine stage's result to a host result code.
int16_t HostCodeOfStage(int32_t stageResult);
