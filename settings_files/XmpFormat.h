// The fixed texts of XMP settings files and the conversions between settings
// slots and element values, shared by the reader and the writer.
#pragma once

#include <cstdint>

constexpr int kXmpSlotCount = 15;
constexpr int kSlotWhiteClip = 3;
constexpr int kSlotBlackClip = 4;
constexpr int kSlotSmoothing = 5;
constexpr int kSlotMicrocontrast = 6;
constexpr int kSlotMicrosmoothing = 7;
constexpr int kSlotGamma = 8;
constexpr int32_t kGammaWhenAbsent = 50;

// The host is ours to choose; readers only look for the attribute name.
constexpr const char* kSettingsNamespaceUri = "http://ns.corvanta.com/tone_mapping_settings";
constexpr const char* kRdfNamespaceUri = "http://www.w3.org/1999/02/22-rdf-syntax-ns#";

// A word and the slot value it stands for.
struct XmpWord {
    const char* text;
    int32_t value;
};

// Light Smoothing words in the order the reader tries them; the writer uses
// them by slot value, padded to 8 characters.
extern const XmpWord kSmoothingWords[5];
extern const char* const kSmoothingWrittenWords[5];
// Microcontrast words of files up to version 2.4, in the order tried.
extern const XmpWord kMicrocontrastWords[6];
// Method names with their family; only family 1 is read.
extern const XmpWord kMethodFamilies[4];

// The word written for a Light Smoothing slot; values outside 0..4 take the
// nearer end, so that the file still loads as the strongest or weakest level.
const char* SmoothingWordForSlot(int32_t slot);

// White and Black Point: slot x 0.00005 in double, stored in single precision.
float ClipFileValue(int32_t slot);
// Gamma: the output exponent 2^((50 - slot) / 50).
double GammaFileValue(int32_t slot);

// Back from the file values, truncated toward zero. False when the value is
// not a number; values beyond int32 saturate.
bool ClipSlotFromFile(float value, int32_t* slot);
bool GammaSlotFromFile(float value, int32_t* slot);
