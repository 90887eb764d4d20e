// Stand-ins for the About box and the settings file commands until the real
// ones are part of the module.
#include "Dialogs.h"
#include "SettingsFileCommandStandIns.h"

void ShowAboutBox() {}

int SaveSettingsFile(void*, const TMSettings&) { return 0; }
bool LoadSettingsFromDialog(void*, TMSettings*) { return false; }
void ShowHelpFile(void*) {}
long ReadLastUsedDir() { return 0; }
