#include "ToolSettings.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>

#include "../host/PluginIdentity.h"
#include "../settings/DescriptorValues.h"
#include "../settings/SettingsTable.h"
#include "../settings_files/XmpSettings.h"
#include "FileReplacement.h"
#include "SettingOptions.h"

namespace fs = std::filesystem;

namespace {

std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

// A value the dialog's control cannot show is refused, naming the element
// and its range; the plug-in's own Load command takes any value.
bool CheckFileRanges(const std::string& path, const int32_t slots[kSettingCount], ToolError* error) {
    for (int slot = 0; slot < kSettingCount; ++slot) {
        const SettingInfo& info = SettingForSlot(slot);
        int32_t lowest = 0, highest = 0;
        SettingSlotRange(info, &lowest, &highest);
        if (slots[slot] >= lowest && slots[slot] <= highest) continue;
        return Fail(error, kExitSettingsFile,
                    Quoted(path) + " sets " + info.element + " to " + SettingValueText(info, slots[slot]) +
                        ", outside the dialog's range of " + SettingRangeText(info) + ".");
    }
    return true;
}

// The settings file replaces all fifteen settings, as the dialog's "Load..."
// does: elements the file lacks become 0 (Gamma 1.00).
bool ReadSettingsFile(const std::string& path, TMSettings* settings, ToolError* error) {
    std::error_code ec;
    if (!fs::is_regular_file(path, ec))
        return Fail(error, kExitSettingsFile, "Cannot find the settings file " + Quoted(path) + ".");
    int32_t slots[kSettingCount] = {};
    const int result = ReadXmpSettings(path.c_str(), slots);
    if (result == kXmpNoSettings)
        return Fail(error, kExitSettingsFile, Quoted(path) + " does not contain Tone Mapping settings.");
    if (result == kXmpOtherMethod)
        return Fail(error, kExitSettingsFile,
                    Quoted(path) +
                        " holds the settings of another tone-mapping method, which this plug-in "
                        "cannot use.");
    if (result <= 0)
        return Fail(error, kExitSettingsFile, "Error found when loading the settings file " + Quoted(path) + ".");
    if (!CheckFileRanges(path, slots, error)) return false;
    ArrayToSettings(slots, settings);
    return true;
}

// The registry entry that the plug-in stored at its last completed run,
// read with the plug-in's own rules.
void ApplyPreviousSettings(const std::string& registryFile, TMSettings* settings, std::vector<std::string>* notes) {
    MiniHost host;
    host.registryFile = registryFile;
    const RegistryEntry* entry = FindRegistryEntry(host, TM_PLUGIN_UNIQUE_ID);
    notes->insert(notes->end(), host.warnings.begin(), host.warnings.end());
    if (entry == nullptr) {
        notes->push_back("No settings of an earlier run were found; the default settings apply.");
        return;
    }
    auto getInteger = [entry](DescriptorKeyID key, int32_t* value) {
        const DescriptorItem* item = FindItem(entry->items, key);
        if (item == nullptr || item->type != typeInteger) return false;
        *value = item->integer;
        return true;
    };
    auto getFloat = [entry](DescriptorKeyID key, double* value) {
        const DescriptorItem* item = FindItem(entry->items, key);
        if (item == nullptr || item->type != typeFloat) return false;
        *value = item->number;
        return true;
    };
    ApplyLastUsedValues(getInteger, getFloat, settings);
}

bool WriteToStandardOutput(const std::string& text) {
    const bool written = std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
    return std::fflush(stdout) == 0 && written && !std::ferror(stdout);
}

}  // namespace

bool EffectiveSettings(const ToolOptions& options, int depthCode, const std::string& registryFile, TMSettings* settings,
                       std::vector<std::string>* notes, ToolError* error) {
    *settings = TMSettings{};
    WriteDefaultSettings(DefaultSet::DefaultButton, depthCode, settings);
    if (!options.settingsFile.empty()) {
        if (!ReadSettingsFile(options.settingsFile, settings, error)) return false;
    } else if (options.previous) {
        ApplyPreviousSettings(registryFile, settings, notes);
    }
    int32_t slots[kSettingCount];
    SettingsToArray(*settings, slots);
    for (int slot = 0; slot < kSettingCount; ++slot)
        if (options.given[slot]) slots[slot] = options.value[slot];
    ArrayToSettings(slots, settings);
    settings->is360 = options.is360 ? 1 : 0;
    return true;
}

std::string SettingsAsOptions(const TMSettings& settings) {
    int32_t slots[kSettingCount];
    SettingsToArray(settings, slots);
    std::string text;
    for (int slot = 0; slot < kSettingCount; ++slot) {
        const SettingInfo& info = SettingForSlot(slot);
        if (!text.empty()) text += ' ';
        text += "--" + std::string(info.option) + " " + SettingValueText(info, slots[slot]);
    }
    if (settings.is360) text += " --360";
    return text;
}

bool SaveSettingsFile(const std::string& path, const TMSettings& settings, ToolError* error) {
    int32_t slots[kSettingCount];
    SettingsToArray(settings, slots);
    const std::string text = FormatXmpSettings(slots);
    if (path == "-")
        return WriteToStandardOutput(text) ||
               Fail(error, kExitSettingsFile, "Cannot write the settings to standard output: " +
                                                  FileFailureText(errno) + ".");
    int failure = 0;
    return ReplaceWithText(path, text, &failure) ||
           Fail(error, kExitSettingsFile,
                "Cannot write the settings file " + Quoted(path) + ": " + FileFailureText(failure) + ".");
}
