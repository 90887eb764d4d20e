// The dialog of the built module as the user meets it: what it shows at
// opening, what each slider request, radio button and button does to the
// controls and to the settings record, and how OK and Cancel end it.
#include "DialogDriverWin.h"

#include "../../minihost/SettingsAction.h"
#include "../../settings/SliderValues.h"

namespace {

using namespace dialog_test;

const int kSliders[] = {IDC_LUMINOSITY,        IDC_STRENGTH,          IDC_COLOR_SATURATION,
                        IDC_WHITE_POINT,       IDC_BLACK_POINT,       IDC_GAMMA,
                        IDC_COLOR_TEMPERATURE, IDC_SATURATION_HIGHLIGHTS, IDC_SATURATION_SHADOWS,
                        IDC_MICROCONTRAST,     IDC_MICRO_SMOOTHING,   IDC_HIGHLIGHTS_SMOOTHING,
                        IDC_SHADOWS_SMOOTHING, IDC_SHADOWS_CLIPPING};

std::vector<int32_t> Fifteen(const TMSettings& s) {
    std::vector<int32_t> values;
    for (const SettingInfo& info : kSettingTable) values.push_back(s.*info.field);
    return values;
}

TEST_F(DialogTest, OpensOnTheRecordOverTheHostsWindowWithFocusOnOk) {
    PlayWithDialog({IntegerItem(FourCC("srgh"), 55), IntegerItem(FourCC("LSmo"), -1),
                    FloatItem(FourCC("Gamm"), 2.0), IntegerItem(FourCC("CTem"), -4)});
    const int16_t result = Run([&](Dialog& d) {
        EXPECT_EQ(GetWindow(d.window, GW_OWNER), hostWindow);
        GUITHREADINFO gui{};
        gui.cbSize = sizeof gui;
        ASSERT_TRUE(GetGUIThreadInfo(GetWindowThreadProcessId(d.window, nullptr), &gui));
        EXPECT_EQ(gui.hwndFocus, d.Item(IDOK));

        EXPECT_EQ(d.Text(IDC_STRENGTH_VALUE), "55");
        EXPECT_EQ(d.Position(IDC_STRENGTH), 55);
        EXPECT_EQ(d.Text(IDC_COLOR_SATURATION_VALUE), "46");
        EXPECT_EQ(d.Text(IDC_WHITE_POINT_VALUE), "0.250");
        EXPECT_EQ(d.Position(IDC_WHITE_POINT), 30);
        EXPECT_EQ(d.Text(IDC_BLACK_POINT_VALUE), "0.000");
        EXPECT_EQ(d.Text(IDC_GAMMA_VALUE), "2.00");
        EXPECT_EQ(d.Position(IDC_GAMMA), 0);
        EXPECT_EQ(d.Text(IDC_COLOR_TEMPERATURE_VALUE), "-4");
        EXPECT_EQ(d.Position(IDC_COLOR_TEMPERATURE), 6);
        EXPECT_EQ(d.Text(IDC_MICRO_SMOOTHING_VALUE), "0");
        EXPECT_EQ(d.Text(IDC_SMOOTHING_VALUE), "Low");
        for (int id = IDC_SMOOTHING_VERY_LOW; id <= IDC_SMOOTHING_VERY_HIGH; ++id)
            EXPECT_EQ(d.Checked(id), id == IDC_SMOOTHING_LOW) << id;

        EXPECT_EQ(d.Text(IDC_SHOW_ORIGINAL), "Show Original");
        EXPECT_EQ(d.Text(IDC_HELP_TEXT), " ");
        EXPECT_TRUE(d.Checked(IDC_ZOOM_SMALL));
        EXPECT_FALSE(d.Checked(IDC_ZOOM_MEDIUM) || d.Checked(IDC_ZOOM_LARGE));
        EXPECT_TRUE(d.Enabled(IDC_PANORAMA));  // 600 x 400: wider than high
        EXPECT_FALSE(d.Checked(IDC_PANORAMA));

        const HWND tabs = d.Item(IDC_TABS);
        ASSERT_EQ(SendMessageA(tabs, TCM_GETITEMCOUNT, 0, 0), 4);
        const char* names[] = {"Tone", "Color", "Micro", "S/H"};
        for (int i = 0; i < 4; ++i) {
            char text[16] = "";
            TCITEMA item{};
            item.mask = TCIF_TEXT;
            item.pszText = text;
            item.cchTextMax = sizeof text;
            SendMessageA(tabs, TCM_GETITEMA, i, reinterpret_cast<LPARAM>(&item));
            EXPECT_STREQ(text, names[i]);
        }
        EXPECT_EQ(SendMessageA(tabs, TCM_GETCURSEL, 0, 0), 0);
        for (int id : {IDC_WHITE_POINT, IDC_WHITE_POINT_VALUE, IDC_GAMMA_CAPTION})
            EXPECT_TRUE(d.Visible(id) && d.Enabled(id)) << id;
        for (int id : {IDC_COLOR_TEMPERATURE, IDC_MICRO_SMOOTHING_VALUE, IDC_SHADOWS_CLIPPING_CAPTION})
            EXPECT_FALSE(d.Visible(id) || d.Enabled(id)) << id;
        // The moved rows lie on the Tone page's, value labels right-aligned.
        EXPECT_EQ(d.ClientRectOf(IDC_SHADOWS_CLIPPING).left, d.ClientRectOf(IDC_GAMMA).left);
        EXPECT_EQ(d.ClientRectOf(IDC_SHADOWS_CLIPPING).top, d.ClientRectOf(IDC_GAMMA).top);
        EXPECT_EQ(d.ClientRectOf(IDC_SATURATION_HIGHLIGHTS_VALUE).right,
                  d.ClientRectOf(IDC_BLACK_POINT_VALUE).right);
        EXPECT_EQ(d.ClientRectOf(IDC_MICROCONTRAST_CAPTION).top, d.ClientRectOf(IDC_WHITE_POINT_CAPTION).top);
    });
    EXPECT_EQ(result, userCanceledErr);
    EXPECT_EQ(OutstandingBuffers(host), 0);
}

TEST_F(DialogTest, LuminosityLabelIsSignedRightAfterOpening) {
    for (const auto& [luminosity, label] : {std::pair<int, const char*>{3, "+3"}, {0, "0"}, {-10, "-10"}}) {
        PlayWithDialog({IntegerItem(FourCC("Lumi"), luminosity)});
        Run([&](Dialog& d) {
            EXPECT_EQ(d.Text(IDC_LUMINOSITY_VALUE), label);
            EXPECT_EQ(d.Position(IDC_LUMINOSITY), luminosity + 10);
        });
    }
}

// An action may carry values no slider position shows: the thumb goes to
// the end of its range, the label shows the value, the record keeps it.
TEST_F(DialogTest, ValuesBeyondASliderPutItsThumbAtTheEnd) {
    PlayWithDialog({IntegerItem(FourCC("srgh"), 150), FloatItem(FourCC("WCli"), -1.0)});
    Run([&](Dialog& d) {
        EXPECT_EQ(d.Position(IDC_STRENGTH), 100);
        EXPECT_EQ(d.Text(IDC_STRENGTH_VALUE), "150");
        EXPECT_EQ(d.record->strength, 150);
        EXPECT_EQ(d.Position(IDC_WHITE_POINT), 0);
        EXPECT_EQ(d.Text(IDC_WHITE_POINT_VALUE), "-1.000");
        EXPECT_EQ(d.record->whitePoint, -20000);
    });
}

TEST_F(DialogTest, PointAndGammaLabelsFollowTheThumb) {
    Run([&](Dialog& d) {
        d.Scroll(IDC_WHITE_POINT, SB_LEFT);
        EXPECT_EQ(d.Text(IDC_WHITE_POINT_VALUE), "0.000");
        EXPECT_EQ(d.record->whitePoint, 5000);  // the end of the range is only shown
        d.Scroll(IDC_WHITE_POINT, SB_LINERIGHT);
        EXPECT_EQ(d.Position(IDC_WHITE_POINT), 1);
        EXPECT_EQ(d.Text(IDC_WHITE_POINT_VALUE), "0.000");
        EXPECT_EQ(d.record->whitePoint, 0);  // position 1 stores 0
        // Previous finds no earlier run: the controls are shown again from the record.
        d.Click(IDC_PREVIOUS);
        EXPECT_EQ(d.Position(IDC_WHITE_POINT), 0);
        EXPECT_EQ(d.Text(IDC_WHITE_POINT_VALUE), "0.000");

        EXPECT_EQ(d.Text(IDC_GAMMA_VALUE), "1.00");
        d.Scroll(IDC_GAMMA, SB_LEFT);
        EXPECT_EQ(d.Text(IDC_GAMMA_VALUE), "2.00");
        d.Scroll(IDC_GAMMA, SB_RIGHT);
        EXPECT_EQ(d.Text(IDC_GAMMA_VALUE), "0.50");
        EXPECT_EQ(d.record->gammaCode, 50);
        d.Scroll(IDC_GAMMA, SB_LINELEFT);
        EXPECT_EQ(d.Text(IDC_GAMMA_VALUE), "0.51");
        EXPECT_EQ(d.record->gammaCode, 99);
    });
}

TEST_F(DialogTest, OnlyArrowsAndReleasesStoreAndComputeAPreview) {
    Run([&](Dialog& d) {
        const std::vector<int32_t> before = Fifteen(*d.record);
        const int previews = d.Previews();
        for (int request : {SB_PAGERIGHT, SB_PAGELEFT, SB_ENDSCROLL}) {
            d.Scroll(IDC_STRENGTH, request);
            EXPECT_EQ(d.Position(IDC_STRENGTH), 70) << request;
            EXPECT_EQ(d.Text(IDC_STRENGTH_VALUE), "70") << request;
        }
        d.Scroll(IDC_STRENGTH, SB_RIGHT);
        EXPECT_EQ(d.Position(IDC_STRENGTH), 100);
        EXPECT_EQ(d.Text(IDC_STRENGTH_VALUE), "100");
        d.Scroll(IDC_COLOR_TEMPERATURE, SB_LEFT);  // on a hidden page, too
        EXPECT_EQ(d.Text(IDC_COLOR_TEMPERATURE_VALUE), "-10");
        EXPECT_EQ(Fifteen(*d.record), before);
        EXPECT_EQ(d.Previews(), previews);

        d.Scroll(IDC_STRENGTH, SB_LINELEFT);
        EXPECT_EQ(d.Text(IDC_STRENGTH_VALUE), "99");
        EXPECT_EQ(d.record->strength, 99);
        EXPECT_EQ(d.record->recomputeLevel, 2);
        EXPECT_EQ(d.Previews(), previews + 1);
        d.Scroll(IDC_COLOR_TEMPERATURE, SB_LINERIGHT);
        EXPECT_EQ(d.Text(IDC_COLOR_TEMPERATURE_VALUE), "-9");
        EXPECT_EQ(d.record->colorTemperature, -9);
        EXPECT_EQ(d.Previews(), previews + 2);
    });
}

TEST_F(DialogTest, LightSmoothingButtonsNameTheirLevel) {
    Run([&](Dialog& d) {
        EXPECT_EQ(d.Text(IDC_SMOOTHING_VALUE), "High");
        const int previews = d.Previews();
        d.Click(IDC_SMOOTHING_VERY_LOW);
        EXPECT_EQ(d.Text(IDC_SMOOTHING_VALUE), "Very Low");
        EXPECT_EQ(d.record->lightSmoothingCode, -2);
        EXPECT_FALSE(d.Checked(IDC_SMOOTHING_HIGH));
        d.Click(IDC_SMOOTHING_VERY_HIGH);
        EXPECT_EQ(d.Text(IDC_SMOOTHING_VALUE), "Very High");
        EXPECT_EQ(d.record->lightSmoothingCode, 2);
        EXPECT_EQ(d.Previews(), previews + 2);
    });
}

TEST_F(DialogTest, DefaultGivesLessStrengthToSixteenBitImages) {
    for (int16_t depth : {int16_t(16), int16_t(32)}) {
        host.document = Scene(600, 400, depth);
        Run([&](Dialog& d) {
            d.Scroll(IDC_STRENGTH, SB_LINELEFT);
            d.Scroll(IDC_WHITE_POINT, SB_LINERIGHT);
            d.Click(IDC_PANORAMA);
            ASSERT_EQ(d.record->is360, 1);
            d.Click(IDC_DEFAULT);
            const char* strength = depth == 16 ? "40" : "70";
            EXPECT_EQ(d.Text(IDC_STRENGTH_VALUE), strength) << depth;
            EXPECT_EQ(d.record->strength, depth == 16 ? 40 : 70);
            EXPECT_EQ(d.record->microSmoothing, 2);  // the Default button's own
            EXPECT_EQ(d.Text(IDC_MICRO_SMOOTHING_VALUE), "2");
            EXPECT_EQ(d.Text(IDC_WHITE_POINT_VALUE), "0.250");
            EXPECT_EQ(d.Position(IDC_WHITE_POINT), 30);
            EXPECT_EQ(d.record->is360, 0);
            EXPECT_FALSE(d.Checked(IDC_PANORAMA));
        });
    }
}

TEST_F(DialogTest, PreviousBringsBackTheLastCompletedRun) {
    // A completed run without dialog leaves its settings in the host's registry.
    host.playAction = true;
    host.actionToPlay = {IntegerItem(FourCC("srgh"), 55), FloatItem(FourCC("Gamm"), 0.5)};
    host.playInfo = plugInDialogDontDisplay;
    ASSERT_EQ(RunFilter(host, BuiltModule(), true), noErr);

    host.playAction = false;
    Run([&](Dialog& d) {
        EXPECT_EQ(d.Text(IDC_STRENGTH_VALUE), "55");  // loaded at start as well
        d.Click(IDC_DEFAULT);
        EXPECT_EQ(d.Text(IDC_STRENGTH_VALUE), "70");
        EXPECT_EQ(d.Text(IDC_GAMMA_VALUE), "1.00");
        const int previews = d.Previews();
        d.Click(IDC_PREVIOUS);
        EXPECT_EQ(d.Text(IDC_STRENGTH_VALUE), "55");
        EXPECT_EQ(d.record->strength, 55);
        EXPECT_EQ(d.Text(IDC_GAMMA_VALUE), "0.50");
        EXPECT_EQ(d.Position(IDC_GAMMA), 100);
        EXPECT_EQ(d.Previews(), previews + 1);
    });
}

TEST_F(DialogTest, ShowOriginalHoldsTheAdjustmentsButGammaAndLightSmoothing) {
    Run([&](Dialog& d) {
        const int previews = d.Previews();
        d.Click(IDC_SHOW_ORIGINAL);
        EXPECT_EQ(d.Text(IDC_SHOW_ORIGINAL), "Show Preview");
        EXPECT_EQ(d.record->showPreview, 0);
        EXPECT_EQ(d.Previews(), previews + 1);
        for (int id : kSliders) EXPECT_EQ(d.Enabled(id), id == IDC_GAMMA) << id;
        for (int id : {IDC_PREVIOUS, IDC_DEFAULT, IDC_LOAD, IDC_SAVE, IDC_ZOOM_SMALL, IDC_ZOOM_MEDIUM, IDC_ZOOM_LARGE})
            EXPECT_FALSE(d.Enabled(id)) << id;
        for (int id : {IDC_SMOOTHING_VERY_LOW, IDC_SMOOTHING_VERY_HIGH, IDC_GAMMA_VALUE, IDC_TABS, IDC_HELP_BUTTON,
                       IDC_SHOW_ORIGINAL, IDC_PANORAMA, IDOK, IDCANCEL})
            EXPECT_TRUE(d.Enabled(id)) << id;

        // A tab page shown meanwhile comes with its sliders enabled.
        d.SelectTab(1);
        for (int id : {IDC_COLOR_TEMPERATURE, IDC_SATURATION_HIGHLIGHTS, IDC_SATURATION_SHADOWS})
            EXPECT_TRUE(d.Visible(id) && d.Enabled(id)) << id;
        EXPECT_FALSE(d.Visible(IDC_WHITE_POINT));

        d.Click(IDC_SHOW_ORIGINAL);
        EXPECT_EQ(d.Text(IDC_SHOW_ORIGINAL), "Show Original");
        EXPECT_EQ(d.record->showPreview, 1);
        for (int id : {IDC_STRENGTH, IDC_LUMINOSITY, IDC_PREVIOUS, IDC_ZOOM_LARGE}) EXPECT_TRUE(d.Enabled(id)) << id;
    });
}

TEST_F(DialogTest, ReopensOnTheToneMappedPreviewAfterADialogLeftOnTheOriginal) {
    ASSERT_EQ(Run([&](Dialog& d) {
                  d.Click(IDC_SHOW_ORIGINAL);
                  d.Click(IDOK);
              }),
              noErr);
    EXPECT_EQ(reinterpret_cast<TMSettings*>(PeekHandle(host, host.parameters))->showPreview, 0);
    // The next dialog, without a parameters selector, as a played step opens it.
    PlayWithDialog({});
    Run(
        [&](Dialog& d) {
            EXPECT_EQ(d.record->showPreview, 1);
            EXPECT_EQ(d.Text(IDC_SHOW_ORIGINAL), "Show Original");
            EXPECT_TRUE(d.Enabled(IDC_STRENGTH));
        },
        false);
}

TEST_F(DialogTest, PanoramaBoxOnlyForImagesWiderThanHigh) {
    host.document = Scene(400, 600, 32);
    Run([&](Dialog& d) { EXPECT_FALSE(d.Enabled(IDC_PANORAMA)); });
    host.document = Scene(400, 400, 32);
    Run([&](Dialog& d) { EXPECT_FALSE(d.Enabled(IDC_PANORAMA)); });
    host.document = Scene(401, 400, 32);
    Run([&](Dialog& d) {
        ASSERT_TRUE(d.Enabled(IDC_PANORAMA));
        const int previews = d.Previews();
        d.Click(IDC_PANORAMA);
        EXPECT_EQ(d.record->is360, 1);
        EXPECT_TRUE(d.Checked(IDC_PANORAMA));
        d.Click(IDC_PANORAMA);
        EXPECT_EQ(d.record->is360, 0);
        EXPECT_FALSE(d.Checked(IDC_PANORAMA));
        EXPECT_EQ(d.Previews(), previews);  // the flag acts in the full run only
    });
}

TEST_F(DialogTest, CancelPutsBackTheSettingsHeldBefore) {
    std::vector<int32_t> atOpening;
    const std::vector<uint8_t> image = host.document.samples;
    const int16_t result = Run([&](Dialog& d) {
        atOpening = Fifteen(*d.record);
        d.Scroll(IDC_STRENGTH, SB_LINELEFT);
        d.Scroll(IDC_GAMMA, SB_LINERIGHT);
        d.Click(IDC_SMOOTHING_MEDIUM);
        d.SelectTab(2);
        d.Scroll(IDC_MICRO_SMOOTHING, SB_LINERIGHT);
        ASSERT_NE(Fifteen(*d.record), atOpening);
        PressKey(d.window, VK_ESCAPE, true);
    });
    EXPECT_EQ(result, userCanceledErr);
    EXPECT_EQ(Fifteen(*reinterpret_cast<TMSettings*>(PeekHandle(host, host.parameters))), atOpening);
    EXPECT_EQ(host.document.samples, image);
    EXPECT_EQ(OutstandingBuffers(host), 0);
    EXPECT_EQ(OutstandingBufferLocks(host), 0);
}

TEST_F(DialogTest, OkRunsTheFullImageWithTheDialogsSettings) {
    TMSettings chosen{};
    const int16_t result = Run([&](Dialog& d) {
        d.Scroll(IDC_STRENGTH, SB_LINELEFT);
        d.Scroll(IDC_STRENGTH, SB_LINELEFT);
        d.Click(IDC_SMOOTHING_MEDIUM);
        d.Scroll(IDC_WHITE_POINT, SB_LINERIGHT);
        d.SelectTab(1);
        d.Scroll(IDC_COLOR_TEMPERATURE, SB_LINERIGHT);
        chosen = *d.record;
        PressKey(d.window, VK_RETURN, true);
    });
    ASSERT_EQ(result, noErr);
    EXPECT_EQ(OutstandingBuffers(host), 0);
    ASSERT_EQ(chosen.strength, 68);
    ASSERT_EQ(chosen.whitePoint, SliderToPoint(31, PointExponent()));

    // The same image through a run without dialog on those settings.
    MiniHost direct;
    direct.document = Scene(600, 400, 32);
    direct.playAction = true;
    direct.actionToPlay = SettingsAsAction(chosen);
    direct.playInfo = plugInDialogDontDisplay;
    ASSERT_EQ(RunFilter(direct, BuiltModule(), true), noErr);
    EXPECT_TRUE(host.document.samples == direct.document.samples);
    EXPECT_NE(host.document.samples, Scene(600, 400, 32).samples);
    // And the finish recorded what the dialog set.
    EXPECT_EQ(host.recordedAction.size(), 15u);
    EXPECT_EQ(FindItem(host.recordedAction, FourCC("srgh"))->integer, 68);
    ReleaseKeptHandles(direct);
}

// Without a user our host presses the button it is told to as soon as the
// dialog has opened (and computed its first preview).
TEST(HostWithoutUser, AnswersTheDialogItself) {
    for (int button : {IDOK, IDCANCEL}) {
        MiniHost host;
        host.document = Scene(300, 200, 32);
        host.dialogAnswer = button;
        const int16_t result = RunFilter(host, BuiltModule(), true);
        EXPECT_EQ(result, button == IDOK ? noErr : userCanceledErr);
        // The opening's preview asked for the image, and OK's full run once more.
        EXPECT_EQ(host.advanceStateCalls, button == IDOK ? 2 : 1) << button;
        EXPECT_EQ(host.document.samples != Scene(300, 200, 32).samples, button == IDOK);
        EXPECT_EQ(OutstandingBuffers(host), 0);
        ReleaseKeptHandles(host);
    }
}

}  // namespace

