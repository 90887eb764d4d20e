// Stand-ins for the settings file commands of "Load...", "Save..." and "?"
// until the real ones are part of the module: they do nothing and change
// nothing.
#pragma once

#include "SettingsRecord.h"

int SaveSettingsFile(void* dialog, const TMSettings& settings);
bool LoadSettingsFromDialog(void* dialog, TMSettings* settings);
void ShowHelpFile(void* dialog);
long ReadLastUsedDir();
