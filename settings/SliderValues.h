// What the dialog's controls show of a setting: the control position of a
// record value and back, and the text of the value label.
#pragma once

#include <cstdint>
#include <string>

#include "SettingsTable.h"

// The exponent of the White and Black Point sliders, ln(0.025) / ln(0.3),
// computed once when the module loads; slider 30 thus gives 5000 (0.25 %).
double PointExponent();

// A point value from a slider position 0..100, 200000 x (position/100)^exponent,
// and back, 100 x (value/200000)^exponent; both rounded to the nearest
// integer with an exact half going down.
int32_t SliderToPoint(int32_t position, double exponent);
int32_t PointToSlider(int32_t value, double exponent);

// The record value a control position stores, and the position that shows a
// record value (White and Black Point through the point exponent); both
// saturate at the int32 range for the values a settings file may bring.
int32_t RecordValueOfPosition(const SettingInfo& info, int32_t position);
int32_t PositionOfRecordValue(const SettingInfo& info, int32_t value);

// The value label of a record value: "+3", "0.250", "1.00", "High", ...;
// empty for a Light Smoothing code outside -2..2, whose label stays as it is.
std::string ValueLabelText(const SettingInfo& info, int32_t value);
