// The settings array: the fifteen settings as fifteen int32 in the order in
// which the output stage, the settings files and the command line take them.
// Each slot is named after the settings-file element that carries it.
#pragma once

enum SettingSlot {
    kSlotLuminosity = 0,         // Luminosity, -10..10
    kSlotStrength = 1,           // 0..100
    kSlotColorSaturation = 2,    // 0..100
    kSlotWhiteClip = 3,          // White Point in 1/20000 percent (SettingUnits.h), 0..200000
    kSlotBlackClip = 4,          // Black Point, same unit
    kSlotSmoothing = 5,          // Light Smoothing level, 0 "Very High" .. 4 "Very Low"
    kSlotMicrocontrast = 6,      // Microcontrast level, -10..10
    kSlotMicrosmoothing = 7,     // Micro-smoothing, 0..30
    kSlotGamma = 8,              // Gamma code, 0..100 (SettingUnits.h)
    kSlotHighlightsSmoothing = 9,
    kSlotShadowsSmoothing = 10,
    kSlotShadowsClipping = 11,
    kSlotColorTemperature = 12,  // -10..10
    kSlotSaturationHighlights = 13,
    kSlotSaturationShadows = 14,
};

constexpr int kSettingCount = 15;
