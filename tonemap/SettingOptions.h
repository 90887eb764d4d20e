// The fifteen settings on the command line, in the units of the dialog's
// value labels: whole numbers for most, percent of pixels for the clips, the
// output exponent for Gamma, a level name for Light Smoothing. Each option
// sets one settings-array slot (settings/SettingsTable.h).
#pragma once

#include <cstdint>
#include <string>

#include "../settings/SettingsTable.h"

// Parses an option's value into its slot; false with a message in words.
bool ParseSettingValue(const SettingInfo& info, const std::string& text, int32_t* slot, std::string* problem);

// A slot as option text that parses back to the same slot.
std::string SettingValueText(const SettingInfo& info, int32_t slot);

// The accepted values, for help and messages: "0 to 100", "0.50 to 2.00", ...
std::string SettingRangeText(const SettingInfo& info);

// The slots the dialog's slider reaches.
void SettingSlotRange(const SettingInfo& info, int32_t* lowest, int32_t* highest);

// The entry of an option name (without dashes), or null.
const SettingInfo* SettingForOption(const std::string& name);
