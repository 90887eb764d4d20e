// The fifteen settings, declared once: record field, settings-array slot,
// settings-file element, defaults, descriptor key and conversion, scripting
// terminology, dialog control, value label and hover help, command-line
// option. Scripting, last-used settings, settings files, the dialog and the
// command-line tool (its options and --help) read this table instead of
// keeping copies of their own.
#pragma once

#include <cstdint>

#include "../dialog/DialogControlIds.h"
#include "../engine/SettingSlots.h"
#include "../engine/SettingUnits.h"
#include "SettingHelpTexts.h"
#include "SettingsRecord.h"

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
    Integer,         // "%d" of the slot
    SignedInteger,   // the slot with "+" when positive: "+3", "0", "-10"
    Percent,         // "%2.3f" of slot x 0.00005, the share of pixels clipped in percent
    GammaExponent,   // "%2.2f" of 2^((50 - slot) / 50)
    SmoothingLevel,  // the level's name, kSmoothingLevelNames
};

// The Light Smoothing levels by settings-array slot (smoothing level): the
// dialog's label, the settings files' words and, in lower case with dashes,
// the command line's values.
constexpr int kSmoothingLevelCount = 5;
inline constexpr const char* kSmoothingLevelNames[kSmoothingLevelCount] = {"Very High", "High", "Medium", "Low",
                                                                           "Very Low"};

enum class ControlKind : uint8_t { Slider, RadioGroup };

// How a dialog control's position becomes the record field.
enum class PositionMapping : uint8_t {
    Same,        // field = position
    MinusTen,    // field = position - 10
    MinusTwo,    // field = position - 2 (the first radio button is Light Smoothing -2)
    PointCurve,  // field = SliderToPoint(position) (SliderValues.h)
};

// A row of a dialog tab page; the first three sliders are always visible.
struct TabPlace {
    int8_t page;  // kAlwaysVisible, or 0 "Tone", 1 "Color", 2 "Micro", 3 "S/H"
    int8_t row;   // 1..3 on its page
};
constexpr TabPlace kAlwaysVisible{-1, 0};

// The setting's control in the main dialog. The value label and the caption
// follow the control's ids: a slider's label is its id + 1 and its caption
// id + 2; the Light Smoothing radio group's five buttons are followed by its
// label and caption the same way (ValueLabelId, CaptionId).
struct DialogControl {
    ControlKind kind;
    int16_t id;                 // the slider, or the first radio button
    int16_t maxPosition;        // positions 0..maxPosition; one radio button per position
    PositionMapping mapping;
    const char* templateLabel;  // the value label's text in the dialog template
    TabPlace place;
};

// A default for each kind of image: 16-bit images start with less Strength.
struct SettingDefault {
    int32_t floatImages;    // depth code 0
    int32_t integerImages;  // depth code above 0
};

struct SettingInfo {
    const char* element;  // settings-file element, also the setting's name
    int32_t TMSettings::*field;
    SettingSlot slot;
    int32_t recordMin;  // range of the record field as the dialog stores it
    int32_t recordMax;
    SlotConversion conversion;
    SettingDefault firstRun;       // record value when the host first creates the settings
    SettingDefault defaultButton;  // record value of the dialog's Default button and the tool's start
    uint32_t key;                  // four-character descriptor key
    bool floatKey;                 // travels as a float in descriptors
    DescriptorConversion descriptor;
    double lastUsedMin;  // descriptor values the registry entry may carry
    double lastUsedMax;
    const char* scriptName;         // parameter of the terminology resource; null: not declared there
    const char* scriptDescription;  // its description there
    const char* caption;            // dialog caption
    DialogControl control;
    LabelUnit label;
    const char* help;    // hover help of the control; null: none
    const char* option;  // command-line option, without the leading dashes
};

constexpr uint32_t FourCC(const char (&code)[5]) {
    return (uint32_t(uint8_t(code[0])) << 24) | (uint32_t(uint8_t(code[1])) << 16) |
           (uint32_t(uint8_t(code[2])) << 8) | uint32_t(uint8_t(code[3]));
}

