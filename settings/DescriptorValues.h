// The settings as the host's descriptors carry them: integers for most keys,
// floats for White Point, Black Point and Gamma. Used for played-back and
// recorded actions and for the last-used entry in the host's registry.
#pragma once

#include <cstdint>

#include "SettingsTable.h"

// Record field to descriptor value; integers saturate at the int32 range.
int32_t DescriptorIntegerOf(const SettingInfo& info, int32_t field);
double DescriptorFloatOf(const SettingInfo& info, int32_t field);

// Descriptor value to record field. Integers saturate at the int32 range.
int32_t FieldOfDescriptorInteger(const SettingInfo& info, int32_t value);

// Truncates toward zero as the conversions prescribe, except that a value
// within rounding error of an integer counts as that integer, so that every
// field survives a descriptor round trip; infinities saturate. False for a
// value that is not a number (the field is then left alone).
bool FieldOfDescriptorFloat(const SettingInfo& info, double value, int32_t* field);

// Whether a registry value lies inside the range the last-used settings accept.
bool InLastUsedRange(const SettingInfo& info, double value);

// Applies a last-used registry entry by the rules every reader of it keeps:
// key by key in descriptor order, each value only inside its accepted range;
// the first value that cannot be had ends the reading, and the values applied
// before it stay. `getInteger(key, int32_t*)` and `getFloat(key, double*)`
// return false for a value that cannot be had.
template <typename GetInteger, typename GetFloat>
void ApplyLastUsedValues(GetInteger getInteger, GetFloat getFloat, TMSettings* settings) {
    for (const SettingInfo& info : kSettingTable) {
        if (info.floatKey) {
            double value = 0;
            if (!getFloat(info.key, &value)) return;
            int32_t field = 0;
            if (InLastUsedRange(info, value) && FieldOfDescriptorFloat(info, value, &field))
                settings->*info.field = field;
        } else {
            int32_t value = 0;
            if (!getInteger(info.key, &value)) return;
            if (InLastUsedRange(info, value)) settings->*info.field = FieldOfDescriptorInteger(info, value);
        }
    }
}
