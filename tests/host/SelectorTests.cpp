// The selectors as the host drives them: sequence, refusals, memory budget,
// handle failures, cancel and the settings' first-run defaults.
#include <algorithm>

#include "HostTestSupport.h"
#include "Selectors.h"

namespace {

// Each case runs through the module's entry point in-process and through the
// module file loaded by our host.
class SelectorTest : public HostTest, public ::testing::WithParamInterface<bool> {
protected:
    PluginModule Module() { return GetParam() ? BuiltModule() : InProcessModule(); }
};

TEST_P(SelectorTest, RunsTheHostsSequenceOnDeepRgbDocuments) {
    for (int16_t depth : {int16_t(16), int16_t(32)}) {
        MiniHost host;
        host.document = Scene(120, 110, 3, depth);

        ASSERT_EQ(RunFilter(host, Module(), true), noErr) << "depth " << depth;
        EXPECT_EQ(host.selectors, (std::vector<int16_t>{1, 2, 3, 4, 5}));
        EXPECT_TRUE(RequestsAreEmpty(host));
        EXPECT_EQ(host.bigDocument.PluginUsing32BitCoordinates, 1);
        EXPECT_EQ(OutstandingHandles(host), 2);  // settings and globals, kept by the host
        EXPECT_EQ(OutstandingHandleLocks(host), 0);
        EXPECT_EQ(OutstandingBuffers(host), 0);
        EXPECT_TRUE(host.messages.empty());

        const TMGlobals* globals = GlobalsOf(host);
        EXPECT_EQ(globals->depthCode, depth == 16 ? 1 : 0);
        EXPECT_EQ(globals->width, 120);
        EXPECT_EQ(globals->height, 110);
        ReleaseKeptHandles(host);
        EXPECT_EQ(OutstandingHandles(host), 0);
    }
}

TEST_P(SelectorTest, RefusesImagesWithoutThreeColourChannelsSilently) {
    MiniHost host;
    host.document = MakeDocument(200, 200, 1, 16);
    host.document.imageMode = plugInModeGray16;
    EXPECT_EQ(RunFilter(host, Module(), true), filterBadParameters);
    EXPECT_EQ(host.selectors.back(), filterSelectorPrepare);
    EXPECT_TRUE(host.messages.empty());

    MiniHost multichannel;
    multichannel.document = MakeDocument(200, 200, 3, 16);
    multichannel.document.imageMode = plugInModeDeepMultichannel;
    EXPECT_EQ(RunFilter(multichannel, Module(), true), filterBadParameters);
    EXPECT_TRUE(multichannel.messages.empty());
}

TEST_P(SelectorTest, RefusesEightBitImagesWithItsMessage) {
    MiniHost host;
    host.document = MakeDocument(200, 200, 3, 8);
    EXPECT_EQ(RunFilter(host, Module(), true), filterBadParameters);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].caption, "Tone Mapping plug-in requires higher bit-depth");
    EXPECT_EQ(host.messages[0].text,
              "The Tone Mapping plug-in works with images in 32 or 16 Bits/Channel mode.\n\n"
              "Please either create a 32-bit image via the function Merge to HDR under menu "
              "File->Automate,\nor open an existing HDR image file. \n\n"
              "You can also apply the plug-in to an image in 16 bits/channel mode, by opening a RAW "
              "file for instance, \nor after changing the bit-depth using the Image->Mode menu. ");
}

TEST_P(SelectorTest, RefusesEmptyRectanglesAndShallowDepths) {
    MiniHost empty;
    empty.document = Scene(200, 200, 3, 32);
    empty.document.filterRect = VRect{10, 50, 150, 50};
    EXPECT_EQ(RunFilter(empty, Module(), true), filterBadParameters);

    MiniHost bitmap;
    bitmap.document = MakeDocument(200, 200, 3, 1);
    EXPECT_EQ(RunFilter(bitmap, Module(), true), filterBadParameters);
    EXPECT_TRUE(empty.messages.empty());
    EXPECT_TRUE(bitmap.messages.empty());
}

// A current host offers its budget in both fields (the 64-bit one beyond
// what the 32-bit one holds, too) and reads the 64-bit one back; the limit
// applies to both. A host that predates the 64-bit field leaves it 0.
TEST_P(SelectorTest, LowersOnlyALargerMemoryBudget) {
    for (int64_t offered : {int64_t(1) << 33, int64_t(1) << 30, int64_t(kMaxSpaceLimit) + 1,
                            int64_t(kMaxSpaceLimit), int64_t(1000)}) {
        MiniHost host;
        host.document = Scene(200, 200, 3, 32);
        host.maxSpace = offered;
        ASSERT_EQ(RunFilter(host, Module(), true), noErr);
        const int64_t expected = std::min<int64_t>(offered, kMaxSpaceLimit);
        EXPECT_EQ(host.record.maxSpace, expected) << offered;
        EXPECT_EQ(host.record.maxSpace64, expected) << offered;
    }
    MiniHost older;
    older.document = Scene(200, 200, 3, 32);
    older.offerMaxSpace64 = false;
    ASSERT_EQ(RunFilter(older, Module(), true), noErr);
    EXPECT_EQ(older.record.maxSpace, kMaxSpaceLimit);
    EXPECT_EQ(older.record.maxSpace64, 0);
}