// In descriptor key order, the order of every descriptor read and write; the
// first nine are the parameters the terminology resource declares.
inline constexpr SettingInfo kSettingTable[kSettingCount] = {
    {"Strength", &TMSettings::strength, kSlotStrength, 0, 100, SlotConversion::Same, {70, 40}, {70, 40},
     FourCC("srgh"), false, DescriptorConversion::Same, 1, 100, "strength", "strength details enhancements",
     "Strength", {ControlKind::Slider, IDC_STRENGTH, 100, PositionMapping::Same, "70", kAlwaysVisible},
     LabelUnit::Integer, kStrengthHelp, "strength"},
    {"ColorSaturation", &TMSettings::colorSaturation, kSlotColorSaturation, 0, 100, SlotConversion::Same, {46, 46},
     {46, 46}, FourCC("CSat"), false, DescriptorConversion::Same, 0, 100, "saturation", "color saturation",
     "Color Saturation", {ControlKind::Slider, IDC_COLOR_SATURATION, 100, PositionMapping::Same, "50", kAlwaysVisible},
     LabelUnit::Integer, kColorSaturationHelp, "color-saturation"},
    {"Luminosity", &TMSettings::luminosityCode, kSlotLuminosity, 0, 20, SlotConversion::MinusTen, {10, 10}, {10, 10},
     FourCC("Lumi"), false, DescriptorConversion::MinusTen, -10, 10, "luminosity", "luminosity", "Luminosity",
     {ControlKind::Slider, IDC_LUMINOSITY, 20, PositionMapping::Same, "0", kAlwaysVisible}, LabelUnit::SignedInteger,
     kLuminosityHelp, "luminosity"},
    {"Smoothing", &TMSettings::lightSmoothingCode, kSlotSmoothing, -2, 2, SlotConversion::TwoMinus, {1, 1}, {1, 1},
     FourCC("LSmo"), false, DescriptorConversion::Same, -2, 2, "smoothing", "light smoothing", "Light Smoothing",
     {ControlKind::RadioGroup, IDC_SMOOTHING_VERY_LOW, 4, PositionMapping::MinusTwo, "Very High", kAlwaysVisible},
     LabelUnit::SmoothingLevel, nullptr, "smoothing"},
    {"Microcontrast", &TMSettings::microcontrastCode, kSlotMicrocontrast, -10, 10, SlotConversion::Same, {0, 0},
     {0, 0}, FourCC("MCon"), false, DescriptorConversion::Same, -10, 10, "microcontrast", "microcontrast level",
     "Microcontrast", {ControlKind::Slider, IDC_MICROCONTRAST, 20, PositionMapping::MinusTen, "0", {2, 1}},
     LabelUnit::SignedInteger, kMicrocontrastHelp, "microcontrast"},
    {"Microsmoothing", &TMSettings::microSmoothing, kSlotMicrosmoothing, 0, 30, SlotConversion::Same, {0, 0}, {2, 2},
     FourCC("MSmo"), false, DescriptorConversion::Same, 0, 30, "micro-smoothing", "smoothing micro details",
     "Micro-smoothing", {ControlKind::Slider, IDC_MICRO_SMOOTHING, 30, PositionMapping::Same, "0", {2, 2}},
     LabelUnit::Integer, kMicroSmoothingHelp, "micro-smoothing"},
    {"WhiteClip", &TMSettings::whitePoint, kSlotWhiteClip, 0, kMaxPoints, SlotConversion::Same, {5000, 5000},
     {5000, 5000}, FourCC("WCli"), true, DescriptorConversion::Per20000, 0.0, 1.0, "whiteclip", "white clip",
     "White Point", {ControlKind::Slider, IDC_WHITE_POINT, 100, PositionMapping::PointCurve, "0.25", {0, 1}},
     LabelUnit::Percent, kWhitePointHelp, "white-clip"},
    {"BlackClip", &TMSettings::blackPoint, kSlotBlackClip, 0, kMaxPoints, SlotConversion::Same, {0, 0}, {0, 0},
     FourCC("BCli"), true, DescriptorConversion::Per20000, 0.0, 0.5, "blackclip", "black clip", "Black Point",
     {ControlKind::Slider, IDC_BLACK_POINT, 100, PositionMapping::PointCurve, "0", {0, 2}}, LabelUnit::Percent,
     kBlackPointHelp, "black-clip"},
    {"Gamma", &TMSettings::gammaCode, kSlotGamma, 0, kMaxGammaCode, SlotConversion::Same,
     {kGammaCodeOfOne, kGammaCodeOfOne}, {kGammaCodeOfOne, kGammaCodeOfOne}, FourCC("Gamm"), true,
     DescriptorConversion::GammaExponent, 0.35, 2.0, "gamma", "Gamma", "Gamma",
     {ControlKind::Slider, IDC_GAMMA, kMaxGammaCode, PositionMapping::Same, "1.0", {0, 3}}, LabelUnit::GammaExponent,
     kGammaHelp, "gamma"},
    {"ColorTemperature", &TMSettings::colorTemperature, kSlotColorTemperature, -10, 10, SlotConversion::Same, {0, 0},
     {0, 0}, FourCC("CTem"), false, DescriptorConversion::Same, -10, 10, nullptr, nullptr, "Color Temperature",
     {ControlKind::Slider, IDC_COLOR_TEMPERATURE, 20, PositionMapping::MinusTen, "0", {1, 1}}, LabelUnit::SignedInteger,
     kColorTemperatureHelp, "color-temperature"},
    {"SaturationHighlights", &TMSettings::saturationHighlights, kSlotSaturationHighlights, -10, 10,
     SlotConversion::Same, {0, 0}, {0, 0}, FourCC("SatH"), false, DescriptorConversion::Same, -10, 10, nullptr,
     nullptr, "Saturation Highlights",
     {ControlKind::Slider, IDC_SATURATION_HIGHLIGHTS, 20, PositionMapping::MinusTen, "0", {1, 2}},
     LabelUnit::SignedInteger, kSaturationHighlightsHelp, "saturation-highlights"},
    {"SaturationShadows", &TMSettings::saturationShadows, kSlotSaturationShadows, -10, 10, SlotConversion::Same,
     {0, 0}, {0, 0}, FourCC("SatS"), false, DescriptorConversion::Same, -10, 10, nullptr, nullptr,
     "Saturation Shadows", {ControlKind::Slider, IDC_SATURATION_SHADOWS, 20, PositionMapping::MinusTen, "0", {1, 3}},
     LabelUnit::SignedInteger, kSaturationShadowsHelp, "saturation-shadows"},
    {"HighlightsSmoothing", &TMSettings::highlightsSmoothing, kSlotHighlightsSmoothing, 0, 100, SlotConversion::Same,
     {0, 0}, {0, 0}, FourCC("SmHL"), false, DescriptorConversion::Same, 0, 100, nullptr, nullptr,
     "Highlights Smoothing", {ControlKind::Slider, IDC_HIGHLIGHTS_SMOOTHING, 100, PositionMapping::Same, "0", {3, 1}},
     LabelUnit::Integer, kHighlightsSmoothingHelp, "highlights-smoothing"},
    {"ShadowsSmoothing", &TMSettings::shadowsSmoothing, kSlotShadowsSmoothing, 0, 100, SlotConversion::Same, {0, 0},
     {0, 0}, FourCC("SmSH"), false, DescriptorConversion::Same, 0, 100, nullptr, nullptr, "Shadows Smoothing",
     {ControlKind::Slider, IDC_SHADOWS_SMOOTHING, 100, PositionMapping::Same, "0", {3, 2}}, LabelUnit::Integer,
     kShadowsSmoothingHelp, "shadows-smoothing"},
    {"ShadowsClipping", &TMSettings::shadowsClipping, kSlotShadowsClipping, 0, 100, SlotConversion::Same, {0, 0},
     {0, 0}, FourCC("ClSH"), false, DescriptorConversion::Same, 0, 100, nullptr, nullptr, "Shadows Clipping",
     {ControlKind::Slider, IDC_SHADOWS_CLIPPING, 100, PositionMapping::Same, "0", {3, 3}}, LabelUnit::Integer,
     kShadowsClippingHelp, "shadows-clipping"},
};

