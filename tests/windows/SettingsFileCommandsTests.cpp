// The dialog's Save..., Load... and ? commands with the registry of the test
// prefix: the file dialogs answered through their seam (and once for real,
// from a second thread), the shell's open through its seam, messages caught
// by the module's message handler.
#include <windows.h>

#include <commdlg.h>

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "MessageBox.h"
#include "Settings.h"
#include "SettingsFileCommands.h"
#include "WindowsTestSupport.h"

namespace {

using namespace windows_test;

// What a file dialog was asked, and what it answers.
struct FileDialogCall {
    bool shown = false;
    HWND owner = nullptr;
    std::string filter;  // with its zeros, through the double zero
    bool hasInitialFolder = false;
    std::string initialFolder;
    std::string presetName;
    DWORD flags = 0;
    DWORD bufferSize = 0;
    bool structSizeRight = false;
    bool defaultExtension = false;
    bool title = false;
};

struct FakeFileDialogs {
    FileDialogCall open, save;
    std::string answer;  // the chosen path; empty: the user cancels
};
FakeFileDialogs gDialogs;

std::string FilterOf(const char* filter) {
    std::string bytes;
    while (filter != nullptr && *filter != '\0') {
        bytes += filter;
        bytes += '\0';
        filter += std::strlen(filter) + 1;
    }
    return bytes + '\0';
}

int Answer(void* request, FileDialogCall* call) {
    auto* ofn = static_cast<OPENFILENAMEA*>(request);
    call->shown = true;
    call->owner = ofn->hwndOwner;
    call->filter = FilterOf(ofn->lpstrFilter);
    call->hasInitialFolder = ofn->lpstrInitialDir != nullptr;
    call->initialFolder = call->hasInitialFolder ? ofn->lpstrInitialDir : "";
    call->presetName = ofn->lpstrFile;
    call->flags = ofn->Flags;
    call->bufferSize = ofn->nMaxFile;
    call->structSizeRight = ofn->lStructSize == sizeof(OPENFILENAMEA);
    call->defaultExtension = ofn->lpstrDefExt != nullptr;
    call->title = ofn->lpstrTitle != nullptr;
    if (gDialogs.answer.empty()) return FALSE;
    std::strcpy(ofn->lpstrFile, gDialogs.answer.c_str());
    return TRUE;
}
int FakeOpen(void* request) { return Answer(request, &gDialogs.open); }
int FakeSave(void* request) { return Answer(request, &gDialogs.save); }

// What the shell was asked to open, and its answer.
struct FakeShell {
    int calls = 0;
    HWND owner = nullptr;
    std::string path;
    intptr_t result = 42;
};
FakeShell gShell;
intptr_t FakeShellOpen(void* owner, const char* path) {
    ++gShell.calls;
    gShell.owner = static_cast<HWND>(owner);
    gShell.path = path;
    return gShell.result;
}

const HWND kDialog = reinterpret_cast<HWND>(intptr_t{0x5150});

class SettingsFileCommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        gDialogs = FakeFileDialogs{};
        gShell = FakeShell{};
        CaughtMessages().clear();
        InstallMessageBoxHandler(CatchMessage);
        InstallSettingsFilePlatform({FakeOpen, FakeSave, FakeShellOpen});
        DeletePluginKey();
        SetLastUsedFolder("");
        InitSettings(&settings, nullptr);
    }
    void TearDown() override {
        InstallSettingsFilePlatform({});
        InstallMessageBoxHandler(nullptr);
        DeletePluginKey();
        SetLastUsedFolder("");
    }

    int Save(const std::string& answer) {
        gDialogs.answer = answer;
        return SaveSettingsFile(kDialog, settings);
    }
    bool Load(const std::string& answer) {
        gDialogs.answer = answer;
        return LoadSettingsFromDialog(kDialog, &settings);
    }
    std::string File(const std::string& name, const std::string& bytes) {
        scratch.Write(name, bytes);
        return scratch.Path(name);
    }

    ScratchFolder scratch;
    TMSettings settings{};
};

bool SameFields(const TMSettings& a, const TMSettings& b) {
    const SettingsSnapshot x = TakeSettingsSnapshot(a), y = TakeSettingsSnapshot(b);
    return std::equal(x.value, x.value + kSettingCount, y.value);
}

