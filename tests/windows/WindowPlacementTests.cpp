// CentreOverParent on real windows: over a parent's client area, at the
// screen's right and bottom edges, for a window larger than the screen, and
// over the desktop when there is no parent.
#include <windows.h>

#include <gtest/gtest.h>

#include "WindowPlacement.h"

namespace {

struct Window {
    HWND handle;
    Window(DWORD style, int left, int top, int width, int height, HWND parent = nullptr)
        : handle(CreateWindowExA(0, "STATIC", "", style, left, top, width, height, parent, nullptr, nullptr,
                                 nullptr)) {}
    ~Window() { DestroyWindow(handle); }
    RECT Place() const {
        RECT r;
        GetWindowRect(handle, &r);
        return r;
    }
};

class CentreOverParentTest : public ::testing::Test {
protected:
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    const int button = GetSystemMetrics(SM_CXSIZE);
    const int buttonWithoutSystemMenu = button - button / 3;
};

TEST_F(CentreOverParentTest, CentresAcrossAndAThirdDownTheParentLessACaptionButton) {
    const Window parent(WS_POPUP, 100, 50, 800, 600);
    const Window box(WS_POPUP, 0, 0, 300, 201, parent.handle);
    ASSERT_EQ(GetParent(box.handle), parent.handle);  // a popup's parent is its owner
    CentreOverParent(box.handle);
    const RECT r = box.Place();
    EXPECT_EQ(r.left, 100 + 250 - buttonWithoutSystemMenu);
    EXPECT_EQ(r.top, 50 + 399 / 3);
    EXPECT_EQ(r.right - r.left, 300);  // size kept
    EXPECT_EQ(r.bottom - r.top, 201);

    // A window with a system menu makes room for a whole button.
    const Window withMenu(WS_POPUP | WS_SYSMENU, 0, 0, 300, 201, parent.handle);
    CentreOverParent(withMenu.handle);
    EXPECT_EQ(withMenu.Place().left, 100 + 250 - button);
}

TEST_F(CentreOverParentTest, UsesTheParentsClientAreaNotItsFrame) {
    const Window parent(WS_OVERLAPPEDWINDOW, 120, 90, 700, 500);
    const Window box(WS_POPUP, 0, 0, 200, 100, parent.handle);
    RECT client;
    GetClientRect(parent.handle, &client);
    POINT origin{0, 0};
    ClientToScreen(parent.handle, &origin);
    ASSERT_NE(origin.y, 90) << "the parent should have a caption above its client area";
    CentreOverParent(box.handle);
    const RECT r = box.Place();
    EXPECT_EQ(r.left, (client.right - 200) / 2 + origin.x - buttonWithoutSystemMenu);
    EXPECT_EQ(r.top, (client.bottom - 100) / 3 + origin.y);
}

TEST_F(CentreOverParentTest, StaysInsideTheScreensRightAndBottomEdges) {
    const Window parent(WS_POPUP, screenWidth - 200, screenHeight - 100, 400, 300);
    const Window box(WS_POPUP, 0, 0, 300, 200, parent.handle);
    CentreOverParent(box.handle);
    const RECT r = box.Place();
    EXPECT_EQ(r.right, screenWidth);
    EXPECT_EQ(r.bottom, screenHeight);
}

TEST_F(CentreOverParentTest, PutsAWindowLargerThanTheScreenAtTheOrigin) {
    const Window parent(WS_POPUP, 300, 200, 400, 300);
    const Window box(WS_POPUP, 10, 10, screenWidth + 50, screenHeight + 40, parent.handle);
    const RECT before = box.Place();
    ASSERT_EQ(before.right - before.left, screenWidth + 50) << "the window system shrank the test window";
    CentreOverParent(box.handle);
    const RECT r = box.Place();
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.top, 0);
}

TEST_F(CentreOverParentTest, CentresOverTheDesktopWithoutParent) {
    const Window box(WS_POPUP, 0, 0, 400, 301);
    CentreOverParent(box.handle);
    const RECT r = box.Place();
    EXPECT_EQ(r.left, (screenWidth - 400) / 2 - buttonWithoutSystemMenu);
    EXPECT_EQ(r.top, (screenHeight - 301) / 3);
}

}  // namespace
