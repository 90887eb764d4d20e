// The command line of tonemap: what to read, where to write, which settings.
#pragma once

#include <string>
#include <vector>

#include "../engine/SettingSlots.h"

struct ToolOptions {
    std::vector<std::string> inputs;
    std::string output;            // the INPUT OUTPUT form
    std::string outputDir;         // the INPUT... --output-dir DIR form
    std::string format;            // extension of the files written into outputDir; empty: the input's
    std::string settingsFile;      // --settings: start from a settings file
    std::string saveSettingsFile;  // --save-settings: "-" for standard output
    std::string pluginPath;        // --plugin: the module to load; empty: beside the program
    std::string exampleDir;        // --example
    bool previous = false;         // start from the settings of the last completed run
    bool is360 = false;
    bool quiet = false;
    bool printSettings = false;
    bool promoteEightBit = false;  // --depth 16
    bool help = false;
    bool version = false;
    std::string preview;        // --preview: "512", "768" or "1024"; empty: the result is written
    bool showOriginal = false;  // --show-original: the preview of the source image
    std::string histogramFile;  // --histogram: the preview's 256 counts, one per line
    bool given[kSettingCount] = {};  // by settings-array slot: the option was given
    int32_t value[kSettingCount] = {};
};

// Parses the arguments after the program name; false with a message.
bool ParseCommandLine(const std::vector<std::string>& args, ToolOptions* options, std::string* problem);

// The longer side of the preview asked for, 0 when none is.
int32_t PreviewSize(const ToolOptions& options);

std::string HelpText();
std::string VersionText();
