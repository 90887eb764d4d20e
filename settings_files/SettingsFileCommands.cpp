#include "SettingsFileCommands.h"

#include <cstring>

#include "SettingsTable.h"
#include "XmpSettings.h"

namespace {

char gLastUsedFolder[kPathBufferSize] = "";

// Folders this short are a drive at most: the system's default folder serves better.
constexpr size_t kShortestInitialFolder = 5;

}  // namespace

const char* LastUsedFolder() { return gLastUsedFolder; }

bool SetLastUsedFolder(const char* folder) {
    const size_t length = std::strlen(folder);
    if (length >= kPathBufferSize) return false;
    std::memcpy(gLastUsedFolder, folder, length + 1);
    return true;
}

bool RememberFolderOf(const char* path) {
    std::string folder(path);
    const size_t cut = folder.rfind('\\');
    if (cut != std::string::npos) folder.resize(cut);
    return SetLastUsedFolder(folder.c_str());
}

const char* InitialFolder() {
    return std::strlen(gLastUsedFolder) >= kShortestInitialFolder ? gLastUsedFolder : nullptr;
}

bool ComposeHelpPath(const char* installFolder, char path[kPathBufferSize]) {
    const std::string composed = std::string(installFolder) + "\\" + kHelpFileName;
    if (composed.size() >= kPathBufferSize) return false;
    std::memcpy(path, composed.c_str(), composed.size() + 1);
    return true;
}

std::string MissingHelpMessage(const char* path) {
    return std::string("Could not find Help file at: ") + path +
           "\n\nThis may happen if you have moved the Help file to another location after installation."
           "\n\nPlease reinstall the Tone Mapping plugin to recover the Help file.";
}

int SaveSettingsToPath(const char* path, const TMSettings& settings) {
    int32_t slots[kSettingCount] = {};
    SettingsToArray(settings, slots);
    return WriteXmpSettings(path, slots);
}

int LoadSettingsFromPath(const char* path, TMSettings* settings) {
    int32_t slots[kSettingCount] = {};
    const int result = ReadXmpSettings(path, slots);
    if (result > 0) ArrayToSettings(slots, settings);
    return result;
}

const char* LoadErrorMessage(int result) {
    if (result == -10) return kNoSettingsMessage;
    if (result < 0) return kLoadFailedMessage;
    return nullptr;
}
