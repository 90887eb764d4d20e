// The settings of a run: the dialog's defaults, a settings file or the last
// completed run's, with the options on top; and their written forms.
#pragma once

#include <string>
#include <vector>

#include "../settings/SettingsRecord.h"
#include "../minihost/MiniHost.h"
#include "../minihost/SettingsAction.h"
#include "ExitCodes.h"
#include "Options.h"

// The fifteen settings (and the 360-degree flag) for a document of the given
// depth code (0 = 32-bit, 1 = 16-bit): the depth decides the default Strength.
// Notes what the user should know (no previous settings found) into `notes`.
bool EffectiveSettings(const ToolOptions& options, int depthCode, const std::string& registryFile, TMSettings* settings,
                       std::vector<std::string>* notes, ToolError* error);

// The settings as tonemap options, one line.
std::string SettingsAsOptions(const TMSettings& settings);

// Writes a settings file; "-" writes it to standard output.
bool SaveSettingsFile(const std::string& path, const TMSettings& settings, ToolError* error);
