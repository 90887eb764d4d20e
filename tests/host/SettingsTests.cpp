// Defaults, the White/Black Point slider mapping and the settings array.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "Settings.h"
#include "SettingsTable.h"

namespace {

// Field by field: the record has a padding byte that memcmp would read.
bool SameSettings(const TMSettings& a, const TMSettings& b) {
    return std::equal(&a.luminosityCode, &a.luminosityCode + kSettingCount, &b.luminosityCode) &&
           a.is360 == b.is360 && a.showPreview == b.showPreview && a.restorePreview == b.restorePreview &&
           a.fullRecompute == b.fullRecompute && std::equal(a.cacheInvalid, a.cacheInvalid + 3, b.cacheInvalid) &&
           a.recomputeLevel == b.recomputeLevel;
}

TEST(PointSliders, MapPositionsToPointValues) {
    const double e = PointExponent();
    EXPECT_DOUBLE_EQ(e, std::log(0.025) / std::log(0.3));
    EXPECT_EQ(SliderToPoint(30, e), 5000);
    EXPECT_EQ(SliderToPoint(50, e), 23916);
    EXPECT_EQ(SliderToPoint(100, e), 200000);
    EXPECT_EQ(SliderToPoint(1, e), 0);
    EXPECT_EQ(SliderToPoint(0, e), 0);
    EXPECT_EQ(PointToSlider(5000, 1.0 / e), 30);
    EXPECT_EQ(PointToSlider(200000, 1.0 / e), 100);
    EXPECT_EQ(PointToSlider(0, 1.0 / e), 0);
    // Every position from 2 up survives the round trip through the record.
    for (int p = 2; p <= 100; ++p) EXPECT_EQ(PointToSlider(SliderToPoint(p, e), 1.0 / e), p) << p;
}

TEST(Defaults, DefaultButtonDiffersOnlyInMicroSmoothingAndTheWrapFlag) {
    TMGlobals globals{};
    TMSettings first{}, byButton{};
    InitSettings(&first, &globals);
    byButton = first;
    byButton.is360 = 1;
    byButton.showPreview = 0;
    SetDefaultSettings(&byButton, &globals);
    EXPECT_EQ(byButton.microSmoothing, 2);
    EXPECT_EQ(byButton.is360, 0);
    EXPECT_EQ(byButton.showPreview, 0);  // preview bytes are left alone
    byButton.microSmoothing = first.microSmoothing;
    byButton.showPreview = first.showPreview;
    EXPECT_TRUE(SameSettings(byButton, first));

    globals.depthCode = 1;
    SetDefaultSettings(&byButton, &globals);
    EXPECT_EQ(byButton.strength, 40);
    globals.depthCode = 0;
    SetDefaultSettings(&byButton, &globals);
    EXPECT_EQ(byButton.strength, 70);
}

TEST(Defaults, InitGlobalsClearsBuffersButKeepsTheImage) {
    TMGlobals globals{};
    globals.depthCode = 1;
    globals.width = 640;
    globals.height = 480;
    globals.work[1].address = &globals;
    globals.previewCache.id = reinterpret_cast<BufferID>(&globals);
    InitGlobals(&globals);
    EXPECT_EQ(globals.depthCode, 1);
    EXPECT_EQ(globals.width, 640);
    EXPECT_EQ(globals.height, 480);
    EXPECT_EQ(globals.work[1].address, nullptr);
    EXPECT_EQ(globals.previewCache.id, nullptr);
    EXPECT_EQ(globals.previewWidth, 512);
    EXPECT_EQ(globals.previewHeight, 342);
    EXPECT_EQ(globals.dialogRequest, 1);
}

TEST(SettingsArray, ConvertsCodesToSlotsAndBack) {
    TMGlobals globals{};
    TMSettings settings{};
    InitSettings(&settings, &globals);
    settings.lightSmoothingCode = -2;  // "Very Low"
    settings.microcontrastCode = -3;
    settings.whitePoint = 123456;
    int32_t array[kSettingCount];
    SettingsToArray(settings, array);
    EXPECT_EQ(array[0], 0);  // Luminosity code 10
    EXPECT_EQ(array[1], 70);
    EXPECT_EQ(array[3], 123456);
    EXPECT_EQ(array[5], 4);
    EXPECT_EQ(array[6], -3);
    EXPECT_EQ(array[8], 50);

    TMSettings back{};
    ArrayToSettings(array, &back);
    back.is360 = settings.is360;
    back.showPreview = settings.showPreview;
    back.restorePreview = settings.restorePreview;
    back.fullRecompute = settings.fullRecompute;
    std::copy(settings.cacheInvalid, settings.cacheInvalid + 3, back.cacheInvalid);
    back.recomputeLevel = settings.recomputeLevel;
    EXPECT_TRUE(SameSettings(back, settings));
}

TEST(SettingsTable, CoversEverySlotAndFieldOnce) {
    bool slotSeen[kSettingCount] = {};
    for (const SettingInfo& info : kSettingTable) {
        ASSERT_GE(info.slot, 0);
        ASSERT_LT(info.slot, kSettingCount);
        EXPECT_FALSE(slotSeen[info.slot]) << info.element;
        slotSeen[info.slot] = true;
        EXPECT_EQ(&SettingForSlot(info.slot), &info);
    }
    // The fields are the record's first fifteen members, each named once.
    TMSettings probe{};
    int32_t* first = &probe.luminosityCode;
    for (int i = 0; i < kSettingCount; ++i) {
        int owners = 0;
        for (const SettingInfo& info : kSettingTable) owners += (&(probe.*info.field) == first + i);
        EXPECT_EQ(owners, 1) << "field " << i;
    }
    EXPECT_EQ(kSettingTable[0].key, 0x73726768u);  // 'srgh'
    EXPECT_EQ(kSettingTable[14].key, 0x436C5348u);  // 'ClSH'
}

}  // namespace
