// The fifteen settings as the action our host plays to the module.
#pragma once

#include "../settings/SettingsRecord.h"
#include "MiniHost.h"

// All fifteen keys, in the settings table's order, each in the type and
// unit of its scripting key.
DescriptorList SettingsAsAction(const TMSettings& settings);
