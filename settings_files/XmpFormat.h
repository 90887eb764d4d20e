// The fixed texts of XMP settings files and the conversions between settings
// slots and element values, shared by the reader and the writer.
#pragma once

#include <cstdint>

#include "../engine/SettingSlots.h"
#include "../engine/SettingUnits.h"

constexpr int32_t kGammaWhenAbsent = kGammaCodeOfOne;

// The host is ours to choose; readers only look for the attribute name.
constexpr const char* kSettingsNamespaceUri = "http://ns.corvanta.com/tone_mapping_settings";
constexpr const char* kRdfNamespaceUri = "http://www.w3.org/1999/02/22-rdf-syntax-ns#";

// A word and the slot value it stands for.
struct XmpWord {
    const char* text;
    int32_t value;
};

// Light Smoothing words in the order the reader tries them (the level names,
// by slot value); the writer pads them to 8 characters.
extern const XmpWord kSmoothingWords[5];
// Microcontrast words of files up to version 2.4, in the order tried.
extern const XmpWord kMicrocontrastWords[6];
// Method names with their family; only family 1 is read.
extern const XmpWord kMethodFamilies[4];

// The level name written for a Light Smoothing slot; values outside 0..4 take
// the nearer end, so that the file still loads as the strongest or weakest level.
const char* SmoothingWordForSlot(int32_t slot);

// White and Black Point: the percentage (SettingUnits.h), stored in single precision.
float ClipFileValue(int32_t slot);
// Gamma: the output exponent in double precision.
double GammaFileValue(int32_t slot);

// Back from the file values, truncated toward zero: the clips multiplied in
// double precision, Gamma's logarithm taken in single precision. False when
// the value is not a number; values beyond int32 saturate.
bool ClipSlotFromFile(float value, int32_t* slot);
bool GammaSlotFromFile(float value, int32_t* slot);
