// The settings' exchanges with the host's scripting: the action descriptor
// read at start and written at finish, and the last-used settings kept in the
// host's descriptor registry.
#pragma once

#include <cstdint>

// Applies a played-back descriptor and says whether the dialog is to be
// shown; -1715 without a place for the flag, else 0.
int16_t ReadScriptedSettings(bool* showDialog);

// Records the settings into the descriptor the host keeps for its action;
// -1715 when the host's writer gives no token, else 0.
int16_t WriteScriptedSettings();

// The settings of the last completed run, from the host's descriptor
// registry, each applied only when inside its accepted range; -30900 without
// a basic suite, else the first suite error or 0.
int16_t LoadLastUsedSettings();

// Registers the settings under the module's identifier, persistently.
void StoreLastUsedSettings();
