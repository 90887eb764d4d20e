// TMSettings, the settings record that lives in the host's `parameters`
// handle: the fifteen settings at the dialog's resolution, then the preview's
// bookkeeping bytes. The host keeps it while it runs and hands it back when
// the filter is applied again.
#pragma once

#include <cstdint>

#include "../engine/SettingSlots.h"

struct TMSettings {
    int32_t luminosityCode;        // Luminosity + 10, Luminosity -10..10
    int32_t strength;              // 0..100
    int32_t colorSaturation;       // 0..100
    int32_t whitePoint;            // 1/20000 percent of pixels clipped to white, 0..200000
    int32_t blackPoint;            // same unit, clipped to black
    int32_t gammaCode;             // output exponent 2^((50 - code)/50)
    int32_t microcontrastCode;     // the level itself, -10..10
    int32_t lightSmoothingCode;    // 2 - smoothing level, -2 "Very Low" .. 2 "Very High"
    int32_t microSmoothing;        // 0..30
    int32_t colorTemperature;      // -10..10
    int32_t saturationHighlights;  // -10..10
    int32_t saturationShadows;     // -10..10
    int32_t highlightsSmoothing;   // 0..100
    int32_t shadowsSmoothing;      // 0..100
    int32_t shadowsClipping;       // 0..100
    uint8_t is360;                 // wrap the image horizontally in the full run
    uint8_t showPreview;           // 1 = tone-mapped preview, 0 = source image
    uint8_t restorePreview;
    uint8_t fullRecompute;
    uint8_t cacheInvalid[3];       // per preview size Small, Medium, Large
    int32_t recomputeLevel;
};
