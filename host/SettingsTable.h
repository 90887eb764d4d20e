// The fifteen settings, declared once: record field, settings-array slot,
// settings-file element, dialog caption, descriptor key and record range.
// Scripting, last-used settings, settings files and the command line read
// this table instead of keeping copies of their own.
#pragma once

#include <cstdint>

#include "Settings.h"

// How a record field becomes its settings-array slot.
enum class SlotConversion : uint8_t {
    Same,      // slot = field
    MinusTen,  // slot = field - 10 (Luminosity code)
    TwoMinus,  // slot = 2 - field (Light Smoothing code to smoothing level)
};

struct SettingInfo {
    DescriptorKeyID key;        // four-character descriptor key
    bool floatKey;              // travels as a float in descriptors
    int32_t TMSettings::*field;
    int slot;                   // index in the settings array
    const char* element;        // settings-file element name
    const char* caption;        // dialog caption
    int32_t recordMin;          // range of the record field as the dialog stores it
    int32_t recordMax;
    SlotConversion conversion;
};

constexpr DescriptorKeyID FourCC(const char (&code)[5]) {
    return (DescriptorKeyID(uint8_t(code[0])) << 24) | (DescriptorKeyID(uint8_t(code[1])) << 16) |
           (DescriptorKeyID(uint8_t(code[2])) << 8) | DescriptorKeyID(uint8_t(code[3]));
}

// In descriptor key order, the order of every descriptor read and write.
inline constexpr SettingInfo kSettingTable[kSettingCount] = {
    {FourCC("srgh"), false, &TMSettings::strength, 1, "Strength", "Strength", 0, 100, SlotConversion::Same},
    {FourCC("CSat"), false, &TMSettings::colorSaturation, 2, "ColorSaturation", "Color Saturation", 0, 100,
     SlotConversion::Same},
    {FourCC("Lumi"), false, &TMSettings::luminosityCode, 0, "Luminosity", "Luminosity", 0, 20,
     SlotConversion::MinusTen},
    {FourCC("LSmo"), false, &TMSettings::lightSmoothingCode, 5, "Smoothing", "Light Smoothing", -2, 2,
     SlotConversion::TwoMinus},
    {FourCC("MCon"), false, &TMSettings::microcontrastCode, 6, "Microcontrast", "Microcontrast", -10, 10,
     SlotConversion::Same},
    {FourCC("MSmo"), false, &TMSettings::microSmoothing, 7, "Microsmoothing", "Micro-smoothing", 0, 30,
     SlotConversion::Same},
    {FourCC("WCli"), true, &TMSettings::whitePoint, 3, "WhiteClip", "White Point", 0, 200000,
     SlotConversion::Same},
    {FourCC("BCli"), true, &TMSettings::blackPoint, 4, "BlackClip", "Black Point", 0, 200000,
     SlotConversion::Same},
    {FourCC("Gamm"), true, &TMSettings::gammaCode, 8, "Gamma", "Gamma", 0, 100, SlotConversion::Same},
    {FourCC("CTem"), false, &TMSettings::colorTemperature, 12, "ColorTemperature", "Color Temperature", -10, 10,
     SlotConversion::Same},
    {FourCC("SatH"), false, &TMSettings::saturationHighlights, 13, "SaturationHighlights",
     "Saturation Highlights", -10, 10, SlotConversion::Same},
    {FourCC("SatS"), false, &TMSettings::saturationShadows, 14, "SaturationShadows", "Saturation Shadows", -10,
     10, SlotConversion::Same},
    {FourCC("SmHL"), false, &TMSettings::highlightsSmoothing, 9, "HighlightsSmoothing", "Highlights Smoothing",
     0, 100, SlotConversion::Same},
    {FourCC("SmSH"), false, &TMSettings::shadowsSmoothing, 10, "ShadowsSmoothing", "Shadows Smoothing", 0, 100,
     SlotConversion::Same},
    {FourCC("ClSH"), false, &TMSettings::shadowsClipping, 11, "ShadowsClipping", "Shadows Clipping", 0, 100,
     SlotConversion::Same},
};

constexpr int32_t RecordToSlot(const SettingInfo& info, int32_t field) {
    switch (info.conversion) {
        case SlotConversion::MinusTen: return field - 10;
        case SlotConversion::TwoMinus: return 2 - field;
        default: return field;
    }
}

constexpr int32_t SlotToRecord(const SettingInfo& info, int32_t slot) {
    switch (info.conversion) {
        case SlotConversion::MinusTen: return slot + 10;
        case SlotConversion::TwoMinus: return 2 - slot;
        default: return slot;
    }
}

// The entry whose settings-array slot is `slot` (0..14).
constexpr const SettingInfo& SettingForSlot(int slot) {
    for (const SettingInfo& info : kSettingTable)
        if (info.slot == slot) return info;
    return kSettingTable[0];
}
