// ToneMapping-Setup.exe run silently as an administrator would, into a folder
// with spaces in its name: the files, the registry values, the help page that
// the dialog's "?" then finds, and the uninstaller taking all of it away.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "MessageBox.h"
#include "SettingsFileCommands.h"
#include "WindowsTestSupport.h"

namespace {

using namespace windows_test;
namespace fs = std::filesystem;

constexpr const char kUninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\QuillonToneMapping";

fs::path ProgramFolder() {
    char path[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, path, sizeof path);
    return fs::path(path).parent_path();
}

// Runs a command line and waits for its process; its exit code, or -1.
long RunAndWait(std::string commandLine) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process))
        return -1;
    DWORD code = STILL_ACTIVE;
    if (WaitForSingleObject(process.hProcess, 120000) == WAIT_OBJECT_0) GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<long>(code);
}

bool UninstallEntryExists() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kUninstallKey, 0, KEY_READ | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

std::string gShellPath;
intptr_t RecordShellOpen(void*, const char* path) {
    gShellPath = path;
    return 42;
}

TEST(Installer, InstallsThePlugInAndItsHelpPageAndTheUninstallerRemovesThem) {
#ifndef TM_INSTALLER_BUILT
    GTEST_SKIP() << "built without makensis";
#else
    const fs::path installer = ProgramFolder() / "ToneMapping-Setup.exe";
    ASSERT_TRUE(fs::exists(installer)) << installer;
    DeletePluginKey();
    const ScratchFolder scratch;
    const fs::path folder = scratch.dir / "Plug-Ins" / "Tone Mapping";

    // /D= comes last and unquoted, spaces and all.
    ASSERT_EQ(RunAndWait("\"" + installer.string() + "\" /S /D=" + folder.string()), 0);
    EXPECT_EQ(ReadBytes(folder / "ToneMapping.8bf"), ReadBytes(ProgramFolder() / "ToneMapping.8bf"));
    EXPECT_NE(ReadBytes(folder / "Help.html").find("<title>Tone Mapping Plug-In"), std::string::npos);
    const fs::path uninstaller = folder / "Uninstall Tone Mapping.exe";
    ASSERT_TRUE(fs::exists(uninstaller));
    EXPECT_EQ(PluginString("Path"), folder.string());
    EXPECT_TRUE(UninstallEntryExists());

    // The dialog's "?" now asks the shell for the installed page.
    CaughtMessages().clear();
    InstallMessageBoxHandler(CatchMessage);
    InstallSettingsFilePlatform({nullptr, nullptr, RecordShellOpen});
    ShowHelpFile(nullptr);
    InstallSettingsFilePlatform({});
    InstallMessageBoxHandler(nullptr);
    EXPECT_TRUE(fs::equivalent(gShellPath, folder / "Help.html")) << gShellPath;
    EXPECT_TRUE(CaughtMessages().empty());

    // Using the plug-in adds the remembered folder to the same key.
    SetLastUsedFolder(scratch.dir.string().c_str());
    WriteLastUsedDir();
    SetLastUsedFolder("");

    // The uninstaller hands over to a copy of itself and returns at once:
    // wait for the copy to finish its work.
    ASSERT_EQ(RunAndWait("\"" + uninstaller.string() + "\" /S"), 0);
    WaitUntil([&] { return !fs::exists(folder) && !PluginKeyExists() && !UninstallEntryExists(); }, 60000);
    EXPECT_FALSE(fs::exists(folder));
    EXPECT_TRUE(fs::exists(folder.parent_path()));  // the folder around it, which it did not make, stays
    EXPECT_FALSE(PluginKeyExists());
    HKEY vendor = nullptr;  // the empty parent keys go too
    EXPECT_NE(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Corvanta", 0, KEY_READ, &vendor), ERROR_SUCCESS);
    if (vendor != nullptr) RegCloseKey(vendor);
    EXPECT_FALSE(UninstallEntryExists());
#endif
}

}  // namespace
