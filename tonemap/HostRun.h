// One document through the plug-in module, the way the host plays back a
// recorded step of an action with its dialog turned off: prepare, start with
// the settings as the action's descriptor, continue, finish.
#pragma once

#include <string>
#include <vector>

#include "../settings/SettingsRecord.h"
#include "../minihost/MiniHost.h"
#include "ExitCodes.h"

// Tone-maps `document` in place. The module's own messages and the host's
// warnings go to `notes`; `label` names the image in messages.
bool ToneMapDocument(const PluginModule& module, const TMSettings& settings, const std::string& registryFile,
                     const std::string& label, HostDocument* document, std::vector<std::string>* notes,
                     ToolError* error);