TEST_P(SelectorTest, ReportsHandleFailuresAsOutOfMemory) {
    // The settings handle, then the globals handle, cannot be created; or
    // each lock of the parameters selector in turn fails.
    for (int failing = 1; failing <= 3; ++failing) {
        for (bool lock : {false, true}) {
            if (!lock && failing == 3) continue;
            MiniHost host;
            host.document = Scene(200, 200, 3, 32);
            (lock ? host.faults.failHandleLock : host.faults.failHandleAllocation) = failing;
            EXPECT_EQ(RunFilter(host, Module(), true), memFullErr) << (lock ? "lock " : "allocation ") << failing;
            EXPECT_EQ(OutstandingHandleLocks(host), 0);
        }
    }
}

TEST_P(SelectorTest, StartWithoutHandlesIsABadParameter) {
    MiniHost host;
    host.document = Scene(200, 200, 3, 32);
    EXPECT_EQ(CallSelector(host, Module(), filterSelectorStart), filterBadParameters);
    EXPECT_EQ(CallSelector(host, Module(), filterSelectorFinish), filterBadParameters);
}

TEST_P(SelectorTest, PrepareCreatesWhatIsMissing) {
    MiniHost host;
    host.document = Scene(200, 200, 3, 16);
    ASSERT_EQ(RunFilter(host, Module(), false), noErr);
    EXPECT_EQ(OutstandingHandles(host), 2);
    EXPECT_EQ(SettingsOf(host)->strength, 70);  // the new globals held no depth yet
}

TEST_P(SelectorTest, FirstRunDefaultsFollowThePreviousPreparesDepth) {
    MiniHost host;
    host.offerBasicSuite = false;  // no registry, so no last-used values override the defaults
    host.document = Scene(200, 200, 3, 16);
    ASSERT_EQ(RunFilter(host, Module(), true), noErr);
    // The 32-bit defaults (the values themselves are checked with the settings).
    const TMSettings first = *SettingsOf(host);
    TMGlobals fresh{};
    TMSettings defaults{};
    InitSettings(&defaults, &fresh);
    EXPECT_EQ(first.strength, 70);
    EXPECT_TRUE(std::equal(&first.luminosityCode, &first.luminosityCode + kSettingCount, &defaults.luminosityCode));
    EXPECT_EQ(first.showPreview, 1);
    EXPECT_EQ(first.recomputeLevel, 2);

    ASSERT_EQ(RunFilter(host, Module(), true), noErr);
    EXPECT_EQ(SettingsOf(host)->strength, 40);

    host.document = Scene(200, 200, 3, 32);
    ASSERT_EQ(RunFilter(host, Module(), true), noErr);
    EXPECT_EQ(SettingsOf(host)->strength, 40);  // the 16-bit prepare before this run decides
    ASSERT_EQ(RunFilter(host, Module(), true), noErr);
    EXPECT_EQ(SettingsOf(host)->strength, 70);
}

INSTANTIATE_TEST_SUITE_P(InProcessAndLoaded, SelectorTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? "LoadedModule" : "InProcess";
                         });

// The cases below need the stand-in dialog, so they run in-process only.

TEST_F(HostTest, CancelRestoresAllFifteenFieldsAtFullWidth) {
    MiniHost host;
    host.document = Scene(200, 200, 3, 32);
    ASSERT_EQ(CallSelector(host, InProcessModule(), filterSelectorParameters), noErr);
    ASSERT_EQ(CallSelector(host, InProcessModule(), filterSelectorPrepare), noErr);

    TMSettings* settings = SettingsOf(host);
    int32_t* fields = &settings->luminosityCode;
    for (int i = 0; i < kSettingCount; ++i) fields[i] = 40000 + 70000 * i;  // all above 32767
    const TMSettings expected = *settings;

    gStandIn.accept = false;
    gStandIn.whileShown = [&] {
        for (int i = 0; i < kSettingCount; ++i) fields[i] = -1 - i;
        settings->is360 = 1;
    };
    EXPECT_EQ(CallSelector(host, InProcessModule(), filterSelectorStart), userCanceledErr);
    EXPECT_EQ(gStandIn.dialogCalls, 1);
    EXPECT_TRUE(std::equal(fields, fields + kSettingCount, &expected.luminosityCode));
    EXPECT_EQ(settings->is360, 1);  // not one of the fifteen
    EXPECT_EQ(OutstandingHandleLocks(host), 0);
}

TEST_F(HostTest, DialogOnlyAfterAParametersSelector) {
    MiniHost host;
    host.document = Scene(200, 200, 3, 32);
    ASSERT_EQ(RunFilter(host, InProcessModule(), true), noErr);
    EXPECT_EQ(gStandIn.dialogCalls, 1);
    ASSERT_EQ(RunFilter(host, InProcessModule(), false), noErr);
    EXPECT_EQ(gStandIn.dialogCalls, 1);  // a repeat applies the settings silently
    ASSERT_EQ(RunFilter(host, InProcessModule(), true), noErr);
    EXPECT_EQ(gStandIn.dialogCalls, 2);
}

TEST_F(HostTest, AboutShowsTheBoxOverTheHostsWindowAndTouchesNoHandle) {
    MiniHost host;
    host.hostWindow = 0x1234;
    EXPECT_EQ(CallSelector(host, InProcessModule(), filterSelectorAbout), noErr);
    EXPECT_EQ(gStandIn.aboutCalls, 1);
    EXPECT_EQ(gStandIn.aboutParent, reinterpret_cast<void*>(intptr_t{0x1234}));
    EXPECT_EQ(host.handleAllocations, 0);
    EXPECT_EQ(host.handleLocks, 0);
}

TEST_F(HostTest, UnknownSelectorsDoNothing) {
    MiniHost host;
    host.document = Scene(200, 200, 3, 32);
    EXPECT_EQ(CallSelector(host, InProcessModule(), 42), noErr);
    EXPECT_EQ(host.handleAllocations, 0);
}

}  // namespace
