// The portable parts of the dialog's settings file commands: the remembered
// folder, the help page's path, the record through a file and the messages.
// The commands themselves, with their dialogs, registry and the files they
// cannot load, are tested under wine (tests/windows).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

#include "ScratchFolder.h"
#include "SettingsFileCommands.h"
#include "SettingsTable.h"

namespace {

namespace fs = std::filesystem;

bool SameFields(const TMSettings& a, const TMSettings& b) {
    int32_t x[kSettingCount], y[kSettingCount];
    SettingsToArray(a, x);
    SettingsToArray(b, y);
    return std::equal(x, x + kSettingCount, y);
}

TMSettings FirstRunSettings() {
    TMSettings settings{};
    WriteDefaultSettings(DefaultSet::FirstRun, 0, &settings);
    return settings;
}

TEST(LastUsedFolder, IsTheChosenFilesFolderAndStartsTheDialogsOnlyWhenLongerThanFourCharacters) {
    ASSERT_TRUE(RememberFolderOf("C:\\Settings\\a.xmp"));
    EXPECT_STREQ(LastUsedFolder(), "C:\\Settings");
    EXPECT_STREQ(InitialFolder(), "C:\\Settings");

    ASSERT_TRUE(RememberFolderOf("C:\\a.xmp"));  // the root of a drive
    EXPECT_STREQ(LastUsedFolder(), "C:");
    EXPECT_EQ(InitialFolder(), nullptr);
    ASSERT_TRUE(SetLastUsedFolder("C:\\x"));  // 4
    EXPECT_EQ(InitialFolder(), nullptr);
    ASSERT_TRUE(SetLastUsedFolder("C:\\xy"));  // 5
    EXPECT_STREQ(InitialFolder(), "C:\\xy");

    ASSERT_TRUE(RememberFolderOf("plain.xmp"));  // no backslash: kept whole
    EXPECT_STREQ(LastUsedFolder(), "plain.xmp");
    ASSERT_TRUE(SetLastUsedFolder(""));
    EXPECT_EQ(InitialFolder(), nullptr);
}

TEST(LastUsedFolder, RefusesWhatDoesNotFitItsBuffer) {
    const std::string longest(kPathBufferSize - 1, 'd');
    ASSERT_TRUE(SetLastUsedFolder(longest.c_str()));
    EXPECT_EQ(LastUsedFolder(), longest);
    EXPECT_FALSE(SetLastUsedFolder((longest + "d").c_str()));
    EXPECT_EQ(LastUsedFolder(), longest);
    EXPECT_FALSE(RememberFolderOf(("C:\\" + longest + "\\a.xmp").c_str()));
    EXPECT_EQ(LastUsedFolder(), longest);
}

TEST(HelpPath, IsTheInstallationFolderAndHelpHtmlWhenItFits) {
    char path[kPathBufferSize] = "untouched";
    ASSERT_TRUE(ComposeHelpPath("C:\\Plug-Ins\\Tone Mapping", path));
    EXPECT_STREQ(path, "C:\\Plug-Ins\\Tone Mapping\\Help.html");
    ASSERT_TRUE(ComposeHelpPath("", path));  // no installation folder known
    EXPECT_STREQ(path, "\\Help.html");

    const std::string fits(kPathBufferSize - 1 - std::strlen("\\Help.html"), 'f');
    ASSERT_TRUE(ComposeHelpPath(fits.c_str(), path));
    EXPECT_EQ(std::strlen(path), kPathBufferSize - 1);
    std::strcpy(path, "untouched");
    EXPECT_FALSE(ComposeHelpPath((fits + "f").c_str(), path));
    EXPECT_STREQ(path, "untouched");
}

TEST(Messages, AreTheFixedTexts) {
    EXPECT_EQ(MissingHelpMessage("C:\\P\\Help.html"),
              "Could not find Help file at: C:\\P\\Help.html\n\n"
              "This may happen if you have moved the Help file to another location after installation.\n\n"
              "Please reinstall the Tone Mapping plugin to recover the Help file.");
    // Nothing to say for a load that worked or was cancelled.
    EXPECT_EQ(LoadErrorMessage(1234), nullptr);
    EXPECT_EQ(LoadErrorMessage(0), nullptr);
    EXPECT_STREQ(LoadErrorMessage(-10), "XMP file does not contain Tone Mapping settings.");
    for (int result : {-1, -2, -5}) EXPECT_STREQ(LoadErrorMessage(result), "Error found when loading XMP file.");
}

TEST(RecordThroughFile, SavesSlotsAndLoadsThemBackIntoTheFieldsOnly) {
    const ScratchFolder scratch;
    TMSettings saved = FirstRunSettings();
    saved.lightSmoothingCode = -2;  // "Very Low", slot 4
    saved.microcontrastCode = -3;
    saved.luminosityCode = 13;
    saved.colorTemperature = -10;
    const std::string path = scratch.Path("saved.xmp");
    ASSERT_EQ(SaveSettingsToPath(path.c_str(), saved), 1);
    const std::string text = ReadBytes(path);
    EXPECT_NE(text.find("<kvtm:Smoothing>Very Low</kvtm:Smoothing>"), std::string::npos);
    EXPECT_NE(text.find("<kvtm:Microcontrast>-3</kvtm:Microcontrast>"), std::string::npos);
    EXPECT_NE(text.find("<kvtm:Luminosity>3</kvtm:Luminosity>"), std::string::npos);

    // Flags and bookkeeping are neither saved nor loaded.
    TMSettings loaded{};
    loaded.is360 = 1;
    loaded.showPreview = 0;
    loaded.recomputeLevel = 7;
    ASSERT_GT(LoadSettingsFromPath(path.c_str(), &loaded), 0);
    EXPECT_TRUE(SameFields(loaded, saved));
    EXPECT_EQ(loaded.lightSmoothingCode, -2);
    EXPECT_EQ(loaded.is360, 1);
    EXPECT_EQ(loaded.showPreview, 0);
    EXPECT_EQ(loaded.recomputeLevel, 7);

    EXPECT_EQ(SaveSettingsToPath(scratch.Path("no/such/folder/x.xmp").c_str(), saved), -1);
}

}  // namespace
