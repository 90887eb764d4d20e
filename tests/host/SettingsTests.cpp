// Defaults, the settings array, the settings table and what the dialog's
// controls show of each setting: positions, value labels, ids, hover help.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <set>
#include <string>

#include "../../dialog/ControlHelpTexts.h"
#include "../../settings/DescriptorValues.h"
#include "../../settings/SettingsTable.h"
#include "../../settings/SliderValues.h"
#include "Settings.h"

namespace {

// Field by field: the record has a padding byte that memcmp would read.
bool SameSettings(const TMSettings& a, const TMSettings& b) {
    return std::equal(&a.luminosityCode, &a.luminosityCode + kSettingCount, &b.luminosityCode) &&
           a.is360 == b.is360 && a.showPreview == b.showPreview && a.restorePreview == b.restorePreview &&
           a.fullRecompute == b.fullRecompute && std::equal(a.cacheInvalid, a.cacheInvalid + 3, b.cacheInvalid) &&
           a.recomputeLevel == b.recomputeLevel;
}

const SettingInfo& Setting(const char* element) {
    for (const SettingInfo& info : kSettingTable)
        if (std::string(info.element) == element) return info;
    ADD_FAILURE() << "no setting " << element;
    return kSettingTable[0];
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

TEST(Defaults, FirstRunValuesOfBothKindsOfImage) {
    TMGlobals globals{};
    TMSettings s{};
    InitSettings(&s, &globals);
    // Luminosity code 10 (shown as 0), Strength 70, Color Saturation 46, White
    // Point 5000 (0.250), Gamma code 50 (1.00), Light Smoothing "High".
    const int32_t expected[kSettingCount] = {10, 70, 46, 5000, 0, 50, 0, 1, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_TRUE(std::equal(expected, expected + kSettingCount, &s.luminosityCode));
    EXPECT_EQ(s.is360, 0);
    EXPECT_EQ(s.showPreview, 1);
    EXPECT_EQ(s.recomputeLevel, 2);

    globals.depthCode = 1;  // the previous prepare saw a 16-bit image
    InitSettings(&s, &globals);
    EXPECT_EQ(s.strength, 40);
    EXPECT_TRUE(std::equal(expected + 2, expected + kSettingCount, &s.colorSaturation));
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

// The plug-in's Load command stores any value a settings file holds; every
// conversion of it saturates at the int32 range instead of overflowing.
TEST(SettingsArray, ExtremeValuesSaturateInEveryConversion) {
    const SettingInfo& luminosity = Setting("Luminosity");         // slot = field - 10
    const SettingInfo& smoothing = Setting("Smoothing");           // slot = 2 - field
    const SettingInfo& temperature = Setting("ColorTemperature");  // position = field + 10
    const SettingInfo& white = Setting("WhiteClip");               // the point curve
    EXPECT_EQ(RecordToSlot(luminosity, INT32_MIN), INT32_MIN);
    EXPECT_EQ(RecordToSlot(luminosity, INT32_MAX), INT32_MAX - 10);
    EXPECT_EQ(SlotToRecord(luminosity, INT32_MAX), INT32_MAX);
    EXPECT_EQ(SlotToRecord(luminosity, INT32_MIN), INT32_MIN + 10);
    EXPECT_EQ(RecordToSlot(smoothing, INT32_MIN), INT32_MAX);
    EXPECT_EQ(RecordToSlot(smoothing, INT32_MAX), INT32_MIN + 3);
    EXPECT_EQ(SlotToRecord(smoothing, INT32_MIN), INT32_MAX);
    EXPECT_EQ(DescriptorIntegerOf(luminosity, INT32_MIN), INT32_MIN);
    EXPECT_EQ(FieldOfDescriptorInteger(luminosity, INT32_MAX), INT32_MAX);
    EXPECT_EQ(PositionOfRecordValue(temperature, INT32_MAX), INT32_MAX);
    EXPECT_EQ(RecordValueOfPosition(temperature, INT32_MIN), INT32_MIN);
    EXPECT_EQ(PositionOfRecordValue(smoothing, INT32_MAX), INT32_MAX);
    EXPECT_EQ(ValueLabelText(luminosity, INT32_MIN), "-2147483648");
    // Beyond the curve's ends: the largest value, and no position for a negative one.
    EXPECT_EQ(RecordValueOfPosition(white, INT32_MAX), INT32_MAX);
    EXPECT_EQ(RecordValueOfPosition(white, -5), 0);
    EXPECT_EQ(PositionOfRecordValue(white, -5), 0);

    // A Luminosity of 2147483647 read from a file, into the record and the action.
    int32_t array[kSettingCount] = {};
    array[kSlotLuminosity] = INT32_MAX;
    TMSettings settings{};
    ArrayToSettings(array, &settings);
    EXPECT_EQ(settings.luminosityCode, INT32_MAX);
    EXPECT_EQ(DescriptorIntegerOf(luminosity, settings.luminosityCode), INT32_MAX - 10);
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
    // The terminology resource declares the first nine keys and no others.
    for (int i = 0; i < kSettingCount; ++i)
        EXPECT_EQ(kSettingTable[i].scriptName != nullptr, i < 9) << kSettingTable[i].element;
}

TEST(SettingsTable, DefaultsLieInsideWhatTheDialogCanStore) {
    for (const SettingInfo& info : kSettingTable) {
        for (DefaultSet set : {DefaultSet::FirstRun, DefaultSet::DefaultButton}) {
            for (int32_t depthCode : {0, 1}) {
                const int32_t v = DefaultValue(info, set, depthCode);
                EXPECT_GE(v, info.recordMin) << info.element;
                EXPECT_LE(v, info.recordMax) << info.element;
            }
        }
    }
}

// Every position of every control stores a value the record range allows and
// shows again at the same position; only the point sliders' position 1 stores
// 0 and so comes back as 0.
TEST(DialogControls, PositionsAndRecordValuesRoundTrip) {
    for (const SettingInfo& info : kSettingTable) {
        for (int32_t p = 0; p <= info.control.maxPosition; ++p) {
            const int32_t v = RecordValueOfPosition(info, p);
            ASSERT_GE(v, info.recordMin) << info.element << " " << p;
            ASSERT_LE(v, info.recordMax) << info.element << " " << p;
            const bool pointOne = info.control.mapping == PositionMapping::PointCurve && p == 1;
            ASSERT_EQ(PositionOfRecordValue(info, v), pointOne ? 0 : p) << info.element;
        }
        // The ends of the record's range are the ends of the control's.
        EXPECT_EQ(PositionOfRecordValue(info, info.recordMin), 0) << info.element;
        EXPECT_EQ(PositionOfRecordValue(info, info.recordMax), info.control.maxPosition) << info.element;
    }
    EXPECT_EQ(RecordValueOfPosition(Setting("WhiteClip"), 30), 5000);
    EXPECT_EQ(RecordValueOfPosition(Setting("ColorTemperature"), 7), -3);
    EXPECT_EQ(RecordValueOfPosition(Setting("Smoothing"), 0), -2);  // button 150 is "Very Low"
}

TEST(DialogControls, ValueLabelsInTheDialogsFormats) {
    const std::map<std::string, std::vector<std::pair<int32_t, std::string>>> cases = {
        {"Luminosity", {{13, "+3"}, {10, "0"}, {0, "-10"}}},  // record codes
        {"Strength", {{70, "70"}, {0, "0"}}},
        {"WhiteClip", {{5000, "0.250"}, {23916, "1.196"}, {200000, "10.000"}, {0, "0.000"}}},
        {"Gamma", {{0, "2.00"}, {50, "1.00"}, {100, "0.50"}, {37, "1.20"}}},
        {"ColorTemperature", {{-3, "-3"}, {4, "+4"}, {0, "0"}}},
        {"Microcontrast", {{10, "+10"}}},
        {"Smoothing", {{-2, "Very Low"}, {0, "Medium"}, {1, "High"}, {2, "Very High"}, {3, ""}}},
    };
    for (const auto& [element, labels] : cases)
        for (const auto& [value, text] : labels) EXPECT_EQ(ValueLabelText(Setting(element.c_str()), value), text);
}

// Each control's value label and caption take the ids after it; no id is
// used twice, also not by the other controls with hover help.
TEST(DialogControls, IdsFollowEachControlAndNeverRepeat) {
    std::set<int> ids;
    auto take = [&ids](int id, const char* what) { EXPECT_TRUE(ids.insert(id).second) << id << " " << what; };
    for (const SettingInfo& info : kSettingTable) {
        const DialogControl& c = info.control;
        const int controls = c.kind == ControlKind::RadioGroup ? c.maxPosition + 1 : 1;
        for (int i = 0; i < controls; ++i) take(c.id + i, info.element);
        EXPECT_EQ(ValueLabelId(c), c.id + controls);
        take(ValueLabelId(c), info.element);
        take(CaptionId(c), info.element);
    }
    for (const ControlHelpText& help : kControlHelpTexts) take(help.controlId, help.text);
    const SettingInfo& smoothing = Setting("Smoothing");
    EXPECT_EQ(smoothing.control.kind, ControlKind::RadioGroup);
    EXPECT_EQ(ValueLabelId(smoothing.control), 155);
    EXPECT_EQ(ValueLabelId(Setting("Strength").control), 111);
    EXPECT_EQ(CaptionId(Setting("Strength").control), 112);
}

// Three sliders always visible; every tab page holds its rows from 1 on,
// one slider per row.
TEST(DialogControls, TabPagesHoldOneSliderPerRow) {
    std::map<int, std::set<int>> rows;
    int alwaysVisible = 0;
    for (const SettingInfo& info : kSettingTable) {
        if (info.control.kind != ControlKind::Slider) continue;
        const TabPlace place = info.control.place;
        if (place.page == kAlwaysVisible.page) {
            ++alwaysVisible;
            continue;
        }
        EXPECT_TRUE(rows[place.page].insert(place.row).second) << info.element;
    }
    EXPECT_EQ(alwaysVisible, 3);
    ASSERT_EQ(rows.size(), 4u);
    for (const auto& [page, taken] : rows) {
        EXPECT_EQ(*taken.begin(), 1) << page;
        EXPECT_EQ(*taken.rbegin(), int(taken.size())) << page;
    }
    EXPECT_EQ(rows[2].size(), 2u);  // "Micro" has no third row
}

// Twenty-one texts: every slider's and seven other controls'; letter for
// letter, so the well-known misspellings and the trailing space or line break
// of some texts must survive any tidying.
TEST(HoverHelp, TextsKeepTheirLettersAndEndings) {
    std::map<int, std::string> texts;
    for (const SettingInfo& info : kSettingTable)
        if (info.help != nullptr) texts[info.control.id] = info.help;
    EXPECT_EQ(Setting("Smoothing").help, nullptr);  // the radio buttons show none
    for (const ControlHelpText& help : kControlHelpTexts) texts[help.controlId] = help.text;
    ASSERT_EQ(texts.size(), 21u);

    const std::map<int, char> endings = {{130, ' '}, {140, ' '}, {250, ' '}, {180, '\n'}, {160, '\n'}};
    for (const auto& [id, text] : texts) {
        const auto ending = endings.find(id);
        EXPECT_EQ(text.back(), ending == endings.end() ? '.' : ending->second) << id;
    }
    EXPECT_EQ(texts[180].rfind("Gamma ddjusts the mid-tone", 0), 0u);
    EXPECT_NE(texts[210].find("of the ouptut image"), std::string::npos);
    EXPECT_NE(texts[300].find("an equirectagular image continous.\nOnly"), std::string::npos);
    EXPECT_NE(texts[240].find("highlights. \nThe value"), std::string::npos);
    EXPECT_EQ(texts[4], "Show the help for the Tone Mapping Plug-In.");
}

}  // namespace
