#include "Scripting.h"

#include "PluginState.h"

// Without scripting support the dialog request of the globals decides alone.
int16_t ReadScriptedSettings(bool* showDialog) {
    if (showDialog == nullptr) return errMissingParameter;
    *showDialog = gPlugin.globals->dialogRequest != 0;
    return noErr;
}

int16_t WriteScriptedSettings() { return noErr; }

int16_t LoadLastUsedSettings() { return noErr; }

void StoreLastUsedSettings() {}
