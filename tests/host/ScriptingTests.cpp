// Actions played back and recorded, and the last-used settings in the
// host's registry, through our host: values, conversions, range checks, the
// dialog decision, and that every suite, descriptor and token is given back.
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "../../settings/DescriptorValues.h"
#include "../../settings/SettingsTable.h"
#include "HostTestSupport.h"
#include "PluginIdentity.h"
#include "PluginState.h"
#include "Scripting.h"

namespace {

namespace fs = std::filesystem;

DescriptorItem Int(const char (&key)[5], int32_t value) { return IntegerItem(FourCC(key), value); }
DescriptorItem Float(const char (&key)[5], double value) { return FloatItem(FourCC(key), value); }

// All fifteen keys in order, with values unlike any default.
DescriptorList FullAction() {
    return {Int("srgh", 33), Int("CSat", 77),    Int("Lumi", -4),    Int("LSmo", -2),    Int("MCon", 6),
            Int("MSmo", 12), Float("WCli", 0.5), Float("BCli", 0.1), Float("Gamm", 2.0), Int("CTem", -7),
            Int("SatH", 3),  Int("SatS", -3),    Int("SmHL", 40),    Int("SmSH", 50),    Int("ClSH", 60)};
}

// The fifteen settings in the order of the action's keys.
std::vector<int32_t> InKeyOrder(const TMSettings& s) {
    return {s.strength,          s.colorSaturation,      s.luminosityCode,    s.lightSmoothingCode, s.microcontrastCode,
            s.microSmoothing,    s.whitePoint,           s.blackPoint,        s.gammaCode,          s.colorTemperature,
            s.saturationHighlights, s.saturationShadows, s.highlightsSmoothing, s.shadowsSmoothing, s.shadowsClipping};
}

void ExpectFullActionApplied(const TMSettings& s) {
    EXPECT_EQ(InKeyOrder(s), (std::vector<int32_t>{33, 77, 6, -2, 6, 12, 10000, 2000, 0, -7, 3, -3, 40, 50, 60}));
}

void ExpectEverythingReturned(const MiniHost& host) {
    EXPECT_EQ(OutstandingSuites(host), 0);
    EXPECT_EQ(host.unmatchedSuiteReleases, 0);
    EXPECT_EQ(OutstandingActionDescriptors(host), 0);
    EXPECT_EQ(OutstandingDescriptorTokens(host), 0);
    EXPECT_EQ(host.playedDescriptorsLeftByModule, 0);
    EXPECT_EQ(OutstandingHandleLocks(host), 0);
}

void Play(MiniHost& host, DescriptorList action, int16_t playInfo) {
    host.playAction = true;
    host.actionToPlay = std::move(action);
    host.playInfo = playInfo;
}

void StoreEntry(MiniHost& host, DescriptorList items) {
    host.registry.loaded = true;
    host.registry.entries[TM_PLUGIN_UNIQUE_ID] = RegistryEntry{std::move(items), true};
}

// A folder of its own for each test that keeps a registry file.
struct TempFolder {
    fs::path path;
    TempFolder() {
        static int counter = 0;
        path = fs::temp_directory_path() /
               ("tm-scripting-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                std::to_string(++counter) + "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(path);
        fs::create_directories(path);
    }
    ~TempFolder() { fs::remove_all(path); }
};

std::string ReadText(const fs::path& path) {
    std::ifstream in(path);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

class ScriptingTest : public HostTest {
protected:
    MiniHost host;
    void SetUp() override {
        HostTest::SetUp();
        host.document = Scene(200, 150, 3, 32);
    }
    int16_t Run(bool withParameters = true) { return RunFilter(host, InProcessModule(), withParameters); }
};

TEST_F(ScriptingTest, SuppressedDialogActionRunsStraightThroughWithItsValues) {
    Play(host, FullAction(), plugInDialogDontDisplay);
    ASSERT_EQ(Run(), noErr);
    EXPECT_EQ(gStandIn.dialogCalls, 0);
    EXPECT_EQ(host.selectors, (std::vector<int16_t>{1, 2, 3, 4, 5}));
    ExpectFullActionApplied(*SettingsOf(host));
    ExpectEverythingReturned(host);

    // The same action with the dialog asked for shows it, with the action's values in place.
    TMSettings shown{};
    gStandIn.whileShown = [&] { shown = *SettingsOf(host); };
    host.playInfo = plugInDialogDisplay;
    ASSERT_EQ(Run(), noErr);
    EXPECT_EQ(gStandIn.dialogCalls, 1);
    ExpectFullActionApplied(shown);
    ExpectEverythingReturned(host);
}

TEST_F(ScriptingTest, ActionValuesApplyWithoutRangeChecksAndWinOverTheRegistry) {
    StoreEntry(host, {Int("srgh", 90), Int("CSat", 90)});
    Play(host, {Int("srgh", 150), Float("WCli", 2.5), Int("Lumi", 25)}, plugInDialogDontDisplay);
    ASSERT_EQ(Run(), noErr);
    const TMSettings& s = *SettingsOf(host);
    EXPECT_EQ(s.strength, 150);
    EXPECT_EQ(s.whitePoint, 50000);
    EXPECT_EQ(s.luminosityCode, 35);
    EXPECT_EQ(s.colorSaturation, 90);  // from the registry: the action does not carry it
}

TEST_F(ScriptingTest, GammaExponentsBecomeCodesFromActionsAndTheRegistry) {
    for (auto [exponent, code] : {std::pair{1.0, 50}, {2.0, 0}, {0.5, 100}}) {
        Play(host, {Float("Gamm", exponent)}, plugInDialogDontDisplay);
        ASSERT_EQ(Run(), noErr);
        EXPECT_EQ(SettingsOf(host)->gammaCode, code) << "action " << exponent;
    }
    host.playAction = false;
    const DescriptorList defaults = {Int("srgh", 70), Int("CSat", 46), Int("Lumi", 0),      Int("LSmo", 1),
                                     Int("MCon", 0),  Int("MSmo", 0),  Float("WCli", 0.25), Float("BCli", 0)};
    for (auto [exponent, code] : {std::pair{1.0, 50}, {2.0, 0}, {0.5, 100}}) {
        DescriptorList entry = defaults;
        entry.push_back(Float("Gamm", exponent));
        StoreEntry(host, entry);
        ASSERT_EQ(Run(), noErr);
        EXPECT_EQ(SettingsOf(host)->gammaCode, code) << "registry " << exponent;
    }
}

TEST_F(ScriptingTest, FinishRecordsTheActionAndTheRegistryEntryInKeyOrder) {
    Play(host, FullAction(), plugInDialogDontDisplay);
    ASSERT_EQ(Run(), noErr);
    host.playAction = false;
    ASSERT_TRUE(host.actionRecorded);
    EXPECT_EQ(host.descriptorParameters.recordInfo, 0);

    const RegistryEntry* stored = FindRegistryEntry(host, TM_PLUGIN_UNIQUE_ID);
    ASSERT_NE(stored, nullptr);
    EXPECT_TRUE(stored->persistent);
    const DescriptorList* lists[] = {&host.recordedAction, &stored->items};
    for (const DescriptorList* written : lists) {
        const DescriptorList expected = FullAction();
        ASSERT_EQ(written->size(), expected.size());
        for (size_t i = 0; i < expected.size(); ++i) {
            EXPECT_EQ((*written)[i].key, expected[i].key) << i;
            EXPECT_EQ((*written)[i].type, expected[i].type) << i;
            EXPECT_EQ((*written)[i].integer, expected[i].integer) << i;
            EXPECT_EQ((*written)[i].number, expected[i].number) << i;  // 0.5, 0.1 and 2.0 exactly
        }
    }

    // Gamma code 50 is written as exactly 1.0, White Point 5000 as 0.25, Luminosity code 10 as 0.
    host.registry.entries.clear();
    ASSERT_EQ(Run(), noErr);  // the first-run defaults
    EXPECT_EQ(FindItem(host.recordedAction, FourCC("Gamm"))->number, 1.0);
    EXPECT_EQ(FindItem(host.recordedAction, FourCC("WCli"))->number, 0.25);
    EXPECT_EQ(FindItem(host.recordedAction, FourCC("Lumi"))->integer, 0);
    ExpectEverythingReturned(host);
}

TEST_F(ScriptingTest, CancelWritesNeitherTheActionNorTheRegistry) {
    gStandIn.accept = false;
    EXPECT_EQ(Run(), userCanceledErr);
    EXPECT_FALSE(host.actionRecorded);
    EXPECT_EQ(FindRegistryEntry(host, TM_PLUGIN_UNIQUE_ID), nullptr);
    ExpectEverythingReturned(host);
}

TEST_F(ScriptingTest, UnknownKeyEndsTheActionKeepingTheKeysBeforeIt) {
    Play(host, {Int("srgh", 21), Int("CSat", 22), Int("Zzzz", 1), Int("Lumi", 5)}, plugInDialogDontDisplay);
    ASSERT_EQ(Run(), noErr);
    EXPECT_EQ(SettingsOf(host)->strength, 21);
    EXPECT_EQ(SettingsOf(host)->colorSaturation, 22);
    EXPECT_EQ(SettingsOf(host)->luminosityCode, 10);
    ExpectEverythingReturned(host);

    // A value of the wrong type ends the reading the same way.
    host.registry.entries.clear();
    Play(host, {Int("srgh", 23), Float("CSat", 5.0), Int("Lumi", 5)}, plugInDialogDontDisplay);
    ASSERT_EQ(Run(), noErr);
    EXPECT_EQ(SettingsOf(host)->strength, 23);
    EXPECT_EQ(SettingsOf(host)->colorSaturation, 46);
    EXPECT_EQ(SettingsOf(host)->luminosityCode, 10);
}

TEST_F(ScriptingTest, UnusableFloatsLeaveTheirFieldsAlone) {
    Play(host, {Float("WCli", NAN), Float("Gamm", 0.0), Float("BCli", 1e300), Int("srgh", 12)},
         plugInDialogDontDisplay);
    ASSERT_EQ(Run(), noErr);
    EXPECT_EQ(SettingsOf(host)->whitePoint, 5000);
    EXPECT_EQ(SettingsOf(host)->gammaCode, 50);
    EXPECT_EQ(SettingsOf(host)->blackPoint, INT32_MAX);  // saturated, not undefined
    EXPECT_EQ(SettingsOf(host)->strength, 12);
}

TEST_F(ScriptingTest, RegistryEntryWithoutMicrocontrastAppliesOnlyTheKeysBeforeIt) {
    StoreEntry(host, {Int("srgh", 11), Int("CSat", 12), Int("Lumi", -3), Int("LSmo", -2), Int("MSmo", 30),
                      Float("WCli", 0.5), Float("BCli", 0.2), Float("Gamm", 2.0), Int("CTem", 5)});
    ASSERT_EQ(Run(), noErr);
    const TMSettings& s = *SettingsOf(host);
    EXPECT_EQ(s.strength, 11);
    EXPECT_EQ(s.colorSaturation, 12);
    EXPECT_EQ(s.luminosityCode, 7);
    EXPECT_EQ(s.lightSmoothingCode, -2);
    EXPECT_EQ(s.microSmoothing, 0);
    EXPECT_EQ(s.whitePoint, 5000);
    EXPECT_EQ(s.gammaCode, 50);
    EXPECT_EQ(s.colorTemperature, 0);
    ExpectEverythingReturned(host);
}

TEST_F(ScriptingTest, RegistryValuesOutsideTheirRangesAreSkipped) {
    StoreEntry(host, {Int("srgh", 0), Int("CSat", 101), Int("Lumi", 10), Int("LSmo", 3), Int("MCon", -10),
                      Int("MSmo", 31), Float("WCli", 2.5), Float("BCli", 0.5), Float("Gamm", 0.34), Int("CTem", -11),
                      Int("SatH", 10), Int("SatS", -10), Int("SmHL", 100), Int("SmSH", -1), Int("ClSH", 100)});
    ASSERT_EQ(Run(), noErr);
    const TMSettings& s = *SettingsOf(host);
    // Strength 0 is below the registry's 1..100; a white point of 2.5 is
    // ignored here, though an action applies it.
    EXPECT_EQ(InKeyOrder(s), (std::vector<int32_t>{70, 46, 20, 1, -10, 0, 5000, 10000, 50, 0, 10, -10, 100, 0, 100}));
}

TEST_F(ScriptingTest, SuitesAndDescriptorsComeBackWhenTheHostFails) {
    // Either suite missing: nothing read, nothing stored, the run goes on.
    for (int failing : {1, 2, 3, 4}) {
        MiniHost h;
        h.document = Scene(200, 150, 3, 16);
        h.faults.failSuiteAcquisition = failing;
        StoreEntry(h, {Int("srgh", 5)});
        ASSERT_EQ(RunFilter(h, InProcessModule(), true), noErr);
        EXPECT_EQ(SettingsOf(h)->strength, failing <= 2 ? 70 : 5) << failing;
        EXPECT_EQ(FindRegistryEntry(h, TM_PLUGIN_UNIQUE_ID)->items.size(), failing <= 2 ? 15u : 1u) << failing;
        ExpectEverythingReturned(h);
    }
    // A failing Put registers nothing.
    MiniHost h;
    h.document = Scene(200, 150, 3, 32);
    h.faults.failDescriptorPut = 9;
    ASSERT_EQ(RunFilter(h, InProcessModule(), true), noErr);
    EXPECT_EQ(FindRegistryEntry(h, TM_PLUGIN_UNIQUE_ID), nullptr);
    ExpectEverythingReturned(h);
}

TEST_F(ScriptingTest, WithoutHostFacilitiesEverythingIsANoOp) {
    host.offerScripting = false;
    host.offerBasicSuite = false;
    ASSERT_EQ(Run(), noErr);
    EXPECT_EQ(gStandIn.dialogCalls, 1);  // the dialog request of the parameters selector decides
    ASSERT_EQ(Run(false), noErr);
    EXPECT_EQ(gStandIn.dialogCalls, 1);
    EXPECT_FALSE(host.actionRecorded);
    EXPECT_EQ(host.suiteAcquisitions, 0);

    // The module's results for the missing pieces, called directly.
    EXPECT_EQ(ReadScriptedSettings(nullptr), errMissingParameter);
    gPlugin = PluginState{};
    EXPECT_EQ(LoadLastUsedSettings(), errPlugInHostInsufficient);
}

TEST_F(ScriptingTest, WriterWithoutTokenRecordsNothingButTheRegistryEntryStays) {
    host.writeDescriptorProcs.openWriteDescriptorProc = []() -> PIWriteDescriptor { return nullptr; };
    ASSERT_EQ(Run(), noErr);
    EXPECT_FALSE(host.actionRecorded);
    EXPECT_NE(FindRegistryEntry(host, TM_PLUGIN_UNIQUE_ID), nullptr);
}

TEST_F(ScriptingTest, PlayInfoDecidesTheDialogOnlyWhenAnActionIsPlayed) {
    // A repeat without parameters selector: no dialog unless the action asks for it.
    ASSERT_EQ(Run(), noErr);
    EXPECT_EQ(gStandIn.dialogCalls, 1);
    Play(host, {Int("srgh", 44)}, plugInDialogDisplay);
    ASSERT_EQ(Run(false), noErr);
    EXPECT_EQ(gStandIn.dialogCalls, 2);
    host.playInfo = plugInDialogSilent;
    ASSERT_EQ(Run(false), noErr);
    EXPECT_EQ(gStandIn.dialogCalls, 2);
    EXPECT_EQ(SettingsOf(host)->strength, 44);
}

// Every White Point and Gamma code comes back from the descriptor values
// the module writes, although the conversions truncate.
TEST(DescriptorValues, EveryFloatSettingSurvivesTheRoundTrip) {
    const SettingInfo& white = *SettingForKey(FourCC("WCli"));
    const SettingInfo& gamma = *SettingForKey(FourCC("Gamm"));
    int32_t field = -1;
    for (int32_t w = 0; w <= 200000; ++w) {
        ASSERT_TRUE(FieldOfDescriptorFloat(white, DescriptorFloatOf(white, w), &field));
        ASSERT_EQ(field, w);
    }
    for (int32_t code = 0; code <= 100; ++code) {
        ASSERT_TRUE(FieldOfDescriptorFloat(gamma, DescriptorFloatOf(gamma, code), &field));
        ASSERT_EQ(field, code);
    }
    // Values between two codes still truncate toward zero.
    ASSERT_TRUE(FieldOfDescriptorFloat(white, 0.123456, &field));
    EXPECT_EQ(field, 2469);
    ASSERT_TRUE(FieldOfDescriptorFloat(white, -0.00009, &field));
    EXPECT_EQ(field, -1);
    // Codes saturated by an extreme action still give an exponent when recorded.
    ASSERT_TRUE(FieldOfDescriptorFloat(gamma, INFINITY, &field));
    EXPECT_EQ(field, INT32_MIN);
    EXPECT_EQ(DescriptorFloatOf(gamma, INT32_MIN), INFINITY);
    EXPECT_EQ(DescriptorFloatOf(gamma, INT32_MAX), 0.0);
}

// ---- The registry file ----

TEST_F(HostTest, RegistryOutlivesTheHostInItsFile) {
    TempFolder folder;
    const fs::path file = folder.path / "tonemap" / "registry.txt";
    {
        MiniHost first;
        first.registryFile = file.string();
        first.document = Scene(200, 150, 3, 32);
        Play(first, FullAction(), plugInDialogDontDisplay);
        ASSERT_EQ(RunFilter(first, BuiltModule(), true), noErr);
        ExpectEverythingReturned(first);
        EXPECT_TRUE(first.warnings.empty());
    }
    const std::string text = ReadText(file);
    EXPECT_NE(text.find("[" TM_PLUGIN_UNIQUE_ID "]\nsrgh long 33\nCSat long 77\n"), std::string::npos) << text;
    EXPECT_NE(text.find("WCli doub 0.5\nBCli doub 0.1\nGamm doub 2\n"), std::string::npos) << text;
    EXPECT_EQ(std::distance(fs::directory_iterator(file.parent_path()), fs::directory_iterator()), 1);

    MiniHost second;
    second.registryFile = file.string();
    second.document = Scene(200, 150, 3, 16);
    ASSERT_EQ(RunFilter(second, BuiltModule(), true), noErr);
    ExpectFullActionApplied(*SettingsOf(second));
    EXPECT_TRUE(second.warnings.empty());
}

TEST_F(HostTest, DamagedRegistryFileIsIgnoredWithAWarningAndReplaced) {
    TempFolder folder;
    const fs::path file = folder.path / "registry.txt";
    for (const char* damage : {"[" TM_PLUGIN_UNIQUE_ID "]\nsrgh long 33\nCSat long seventy\n", "srgh long 33\n",
                               "[" TM_PLUGIN_UNIQUE_ID "\n", "\x01\x02garbage"}) {
        std::ofstream(file, std::ios::binary) << damage;
        MiniHost host;
        host.registryFile = file.string();
        host.document = Scene(200, 150, 3, 32);
        ASSERT_EQ(RunFilter(host, InProcessModule(), true), noErr);
        EXPECT_EQ(SettingsOf(host)->strength, 70);
        ASSERT_EQ(host.warnings.size(), 1u);
        EXPECT_NE(host.warnings[0].find("damaged"), std::string::npos) << host.warnings[0];

        MiniHost after;  // the finish rewrote a sound file
        after.registryFile = file.string();
        ASSERT_NE(FindRegistryEntry(after, TM_PLUGIN_UNIQUE_ID), nullptr);
        EXPECT_TRUE(after.warnings.empty());
    }
}

TEST_F(HostTest, RegistryFileThatCannotBeWrittenOnlyWarns) {
    TempFolder folder;
    std::ofstream(folder.path / "not-a-folder") << "x";
    MiniHost host;
    host.registryFile = (folder.path / "not-a-folder" / "registry.txt").string();
    host.document = Scene(200, 150, 3, 32);
    ASSERT_EQ(RunFilter(host, InProcessModule(), true), noErr);
    ASSERT_EQ(host.warnings.size(), 1u);
    EXPECT_NE(host.warnings[0].find("cannot save"), std::string::npos) << host.warnings[0];
    EXPECT_NE(FindRegistryEntry(host, TM_PLUGIN_UNIQUE_ID), nullptr);  // kept for this host's life
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.path), fs::directory_iterator()), 1);
}

