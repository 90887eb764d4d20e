// The settings file commands on Windows: the standard file dialogs, the
// current user's registry and the shell.
#include <windows.h>

#include <commdlg.h>
#include <shellapi.h>

#include <cstring>
#include <vector>

#include "MessageBox.h"
#include "SettingsFileCommands.h"

namespace {

int SystemOpenDialog(void* openFileName) { return GetOpenFileNameA(static_cast<OPENFILENAMEA*>(openFileName)); }

int SystemSaveDialog(void* openFileName) { return GetSaveFileNameA(static_cast<OPENFILENAMEA*>(openFileName)); }

intptr_t SystemShellOpen(void* owner, const char* path) {
    return reinterpret_cast<intptr_t>(
        ShellExecuteA(static_cast<HWND>(owner), "open", path, nullptr, nullptr, SW_SHOWNORMAL));
}

SettingsFilePlatform gPlatform = {SystemOpenDialog, SystemSaveDialog, SystemShellOpen};

// Filters: a description and a pattern, each zero-terminated, and one more zero.
constexpr char kSaveFilter[] = ".xmp <Extensible Metadata Platform>\0*.xmp\0";
constexpr char kLoadFilter[] = "Tone Mapping Settings (.xmp)\0*.xmp\0";

OPENFILENAMEA FileDialogFor(void* dialog, const char* filter, char* path, DWORD options) {
    OPENFILENAMEA request{};
    request.lStructSize = sizeof request;
    request.hwndOwner = static_cast<HWND>(dialog);
    request.lpstrFilter = filter;
    request.lpstrFile = path;
    request.nMaxFile = static_cast<DWORD>(kPathBufferSize);
    request.lpstrInitialDir = InitialFolder();
    request.Flags = options;
    return request;
}

// After a file dialog that returned a file: its folder becomes the last used.
void RememberChosenFolder(const char* path) {
    if (RememberFolderOf(path)) WriteLastUsedDir();
}

// A string value of the plug-in's key into `out`. Anything but success
// leaves `out` untouched: a missing key or value (the registry's status), a
// value that is not a string (ERROR_UNSUPPORTED_TYPE), or one that does not
// fit the buffer with its terminating zero (ERROR_MORE_DATA).
LONG ReadRegistryString(const char* name, char* out, size_t outSize) {
    HKEY key = nullptr;
    LONG status = RegOpenKeyExA(HKEY_CURRENT_USER, kPluginRegistryKey, 0, KEY_READ, &key);
    if (status != ERROR_SUCCESS) return status;
    DWORD type = 0;
    DWORD size = 0;
    status = RegQueryValueExA(key, name, nullptr, &type, nullptr, &size);
    std::vector<char> value;
    if (status == ERROR_SUCCESS && type == REG_SZ) {
        // One zero more than the value needs: a stored string need not end with one.
        value.assign(size + 1, '\0');
        status = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value.data()), &size);
    }
    RegCloseKey(key);
    if (status != ERROR_SUCCESS) return status;
    if (type != REG_SZ) return ERROR_UNSUPPORTED_TYPE;
    const size_t length = std::strlen(value.data());
    if (length >= outSize) return ERROR_MORE_DATA;
    std::memcpy(out, value.data(), length + 1);
    return ERROR_SUCCESS;
}

}  // namespace

void InstallSettingsFilePlatform(const SettingsFilePlatform& platform) {
    gPlatform.openDialog = platform.openDialog != nullptr ? platform.openDialog : SystemOpenDialog;
    gPlatform.saveDialog = platform.saveDialog != nullptr ? platform.saveDialog : SystemSaveDialog;
    gPlatform.shellOpen = platform.shellOpen != nullptr ? platform.shellOpen : SystemShellOpen;
}

int SaveSettingsFile(void* dialog, const TMSettings& settings) {
    char path[kPathBufferSize];
    std::strcpy(path, kDefaultSettingsFileName);
    // No default extension: a name typed without one is used as typed.
    OPENFILENAMEA request = FileDialogFor(dialog, kSaveFilter, path, OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY);
    if (!gPlatform.saveDialog(&request)) return 0;
    RememberChosenFolder(path);
    return SaveSettingsToPath(path, settings);
}

int LoadSettingsFile(void* dialog, TMSettings* settings) {
    char path[kPathBufferSize] = "";
    OPENFILENAMEA request =
        FileDialogFor(dialog, kLoadFilter, path, OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY);
    if (!gPlatform.openDialog(&request)) return 0;
    RememberChosenFolder(path);
    return LoadSettingsFromPath(path, settings);
}

bool LoadSettingsFromDialog(void* dialog, TMSettings* settings) {
    const int result = LoadSettingsFile(dialog, settings);
    if (const char* message = LoadErrorMessage(result)) ShowOwnedMessageBox(dialog, kErrorCaption, message);
    return result > 0;
}

void ShowHelpFile(void* dialog) {
    char installFolder[kPathBufferSize] = "";
    ReadRegistryString(kInstallPathValue, installFolder, sizeof installFolder);
    char path[kPathBufferSize];
    // An installation folder too long for the page's path counts as missing.
    if (!ComposeHelpPath(installFolder, path)) ComposeHelpPath("", path);
    if (gPlatform.shellOpen(dialog, path) > 32) return;
    ShowOwnedMessageBox(dialog, kErrorCaption, MissingHelpMessage(path).c_str());
}

long ReadLastUsedDir() {
    char folder[kPathBufferSize];
    const LONG status = ReadRegistryString(kLastUsedDirValue, folder, sizeof folder);
    if (status == ERROR_SUCCESS) SetLastUsedFolder(folder);
    return status;
}

long WriteLastUsedDir() {
    HKEY key = nullptr;
    LONG status = RegCreateKeyExA(HKEY_CURRENT_USER, kPluginRegistryKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                  KEY_ALL_ACCESS, nullptr, &key, nullptr);
    if (status != ERROR_SUCCESS) return status;
    const char* folder = LastUsedFolder();
    status = RegSetValueExA(key, kLastUsedDirValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(folder),
                            static_cast<DWORD>(std::strlen(folder) + 1));
    RegCloseKey(key);
    return status;
}