TEST_F(SettingsFileCommandsTest, SaveAsksTheSaveDialogAsWrittenAndRemembersTheFolder) {
    const std::string folder = scratch.dir.string();
    ASSERT_EQ(Save(scratch.Path("a.xmp")), 1);
    const FileDialogCall& call = gDialogs.save;
    ASSERT_TRUE(call.shown);
    EXPECT_FALSE(gDialogs.open.shown);
    EXPECT_EQ(call.owner, kDialog);
    EXPECT_TRUE(call.structSizeRight);
    EXPECT_EQ(call.presetName, "ToneMappingSettings.xmp");
    EXPECT_EQ(call.bufferSize, 260u);
    EXPECT_EQ(call.filter, std::string(".xmp <Extensible Metadata Platform>\0*.xmp\0\0", 43));
    EXPECT_FALSE(call.hasInitialFolder);  // nothing remembered yet
    EXPECT_EQ(call.flags, DWORD(OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY));
    EXPECT_FALSE(call.defaultExtension);
    EXPECT_FALSE(call.title);

    EXPECT_TRUE(std::filesystem::exists(scratch.Path("a.xmp")));
    EXPECT_EQ(LastUsedFolder(), folder);
    EXPECT_EQ(PluginString("LastUsedDir"), folder);

    // The next Load opens there, and so does one after the module is loaded
    // again and has read the folder back from the registry.
    EXPECT_FALSE(Load(""));  // cancelled
    EXPECT_EQ(gDialogs.open.initialFolder, folder);
    SetLastUsedFolder("");
    ReadLastUsedDir();
    gDialogs.open = {};
    Load("");
    EXPECT_EQ(gDialogs.open.initialFolder, folder);
}

TEST_F(SettingsFileCommandsTest, LoadAsksTheOpenDialogAsWritten) {
    SetPluginString("LastUsedDir", "C:\\Settings");
    ReadLastUsedDir();
    EXPECT_FALSE(Load(""));
    const FileDialogCall& call = gDialogs.open;
    ASSERT_TRUE(call.shown);
    EXPECT_EQ(call.owner, kDialog);
    EXPECT_TRUE(call.structSizeRight);
    EXPECT_EQ(call.presetName, "");
    EXPECT_EQ(call.bufferSize, 260u);
    EXPECT_EQ(call.filter, std::string("Tone Mapping Settings (.xmp)\0*.xmp\0\0", 36));
    EXPECT_EQ(call.initialFolder, "C:\\Settings");
    EXPECT_EQ(call.flags, DWORD(OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY));
}

TEST_F(SettingsFileCommandsTest, ANameWithoutExtensionIsSavedUnchanged) {
    ASSERT_EQ(Save(scratch.Path("no extension")), 1);
    EXPECT_TRUE(std::filesystem::exists(scratch.Path("no extension")));
    EXPECT_FALSE(std::filesystem::exists(scratch.Path("no extension.xmp")));
}

TEST_F(SettingsFileCommandsTest, ARememberedFolderOfFourCharactersOrFewerIsNotUsed) {
    for (const char* shortFolder : {"C:", "C:\\x", ""}) {
        SetPluginString("LastUsedDir", shortFolder);
        ReadLastUsedDir();
        ASSERT_STREQ(LastUsedFolder(), shortFolder);
        gDialogs.save = {};
        Save("");
        EXPECT_FALSE(gDialogs.save.hasInitialFolder) << shortFolder;
    }
    SetPluginString("LastUsedDir", "C:\\xy");
    ReadLastUsedDir();
    Save("");
    EXPECT_EQ(gDialogs.save.initialFolder, "C:\\xy");
}

TEST_F(SettingsFileCommandsTest, RegistryValuesThatDoNotFitOrAreNoStringsAreNotRead) {
    SetLastUsedFolder("C:\\Kept");
    SetPluginString("LastUsedDir", "C:\\" + std::string(300, 'd'));
    EXPECT_NE(ReadLastUsedDir(), ERROR_SUCCESS);
    EXPECT_STREQ(LastUsedFolder(), "C:\\Kept");
    const DWORD number = 7;
    ASSERT_EQ(RegSetKeyValueA(HKEY_CURRENT_USER, kKey, "LastUsedDir", REG_DWORD, &number, sizeof number),
              ERROR_SUCCESS);
    EXPECT_NE(ReadLastUsedDir(), ERROR_SUCCESS);
    EXPECT_STREQ(LastUsedFolder(), "C:\\Kept");
    DeletePluginKey();
    EXPECT_NE(ReadLastUsedDir(), ERROR_SUCCESS);
    EXPECT_STREQ(LastUsedFolder(), "C:\\Kept");
    // The longest folder that fits is read whole.
    const std::string longest = "C:\\" + std::string(kPathBufferSize - 4, 'd');
    SetPluginString("LastUsedDir", longest);
    EXPECT_EQ(ReadLastUsedDir(), ERROR_SUCCESS);
    EXPECT_EQ(LastUsedFolder(), longest);
}

