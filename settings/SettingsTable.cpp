#include "SettingsTable.h"

void WriteDefaultSettings(DefaultSet set, int32_t depthCode, TMSettings* settings) {
    for (const SettingInfo& info : kSettingTable) settings->*info.field = DefaultValue(info, set, depthCode);
}

void SettingsToArray(const TMSettings& settings, int32_t array[kSettingCount]) {
    for (const SettingInfo& info : kSettingTable) array[info.slot] = RecordToSlot(info, settings.*info.field);
}

void ArrayToSettings(const int32_t array[kSettingCount], TMSettings* settings) {
    for (const SettingInfo& info : kSettingTable) settings->*info.field = SlotToRecord(info, array[info.slot]);
}
