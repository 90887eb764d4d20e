// Values the full and preview runs derive from the settings record before
// they call the engine stages.
#pragma once

#include <cstdint>

#include "../engine/ToneMapEngine.h"
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

// Wrap columns on each side of a 360-degree panorama: a quarter of its width.
int32_t PanoramaPad(const TMSettings& settings, int32_t width);

// Plans the pyramids of the full run's working grid: the image, widened by
// its wrap columns. False for an image or a plan the stages cannot work on.
bool PlanFullRunGrid(int32_t width, int32_t height, const TMSettings& settings, PyramidPlan* plan);

// Bytes of each of the full run's three work buffers for an image of this
// size with these settings (Light Smoothing and the 360-degree flag shape the
// plan); -1 for an image the run refuses. A buffer larger than the host's
// buffer procedures can hand out (2 GB) ends the run as out of memory.
int64_t FullRunWorkBufferBytes(int32_t width, int32_t height, const TMSettings& settings);

// Maps an engine stage's result to a host result code.
int16_t HostCodeOfStage(int32_t stageResult);
