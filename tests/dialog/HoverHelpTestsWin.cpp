// Hover help with real mouse input: each of the 21 controls shows its text in
// the "Note" box, a caption leaves it, and a control keeps behaving as it did
// (a dragged thumb still reaches the dialog through the replaced procedure).
#include "DialogDriverWin.h"

#include "HoverHelpTexts.h"

namespace {

using namespace dialog_test;

// The tab page a control lies on, or -1 when it is always visible.
int PageOf(int id) {
    for (const SettingInfo& info : kSettingTable)
        if (info.control.id == id) return info.control.place.page;
    return -1;
}

void Hover(const Dialog& d, int id) { MoveMouseOnto(CentreOf(d.ScreenRectOf(id))); }

bool Shows(const Dialog& d, const std::string& text, int ms = 5000) {
    return WaitUntil([&] { return d.Text(IDC_HELP_TEXT) == text; }, ms);
}

TEST_F(DialogTest, EveryControlWithHelpShowsItsTextAndCaptionsLeaveIt) {
    Run([&](Dialog& d) {
        for (const ControlHelpText& help : kHoverHelpTexts) {
            const int page = PageOf(help.controlId);
            if (page >= 0) d.SelectTab(page);
            ASSERT_TRUE(d.Visible(help.controlId) && d.Enabled(help.controlId)) << help.controlId;
            Hover(d, help.controlId);
            EXPECT_TRUE(Shows(d, help.text)) << help.controlId << " shows \"" << d.Text(IDC_HELP_TEXT) << "\"";
        }
        // Letter for letter, line breaks and trailing spaces included.
        d.SelectTab(0);
        Hover(d, IDC_GAMMA);
        EXPECT_TRUE(Shows(d,
                          "Gamma ddjusts the mid-tone of the tone mapped image, brightening or darkening the "
                          "image globally.\n"));
        Hover(d, IDC_WHITE_POINT);
        EXPECT_TRUE(Shows(d,
                          "White Point sets the value for the maximum on the output image.\nMoving the slider to "
                          "the right increases global contrast. Moving it to the left reduces highlight "
                          "clipping. "));

        Hover(d, IDC_STRENGTH);
        ASSERT_TRUE(Shows(d, kHoverHelpTexts[HoverHelpSlot(IDC_STRENGTH)].text));
        for (int id : {IDC_STRENGTH_CAPTION, IDC_STRENGTH_VALUE, IDC_SMOOTHING_MEDIUM, IDOK, IDC_ZOOM_LARGE}) {
            Hover(d, id);
            Sleep(300);
            EXPECT_EQ(d.Text(IDC_HELP_TEXT), kHoverHelpTexts[HoverHelpSlot(IDC_STRENGTH)].text) << id;
        }
    });
}

// Strength dragged with the mouse: the value label follows the thumb, the
// record waits for the release.
TEST_F(DialogTest, DraggedThumbShowsItsValueAndStoresOnRelease) {
    Run([&](Dialog& d) {
        const HWND slider = d.Item(IDC_STRENGTH);
        SCROLLBARINFO bar{};
        bar.cbSize = sizeof bar;
        // Asked of the control itself: the system's function answers only on the control's own thread.
        ASSERT_TRUE(SendMessageA(slider, SBM_GETSCROLLBARINFO, 0, reinterpret_cast<LPARAM>(&bar)));
        const POINT thumb{bar.rcScrollBar.left + (bar.xyThumbTop + bar.xyThumbBottom) / 2,
                          (bar.rcScrollBar.top + bar.rcScrollBar.bottom) / 2};
        MoveMouseOnto(thumb);
        ASSERT_TRUE(Shows(d, kHoverHelpTexts[HoverHelpSlot(IDC_STRENGTH)].text));
        const int previews = d.Previews();

        PressMouse(true);
        for (int dx = 4; dx <= 40; dx += 4) {
            MoveMouse(POINT{thumb.x + dx, thumb.y});
            Sleep(20);
        }
        EXPECT_TRUE(WaitUntil([&] { return d.Text(IDC_STRENGTH_VALUE) != "70"; }, 5000));
        const std::string dragged = d.Text(IDC_STRENGTH_VALUE);
        EXPECT_EQ(d.record->strength, 70);
        EXPECT_EQ(d.Previews(), previews);

        PressMouse(false);
        EXPECT_TRUE(WaitUntil([&] { return d.record->strength != 70; }, 5000));
        EXPECT_EQ(std::to_string(d.record->strength), d.Text(IDC_STRENGTH_VALUE));
        EXPECT_EQ(d.record->strength, d.Position(IDC_STRENGTH));
        EXPECT_EQ(d.Text(IDC_STRENGTH_VALUE), dragged);
        EXPECT_GT(d.record->strength, 70);
        EXPECT_TRUE(WaitUntil([&] { return d.Previews() > previews; }, 5000));
    });
}

}  // namespace
