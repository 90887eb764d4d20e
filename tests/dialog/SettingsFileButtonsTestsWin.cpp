// "Load...", "Save..." and "?" in the dialog of the built module: the
// system's file dialogs answered from the test thread as a user would, the
// loaded settings shown (also beyond a slider's range), and the messages of a
// file that cannot be loaded and of a missing help page.
#include "DialogDriverWin.h"

#include <commdlg.h>

#include <dlgs.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>

#include "../../settings_files/XmpSettings.h"
#include "../ScratchFolder.h"

namespace {

using namespace dialog_test;
namespace fs = std::filesystem;

// A dialog box of `thread` other than the tone-mapping dialog: a file dialog.
HWND WaitForFileDialog(DWORD thread) {
    HWND found = nullptr;
    WaitUntil([&] {
        EnumThreadWindows(
            thread,
            [](HWND window, LPARAM param) -> BOOL {
                char name[16] = "", title[64] = "";
                GetClassNameA(window, name, sizeof name);
                GetWindowTextA(window, title, sizeof title);
                if (std::string(name) != "#32770" || !IsWindowVisible(window) ||
                    std::string(title) == kDialogTitle)
                    return TRUE;
                *reinterpret_cast<HWND*>(param) = window;
                return FALSE;
            },
            reinterpret_cast<LPARAM>(&found));
        return found != nullptr;
    });
    return found;
}

// Clicks a button whose command opens a modal file dialog, then answers it:
// with a file name and OK, or with Cancel when `path` is empty.
void ClickAndAnswer(const Dialog& d, int button, const std::string& path) {
    PostMessageA(d.Item(button), BM_CLICK, 0, 0);
    const HWND files = WaitForFileDialog(GetWindowThreadProcessId(d.window, nullptr));
    ASSERT_NE(files, nullptr) << "no file dialog for " << button;
    if (path.empty()) {
        SendMessageA(files, WM_COMMAND, IDCANCEL, 0);
    } else {
        SendMessageA(files, CDM_SETCONTROLTEXT, cmb13, reinterpret_cast<LPARAM>(path.c_str()));
        SendMessageA(files, WM_COMMAND, IDOK, 0);
    }
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(files); }));
    d.Paint();  // waits for the dialog to be done with the command
}

TEST_F(DialogTest, LoadShowsTheFilesSettingsAndSaveWritesThem) {
    ScratchFolder folder;
    int32_t slots[kSettingCount] = {};
    slots[kSlotStrength] = 150;  // beyond the slider
    slots[kSlotLuminosity] = 3;
    slots[kSlotWhiteClip] = 10000;
    slots[kSlotGamma] = 40;
    slots[kSlotSmoothing] = 4;  // "Very Low"
    slots[kSlotSaturationShadows] = -7;
    ASSERT_EQ(WriteXmpSettings(folder.Path("look.xmp").c_str(), slots), 1);

    Run([&](Dialog& d) {
        const int previews = d.Previews();
        ClickAndAnswer(d, IDC_LOAD, folder.Path("look.xmp"));
        EXPECT_EQ(d.record->strength, 150);
        EXPECT_EQ(d.Text(IDC_STRENGTH_VALUE), "150");
        EXPECT_EQ(d.Position(IDC_STRENGTH), 100);
        EXPECT_EQ(d.Text(IDC_LUMINOSITY_VALUE), "+3");
        EXPECT_EQ(d.Text(IDC_WHITE_POINT_VALUE), "0.500");
        EXPECT_EQ(d.Text(IDC_GAMMA_VALUE), "1.15");
        EXPECT_EQ(d.Text(IDC_SMOOTHING_VALUE), "Very Low");
        EXPECT_TRUE(d.Checked(IDC_SMOOTHING_VERY_LOW));
        EXPECT_EQ(d.Text(IDC_SATURATION_SHADOWS_VALUE), "-7");
        EXPECT_EQ(d.Previews(), previews + 1);

        ClickAndAnswer(d, IDC_SAVE, folder.Path("saved.xmp"));
        int32_t back[kSettingCount] = {};
        ASSERT_GT(ReadXmpSettings(folder.Path("saved.xmp").c_str(), back), 0);
        for (int slot = 0; slot < kSettingCount; ++slot) EXPECT_EQ(back[slot], slots[slot]) << slot;
        EXPECT_TRUE(host.messages.empty());
    });
}

TEST_F(DialogTest, LoadCancelledChangesNothingAndAForeignFileSaysSo) {
    ScratchFolder folder;
    {
        std::FILE* file = std::fopen(folder.Path("other.xmp").c_str(), "w");
        ASSERT_NE(file, nullptr);
        std::fputs("<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"></x:xmpmeta>\n", file);
        std::fclose(file);
    }
    Run([&](Dialog& d) {
        const TMSettings before = *d.record;
        const int previews = d.Previews();
        ClickAndAnswer(d, IDC_LOAD, "");
        EXPECT_TRUE(host.messages.empty());
        EXPECT_EQ(d.record->strength, before.strength);
        EXPECT_EQ(d.Previews(), previews);

        ClickAndAnswer(d, IDC_LOAD, folder.Path("other.xmp"));
        ASSERT_EQ(host.messages.size(), 1u);
        EXPECT_EQ(host.messages[0].caption, "Error");
        EXPECT_EQ(host.messages[0].text, "XMP file does not contain Tone Mapping settings.");
        EXPECT_EQ(d.record->gammaCode, before.gammaCode);
        EXPECT_EQ(d.Previews(), previews);
    });
}

// The help page is looked for in the installation folder the registry names.
TEST_F(DialogTest, HelpButtonSaysWhereThePageIsMissing) {
    constexpr char kKey[] = "Software\\Corvanta\\Quillon\\ToneMappingPlugin";
    char saved[MAX_PATH] = "";
    DWORD size = sizeof saved;
    const bool hadPath =
        RegGetValueA(HKEY_CURRENT_USER, kKey, "Path", RRF_RT_REG_SZ, nullptr, saved, &size) == ERROR_SUCCESS;
    ScratchFolder folder;
    const std::string missing = folder.Path("not installed");
    ASSERT_EQ(RegSetKeyValueA(HKEY_CURRENT_USER, kKey, "Path", REG_SZ, missing.c_str(), DWORD(missing.size() + 1)),
              ERROR_SUCCESS);
    Run([&](Dialog& d) {
        d.Click(IDC_HELP_BUTTON);
        ASSERT_EQ(host.messages.size(), 1u);
        EXPECT_NE(host.messages[0].text.find(missing + "\\Help.html"), std::string::npos) << host.messages[0].text;
    });
    if (hadPath)
        RegSetKeyValueA(HKEY_CURRENT_USER, kKey, "Path", REG_SZ, saved, DWORD(std::strlen(saved) + 1));
    else
        RegDeleteKeyValueA(HKEY_CURRENT_USER, kKey, "Path");
}

}  // namespace