TEST_F(SettingsFileCommandsTest, VeryLowAndMicrocontrastMinusThreeRoundTrip) {
    settings.lightSmoothingCode = -2;  // "Very Low"
    settings.microcontrastCode = -3;
    settings.strength = 85;
    const TMSettings saved = settings;
    ASSERT_EQ(Save(scratch.Path("round.xmp")), 1);
    const std::string text = ReadBytes(scratch.Path("round.xmp"));
    EXPECT_NE(text.find("<kvtm:Smoothing>Very Low</kvtm:Smoothing>"), std::string::npos);
    EXPECT_NE(text.find("<kvtm:Microcontrast>-3</kvtm:Microcontrast>"), std::string::npos);
    int32_t slots[kSettingCount] = {};
    SettingsToArray(saved, slots);
    EXPECT_EQ(slots[5], 4);

    InitSettings(&settings, nullptr);
    EXPECT_TRUE(Load(scratch.Path("round.xmp")));
    EXPECT_EQ(settings.lightSmoothingCode, -2);
    EXPECT_EQ(settings.microcontrastCode, -3);
    EXPECT_TRUE(SameFields(settings, saved));
    EXPECT_TRUE(CaughtMessages().empty());
}

// Values are taken without range checks; what the file lacks arrives as 0
// (Gamma as 50).
TEST_F(SettingsFileCommandsTest, StrengthAboveTheSliderLoadsAsItIsAndMissingSettingsAsZero) {
    const std::string path = File("strong.xmp",
                                  "<x:xmpmeta xmlns:x='adobe:ns:meta/'>\n"
                                  "  xmlns:kvtm='http://ns.corvanta.com/tone_mapping_settings'>\n"
                                  "  <kvtm:Strength>150</kvtm:Strength>\n"
                                  " </rdf:Description>\n</x:xmpmeta>\n");
    EXPECT_TRUE(Load(path));
    EXPECT_EQ(settings.strength, 150);
    EXPECT_EQ(settings.luminosityCode, 10);     // Luminosity 0
    EXPECT_EQ(settings.lightSmoothingCode, 2);  // "Very High"
    EXPECT_EQ(settings.whitePoint, 0);
    EXPECT_EQ(settings.gammaCode, 50);
    EXPECT_TRUE(CaughtMessages().empty());
}

TEST_F(SettingsFileCommandsTest, FilesThatCannotBeLoadedAreReportedAndChangeNothing) {
    const std::string foreign = File("foreign.xmp", "<x:xmpmeta>\n<rdf:RDF>\n</rdf:RDF>\n</x:xmpmeta>\n");
    const std::string damaged = File("damaged.xmp",
                                     "<x:xmpmeta xmlns:x='adobe:ns:meta/'>\n"
                                     "  xmlns:kvtm='http://ns.corvanta.com/tone_mapping_settings'>\n"
                                     "  <kvtm:Method>Velvet Flattening</kvtm:Method>\n"
                                     "  <kvtm:Strength>99</kvtm:Strength>\n"
                                     "</x:xmpmeta>\n");
    settings.strength = 33;
    const TMSettings before = settings;
    EXPECT_FALSE(Load(foreign));
    EXPECT_FALSE(Load(damaged));
    EXPECT_FALSE(Load(scratch.Path("gone.xmp")));
    ASSERT_EQ(CaughtMessages().size(), 3u);
    EXPECT_EQ(CaughtMessages()[0].caption, "Error");
    EXPECT_EQ(CaughtMessages()[0].text, "XMP file does not contain Tone Mapping settings.");
    for (int i : {1, 2}) {
        EXPECT_EQ(CaughtMessages()[i].caption, "Error");
        EXPECT_EQ(CaughtMessages()[i].text, "Error found when loading XMP file.");
    }
    EXPECT_TRUE(SameFields(settings, before));
}

TEST_F(SettingsFileCommandsTest, ACancelledDialogChangesNothing) {
    SetPluginString("LastUsedDir", "C:\\Before");
    ReadLastUsedDir();
    settings.strength = 12;
    const TMSettings before = settings;
    EXPECT_FALSE(Load(""));
    EXPECT_EQ(Save(""), 0);
    EXPECT_TRUE(gDialogs.open.shown && gDialogs.save.shown);
    EXPECT_TRUE(CaughtMessages().empty());
    EXPECT_TRUE(SameFields(settings, before));
    EXPECT_STREQ(LastUsedFolder(), "C:\\Before");
    EXPECT_EQ(PluginString("LastUsedDir"), "C:\\Before");
    EXPECT_FALSE(std::filesystem::exists("ToneMappingSettings.xmp"));
}

