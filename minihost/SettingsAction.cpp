#include "SettingsAction.h"

#include "../settings/DescriptorValues.h"
#include "../settings/SettingsTable.h"

DescriptorList SettingsAsAction(const TMSettings& settings) {
    DescriptorList action;
    for (const SettingInfo& info : kSettingTable) {
        const int32_t field = settings.*info.field;
        action.push_back(info.floatKey ? FloatItem(info.key, DescriptorFloatOf(info, field))
                                       : IntegerItem(info.key, DescriptorIntegerOf(info, field)));
    }
    return action;
}