TEST_F(HostTest, RegistryFileKeepsUnusualCodesAndExactFloats) {
    TempFolder folder;
    const fs::path file = folder.path / "registry.txt";
    const DescriptorList items = {FloatItem(0x00010203, 0.1 + 0.2), IntegerItem(FourCC("[ab]"), INT32_MIN),
                                  FloatItem(FourCC("x y "), -1e-300)};
    {
        MiniHost host;
        host.registryFile = file.string();
        RegisterEntry(host, "first", items, true);
        RegisterEntry(host, "volatile", items, false);
        RegisterEntry(host, "second", items, true);
        EXPECT_TRUE(host.warnings.empty());
    }
    MiniHost reader;
    reader.registryFile = file.string();
    EXPECT_EQ(FindRegistryEntry(reader, "volatile"), nullptr);
    for (const char* key : {"first", "second"}) {
        const RegistryEntry* entry = FindRegistryEntry(reader, key);
        ASSERT_NE(entry, nullptr) << key;
        ASSERT_EQ(entry->items.size(), 3u);
        EXPECT_EQ(entry->items[0].key, 0x00010203u);
        EXPECT_EQ(entry->items[0].number, 0.1 + 0.2);
        EXPECT_EQ(entry->items[1].key, FourCC("[ab]"));
        EXPECT_EQ(entry->items[1].integer, INT32_MIN);
        EXPECT_EQ(entry->items[2].key, FourCC("x y "));
        EXPECT_EQ(entry->items[2].number, -1e-300);
    }
    EXPECT_TRUE(reader.warnings.empty());
}

}  // namespace
