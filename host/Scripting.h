// The settings' exchanges with the host's scripting: the action descriptor
// read at start and written at finish, and the last-used settings kept in the
// host's descriptor registry.
#pragma once

#include <cstdint>

// Applies a played-back descriptor and says whether the dialog is to be shown.
int16_t ReadScriptedSettings(bool* showDialog);
int16_t WriteScriptedSettings();
int16_t LoadLastUsedSettings();
void StoreLastUsedSettings();