TEST_F(SettingsFileCommandsTest, SaveFailuresAreSilent) {
    EXPECT_EQ(Save(scratch.Path("missing folder\\a.xmp")), -1);
    EXPECT_TRUE(CaughtMessages().empty());
}

TEST_F(SettingsFileCommandsTest, HelpOpensHelpHtmlOfTheInstallationFolder) {
    SetPluginString("Path", "C:\\Plug-Ins\\Tone Mapping");
    ShowHelpFile(kDialog);
    EXPECT_EQ(gShell.calls, 1);
    EXPECT_EQ(gShell.owner, kDialog);
    EXPECT_EQ(gShell.path, "C:\\Plug-Ins\\Tone Mapping\\Help.html");
    EXPECT_TRUE(CaughtMessages().empty());

    gShell.result = 2;  // file not found
    ShowHelpFile(kDialog);
    ASSERT_EQ(CaughtMessages().size(), 1u);
    EXPECT_EQ(CaughtMessages()[0].caption, "Error");
    EXPECT_EQ(CaughtMessages()[0].text, MissingHelpMessage("C:\\Plug-Ins\\Tone Mapping\\Help.html"));
}

TEST_F(SettingsFileCommandsTest, HelpWithoutAUsableInstallationFolderTriesTheBareName) {
    gShell.result = 2;
    ShowHelpFile(kDialog);  // no key at all
    SetPluginString("Path", "C:\\" + std::string(250, 'p'));  // the page's path would not fit
    ShowHelpFile(kDialog);
    EXPECT_EQ(gShell.path, "\\Help.html");
    ASSERT_EQ(CaughtMessages().size(), 2u);
    for (const CaughtMessage& message : CaughtMessages())
        EXPECT_NE(message.text.find("Could not find Help file at: \\Help.html\n"), std::string::npos);
}

TEST_F(SettingsFileCommandsTest, HelpThroughTheRealShellReportsAMissingPage) {
    InstallSettingsFilePlatform({FakeOpen, FakeSave, nullptr});
    SetPluginString("Path", scratch.Path("not installed"));
    ShowHelpFile(nullptr);
    ASSERT_EQ(CaughtMessages().size(), 1u);
    EXPECT_EQ(CaughtMessages()[0].text, MissingHelpMessage((scratch.Path("not installed") + "\\Help.html").c_str()));
}

// The system's own file dialogs, answered from a second thread as a user
// would: type a name, press the dialog's OK.
TEST_F(SettingsFileCommandsTest, TheRealDialogsSaveIntoAFolderAndLoadOpensThere) {
    InstallSettingsFilePlatform({nullptr, nullptr, FakeShellOpen});
    const std::string folder = scratch.dir.string();
    settings.strength = 91;
    int saved = 0;
    std::string saveTitle;
    WhileShowing([&] { saved = SaveSettingsFile(nullptr, settings); },
                 [&](DWORD thread) {
                     const HWND dialog = WaitForDialogOf(thread);
                     if (dialog == nullptr) return;
                     char title[64] = "";
                     GetWindowTextA(dialog, title, sizeof title);
                     saveTitle = title;
                     const std::string typed = folder + "\\real";
                     SendMessageA(dialog, CDM_SETCONTROLTEXT, cmb13, reinterpret_cast<LPARAM>(typed.c_str()));
                     SendMessageA(dialog, WM_COMMAND, IDOK, 0);
                 });
    EXPECT_EQ(saved, 1) << "save dialog " << saveTitle;
    EXPECT_TRUE(std::filesystem::exists(scratch.Path("real")));

    InitSettings(&settings, nullptr);
    std::string openedIn;
    bool loaded = false;
    WhileShowing([&] { loaded = LoadSettingsFromDialog(nullptr, &settings); },
                 [&](DWORD thread) {
                     const HWND dialog = WaitForDialogOf(thread);
                     if (dialog == nullptr) return;
                     char current[MAX_PATH] = "";
                     SendMessageA(dialog, CDM_GETFOLDERPATH, sizeof current, reinterpret_cast<LPARAM>(current));
                     openedIn = current;
                     SendMessageA(dialog, CDM_SETCONTROLTEXT, cmb13, reinterpret_cast<LPARAM>("real"));
                     SendMessageA(dialog, WM_COMMAND, IDOK, 0);
                 });
    EXPECT_EQ(openedIn, folder);
    EXPECT_TRUE(loaded);
    EXPECT_EQ(settings.strength, 91);
}

}  // namespace
