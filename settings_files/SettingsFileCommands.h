// The main dialog's "Save...", "Load..." and "?" commands: settings files
// through the standard file dialogs, starting in the folder used last (kept
// in the current user's registry), and the help page installed beside the
// plug-in. The commands themselves are Windows code
// (SettingsFileCommandsWin.cpp); the parts below them that need no window
// system (folders, paths, the record through a file, the messages) are
// portable (SettingsFileCommands.cpp).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "SettingsRecord.h"

// The path buffers: the file dialogs' file name, the last-used folder and the
// help page's path hold up to 259 characters and the terminating zero.
constexpr size_t kPathBufferSize = 260;

// Under HKEY_CURRENT_USER. `Path` is the installation folder (written by the
// installer), `LastUsedDir` the folder of the settings file used last.
constexpr const char kPluginRegistryKey[] = "Software\\Corvanta\\Quillon\\ToneMappingPlugin";
constexpr const char kInstallPathValue[] = "Path";
constexpr const char kLastUsedDirValue[] = "LastUsedDir";

constexpr const char kDefaultSettingsFileName[] = "ToneMappingSettings.xmp";
constexpr const char kHelpFileName[] = "Help.html";
constexpr const char kErrorCaption[] = "Error";
constexpr const char kNoSettingsMessage[] = "XMP file does not contain Tone Mapping settings.";
constexpr const char kLoadFailedMessage[] = "Error found when loading XMP file.";

// ---- The commands (Windows). `dialog` is the owner window (HWND). ----

// "Save...": 0 when the user cancels the save dialog, else the writer's
// result (1, or -1 when the file cannot be written; not shown to the user).
int SaveSettingsFile(void* dialog, const TMSettings& settings);

// "Load...": 0 when the user cancels the open dialog, else the reader's
// result; only a positive one has changed the record.
int LoadSettingsFile(void* dialog, TMSettings* settings);

// "Load..." as the dialog's button runs it: LoadSettingsFile, then the
// message box (caption "Error") for a file that could not be loaded. True
// when the record changed and the dialog must show it.
bool LoadSettingsFromDialog(void* dialog, TMSettings* settings);

// "?": opens Help.html of the installation folder with the shell, or says
// where it looked when that fails.
void ShowHelpFile(void* dialog);

// The last-used folder from and to the registry; registry status, which no
// caller needs to look at. A value that does not fit the folder's buffer is
// not read.
long ReadLastUsedDir();
long WriteLastUsedDir();

// The platform calls behind the commands, replaceable so that tests can
// answer the file dialogs and see what the shell was asked to open.
// A file dialog receives an OPENFILENAMEA and answers as GetOpenFileNameA and
// GetSaveFileNameA do: non-zero when the user chose a file.
typedef int (*FileDialogProc)(void* openFileName);
// Opens `path` with the shell's "open" verb; the shell's result (> 32 is success).
typedef intptr_t (*ShellOpenProc)(void* owner, const char* path);
struct SettingsFilePlatform {
    FileDialogProc openDialog;
    FileDialogProc saveDialog;
    ShellOpenProc shellOpen;
};
// Null members restore the system's own.
void InstallSettingsFilePlatform(const SettingsFilePlatform& platform);

// ---- Portable parts ----

// The last-used folder: empty when the module loads.
const char* LastUsedFolder();
// Replaces it; a folder of kPathBufferSize characters or more is refused
// (false, the folder stays as it was).
bool SetLastUsedFolder(const char* folder);
// Remembers the folder of a chosen file: the path up to its last backslash,
// or the whole path when it has none.
bool RememberFolderOf(const char* path);
// Where the file dialogs start: the last-used folder when it is longer than
// 4 characters (so not a bare drive), else null for the system's default.
const char* InitialFolder();

// The help page's path: the installation folder, a backslash and Help.html.
// False, and `path` untouched, when that does not fit the buffer.
bool ComposeHelpPath(const char* installFolder, char path[kPathBufferSize]);
std::string MissingHelpMessage(const char* path);

// The record through a settings file, slot by slot (SettingsToArray and
// ArrayToSettings). Loading changes the record only on a positive result;
// slots the file does not carry arrive as 0 (Gamma as 50).
int SaveSettingsToPath(const char* path, const TMSettings& settings);
int LoadSettingsFromPath(const char* path, TMSettings* settings);

// The message for a load result, or null when there is none to show (a load
// that worked or was cancelled).
const char* LoadErrorMessage(int result);
