// One document through the plug-in module, the way the host plays back a
// recorded step of an action with its dialog turned off: prepare, start with
// the settings as the action's descriptor, continue, finish.
#pragma once

#include <string>
#include <vector>

#include "../settings/SettingsRecord.h"
#include "../minihost/MiniHost.h"
#include "ExitCodes.h"

// The names a run's messages use: the image read and the file to be written.
struct RunNames {
    std::string input;
    std::string output;
};

// Tone-maps `document` in place. The host's warnings go to `notes`.
bool ToneMapDocument(const PluginModule& module, const TMSettings& settings, const std::string& registryFile,
                     const RunNames& names, HostDocument* document, std::vector<std::string>* notes,
                     ToolError* error);
