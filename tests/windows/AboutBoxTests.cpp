// The About box of the built module, shown through the about selector over a
// window standing in for the host's, and driven with real keyboard and mouse
// input from a second thread.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "../../minihost/MiniHost.h"
#include "../BuiltModule.h"
#include "AboutBoxIds.h"
#include "WindowsTestSupport.h"

namespace {

using namespace windows_test;

constexpr RECT kHostPlace = {100, 80, 900, 680};  // left, top, right, bottom

class AboutBoxTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(BuiltModule().main, nullptr);
        hostWindow = CreateWindowExA(0, "STATIC", "Host", WS_POPUP, kHostPlace.left, kHostPlace.top,
                                     kHostPlace.right - kHostPlace.left, kHostPlace.bottom - kHostPlace.top,
                                     nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(hostWindow, nullptr);
        host.hostWindow = reinterpret_cast<intptr_t>(hostWindow);
    }
    void TearDown() override { DestroyWindow(hostWindow); }

    // Shows the About box and runs `drive` on it; `drive` must close it.
    // Returns the selector's result.
    int16_t ShowAbout(const std::function<void(HWND box)>& drive) {
        int16_t result = -1;
        WhileShowing([&] { result = CallSelector(host, BuiltModule(), filterSelectorAbout); },
                     [&](DWORD thread) {
                         const HWND box = WaitForDialogOf(thread);
                         if (box == nullptr) return;  // the failure shows as boxSeen
                         boxSeen = true;
                         SetForegroundWindow(box);
                         drive(box);
                         // Whatever the driver saw, the box must not outlive the test.
                         if (IsWindowVisible(box)) {
                             PostMessageA(box, WM_LBUTTONDOWN, 0, 0);
                             PostMessageA(box, WM_COMMAND, IDCANCEL, 0);
                         }
                     });
        return result;
    }

    static bool ClosesSoon(HWND box) {
        return WaitUntil([&] { return !IsWindowVisible(box); }, 5000);
    }

    static POINT CentreOf(HWND control) {
        RECT r;
        GetWindowRect(control, &r);
        return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    }

    HWND hostWindow = nullptr;
    MiniHost host;
    bool boxSeen = false;
};

std::string TextOf(HWND box, int id) {
    char text[512] = "";
    GetDlgItemTextA(box, id, text, sizeof text);
    return text;
}

TEST_F(AboutBoxTest, ShowsItsTextsCentredOverTheHostsWindowAndClosesOnEscButNoOtherKey) {
    std::string texts[4];
    LOGFONTA titleFont{};
    LONG_PTR style = 0;
    HWND owner = nullptr;
    RECT place{}, client{}, templateSize{0, 0, 199, 197};
    bool openAfterOtherInput = false, closedByEsc = false;

    const int16_t result = ShowAbout([&](HWND box) {
        for (int i = 0; i < 4; ++i) texts[i] = TextOf(box, IDC_ABOUT_TITLE + i);
        const auto font = reinterpret_cast<HFONT>(SendDlgItemMessageA(box, IDC_ABOUT_TITLE, WM_GETFONT, 0, 0));
        GetObjectA(font, sizeof titleFont, &titleFont);
        style = GetWindowLongPtrA(box, GWL_STYLE);
        owner = GetWindow(box, GW_OWNER);
        GetWindowRect(box, &place);
        GetClientRect(box, &client);
        MapDialogRect(box, &templateSize);

        for (WORD key : {WORD('A'), WORD(VK_SPACE), WORD(VK_TAB), WORD(VK_F1), WORD(VK_BACK), WORD(VK_LEFT),
                         WORD(VK_DELETE), WORD('1')})
            PressKey(key);
        ClickAt(CentreOf(GetDlgItem(box, IDC_ABOUT_PURPOSE)), MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP);
        SendMessageA(box, WM_CHAR, 'x', 0);
        Sleep(500);
        openAfterOtherInput = IsWindowVisible(box);

        PressKey(VK_ESCAPE);
        closedByEsc = ClosesSoon(box);
    });

    ASSERT_TRUE(boxSeen) << "no About box appeared";
    EXPECT_EQ(result, noErr);
    EXPECT_EQ(texts[0], "Tone Mapping Plug-In ");
    EXPECT_EQ(texts[1],
              "The Tone Mapping Plug-In reveals details in highlights and shadows in 32-bit High Dynamic Range "
              "images.  ");
    EXPECT_EQ(texts[2],
              "The resulting image shows the whole dynamic range available in the original HDR image and is ready "
              "for display on standard monitors and prints.");
    EXPECT_EQ(texts[3],
              "The Tone Mapping Plug-In can also be applied to images in 16 bits/channel mode, such as images "
              "resulting from RAW conversion.");
    EXPECT_EQ(titleFont.lfHeight, 14);
    EXPECT_EQ(titleFont.lfWeight, 700);
    EXPECT_STREQ(titleFont.lfFaceName, "Verdana");

    // No title bar, a thin border, the template's size, owned by the host's window.
    EXPECT_EQ(style & WS_CAPTION, WS_BORDER);
    EXPECT_EQ(style & (WS_SYSMENU | WS_THICKFRAME), 0);
    EXPECT_EQ(client.right, templateSize.right);
    EXPECT_EQ(client.bottom, templateSize.bottom);
    EXPECT_EQ(owner, hostWindow);

    // Centred across the host's window less two thirds of a caption button,
    // a third of the way down.
    const int width = place.right - place.left, height = place.bottom - place.top;
    const int button = GetSystemMetrics(SM_CXSIZE);
    EXPECT_EQ(place.left, (kHostPlace.right - kHostPlace.left - width) / 2 + kHostPlace.left - (button - button / 3));
    EXPECT_EQ(place.top, (kHostPlace.bottom - kHostPlace.top - height) / 3 + kHostPlace.top);

    EXPECT_TRUE(openAfterOtherInput) << "closed on a key other than Esc or Enter, or on a right click";
    EXPECT_TRUE(closedByEsc);
}

TEST_F(AboutBoxTest, ClosesOnEnter) {
    bool closed = false;
    ShowAbout([&](HWND box) {
        PressKey(VK_RETURN);
        closed = ClosesSoon(box);
    });
    ASSERT_TRUE(boxSeen);
    EXPECT_TRUE(closed);
}

TEST_F(AboutBoxTest, ClosesOnALeftClickOnItsText) {
    bool closed = false;
    ShowAbout([&](HWND box) {
        ClickAt(CentreOf(GetDlgItem(box, IDC_ABOUT_RESULT)));
        closed = ClosesSoon(box);
    });
    ASSERT_TRUE(boxSeen);
    EXPECT_TRUE(closed);
}

// Where Esc and Enter reach the box as characters rather than through the
// dialog manager, they close it too.
TEST_F(AboutBoxTest, ClosesOnTheEnterCharacter) {
    bool closed = false;
    ShowAbout([&](HWND box) {
        SendMessageA(box, WM_CHAR, '\r', 0);
        closed = ClosesSoon(box);
    });
    ASSERT_TRUE(boxSeen);
    EXPECT_TRUE(closed);
}

}  // namespace