// The conversions' results saturate at the int32 range instead of
// overflowing: the plug-in's Load command stores whatever value a settings
// file holds, up to the largest integers.
constexpr int32_t SaturatedInt32(int64_t value) {
    return value > INT32_MAX ? INT32_MAX : value < INT32_MIN ? INT32_MIN : static_cast<int32_t>(value);
}

constexpr int32_t RecordToSlot(const SettingInfo& info, int32_t field) {
    switch (info.conversion) {
        case SlotConversion::MinusTen: return SaturatedInt32(int64_t(field) - 10);
        case SlotConversion::TwoMinus: return SaturatedInt32(2 - int64_t(field));
        default: return field;
    }
}

constexpr int32_t SlotToRecord(const SettingInfo& info, int32_t slot) {
    switch (info.conversion) {
        case SlotConversion::MinusTen: return SaturatedInt32(int64_t(slot) + 10);
        case SlotConversion::TwoMinus: return SaturatedInt32(2 - int64_t(slot));
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
constexpr const SettingInfo* SettingForKey(uint32_t key) {
    for (const SettingInfo& info : kSettingTable)
        if (info.key == key) return &info;
    return nullptr;
}

// The dialog's ids around a setting's control.
constexpr int ValueLabelId(const DialogControl& control) {
    return control.id + (control.kind == ControlKind::RadioGroup ? control.maxPosition + 1 : 1);
}
constexpr int CaptionId(const DialogControl& control) { return ValueLabelId(control) + 1; }

// Which defaults: those of the host's first run or of the Default button.
enum class DefaultSet : uint8_t { FirstRun, DefaultButton };

constexpr int32_t DefaultValue(const SettingInfo& info, DefaultSet set, int32_t depthCode) {
    const SettingDefault& d = set == DefaultSet::FirstRun ? info.firstRun : info.defaultButton;
    return depthCode > 0 ? d.integerImages : d.floatImages;
}

// Writes the fifteen settings of a set of defaults for an image of the given
// depth code; the other bytes of the record stay.
void WriteDefaultSettings(DefaultSet set, int32_t depthCode, TMSettings* settings);

// The settings array (15 int32 in settings-file order) from and to the record.
void SettingsToArray(const TMSettings& settings, int32_t array[kSettingCount]);
void ArrayToSettings(const int32_t array[kSettingCount], TMSettings* settings);
