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

// The picture the plug-in's dialog shows, and the histogram beside it.
struct PreviewPicture {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint8_t> planes;     // red, green, blue planes of width x height bytes
    std::vector<int32_t> histogram;  // 256 counts
};

// The dialog's preview of `document` at `size` (512, 768 or 1024), tone-mapped
// or, with `showOriginal`, of the source image: prepare, then the settings
// written into the module's record as the dialog writes them, then the
// module's own preview run through its preview export.
bool PreviewDocument(const PluginModule& module, const TMSettings& settings, int32_t size, bool showOriginal,
                     const RunNames& names, HostDocument* document, PreviewPicture* picture,
                     std::vector<std::string>* notes, ToolError* error);
