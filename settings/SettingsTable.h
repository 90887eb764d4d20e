// The fifteen settings, declared once: record field, settings-array slot,
// settings-file element, dialog caption, descriptor key, conversion and
// accepted last-used range, record range and command-line option.
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

// How a record field travels in the host's descriptors (actions and registry).
enum class DescriptorConversion : uint8_t {
    Same,           // integer, the field itself
    MinusTen,       // integer, field - 10 (Luminosity code)
    Per20000,       // float, field / 20000 (White and Black Point)
    GammaExponent,  // float, 2^((50 - field) / 50)
};

// What the dialog's value label shows, in terms of the settings-array slot;
// the command line takes its values in the same units.
enum class LabelUnit : uint8_t {
    Integer,         // the slot itself
    Percent,         // slot x 0.00005, the share of pixels clipped in percent
    GammaExponent,   // 2^((50 - slot) / 50)
    SmoothingLevel,  // one of five level names, slot 0 = "Very High" .. 4 = "Very Low"
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
    DescriptorConversion descriptor;
    double lastUsedMin;         // descriptor values the registry entry may carry
    double lastUsedMax;
    const char* option;         // command-line option, without the leading dashes
    LabelUnit label;
};

constexpr DescriptorKeyID FourCC(const char (&code)[5]) {
    return (DescriptorKeyID(uint8_t(code[0])) << 24) | (DescriptorKeyID(uint8_t(code[1])) << 16) |
           (DescriptorKeyID(uint8_t(code[2])) << 8) | DescriptorKeyID(uint8_t(code[3]));
}

// In descriptor key order, the order of every descriptor read and write.
inline constexpr SettingInfo kSettingTable[kSettingCount] = {
    {FourCC("srgh"), false, &TMSettings::strength, 1, "Strength", "Strength", 0, 100, SlotConversion::Same,
     DescriptorConversion::Same, 1, 100, "strength", LabelUnit::Integer},
    {FourCC("CSat"), false, &TMSettings::colorSaturation, 2, "ColorSaturation", "Color Saturation", 0, 100,
     SlotConversion::Same, DescriptorConversion::Same, 0, 100, "color-saturation", LabelUnit::Integer},
    {FourCC("Lumi"), false, &TMSettings::luminosityCode, 0, "Luminosity", "Luminosity", 0, 20,
     SlotConversion::MinusTen, DescriptorConversion::MinusTen, -10, 10, "luminosity", LabelUnit::Integer},
    {FourCC("LSmo"), false, &TMSettings::lightSmoothingCode, 5, "Smoothing", "Light Smoothing", -2, 2,
     SlotConversion::TwoMinus, DescriptorConversion::Same, -2, 2, "smoothing", LabelUnit::SmoothingLevel},
    {FourCC("MCon"), false, &TMSettings::microcontrastCode, 6, "Microcontrast", "Microcontrast", -10, 10,
     SlotConversion::Same, DescriptorConversion::Same, -10, 10, "microcontrast", LabelUnit::Integer},
    {FourCC("MSmo"), false, &TMSettings::microSmoothing, 7, "Microsmoothing", "Micro-smoothing", 0, 30,
     SlotConversion::Same, DescriptorConversion::Same, 0, 30, "micro-smoothing", LabelUnit::Integer},
    {FourCC("WCli"), true, &TMSettings::whitePoint, 3, "WhiteClip", "White Point", 0, 200000,
     SlotConversion::Same, DescriptorConversion::Per20000, 0.0, 1.0, "white-clip", LabelUnit::Percent},
    {FourCC("BCli"), true, &TMSettings::blackPoint, 4, "BlackClip", "Black Point", 0, 200000,
     SlotConversion::Same, DescriptorConversion::Per20000, 0.0, 0.5, "black-clip", LabelUnit::Percent},
    {FourCC("Gamm"), true, &TMSettings::gammaCode, 8, "Gamma", "Gamma", 0, 100, SlotConversion::Same,
     DescriptorConversion::GammaExponent, 0.35, 2.0, "gamma", LabelUnit::GammaExponent},
    {FourCC("CTem"), false, &TMSettings::colorTemperature, 12, "ColorTemperature", "Color Temperature", -10, 10,
     SlotConversion::Same, DescriptorConversion::Same, -10, 10, "color-temperature", LabelUnit::Integer},
    {FourCC("SatH"), false, &TMSettings::saturationHighlights, 13, "SaturationHighlights",
     "Saturation Highlights", -10, 10, SlotConversion::Same, DescriptorConversion::Same, -10, 10,
     "saturation-highlights", LabelUnit::Integer},
    {FourCC("SatS"), false, &TMSettings::saturationShadows, 14, "SaturationShadows", "Saturation Shadows", -10,
     10, SlotConversion::Same, DescriptorConversion::Same, -10, 10, "saturation-shadows", LabelUnit::Integer},
    {FourCC("SmHL"), false, &TMSettings::highlightsSmoothing, 9, "HighlightsSmoothing", "Highlights Smoothing",
     0, 100, SlotConversion::Same, DescriptorConversion::Same, 0, 100, "highlights-smoothing",
     LabelUnit::Integer},
    {FourCC("SmSH"), false, &TMSettings::shadowsSmoothing, 10, "ShadowsSmoothing", "Shadows Smoothing", 0, 100,
     SlotConversion::Same, DescriptorConversion::Same, 0, 100, "shadows-smoothing", LabelUnit::Integer},
    {FourCC("ClSH"), false, &TMSettings::shadowsClipping, 11, "ShadowsClipping", "Shadows Clipping", 0, 100,
     SlotConversion::Same, DescriptorConversion::Same, 0, 100, "shadows-clipping", LabelUnit::Integer},
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

// The entry of a descriptor key, or null for a key the module does not know.
constexpr const SettingInfo* SettingForKey(DescriptorKeyID key) {
    for (const SettingInfo& info : kSettingTable)
        if (info.key == key) return &info;
    return nullptr;
}
