// Driving the built module's dialog from a second thread, as a user would:
// our host plays the selectors on the test's main thread, the module opens
// its dialog there, and the test thread finds it, sends it the messages of
// clicks and scroll requests or real mouse input, and reads back texts,
// states, the record and the painted pixels.
#pragma once

#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "../../minihost/MiniHost.h"
#include "../BuiltModule.h"
#include "DialogControlIds.h"
#include "Settings.h"

namespace dialog_test {

constexpr char kDialogTitle[] = "Tone Mapping 1.2";

// Polls `condition` every 5 ms for up to `ms` milliseconds.
inline bool WaitUntil(const std::function<bool()>& condition, int ms = 20000) {
    for (int waited = 0; waited < ms; waited += 5) {
        if (condition()) return true;
        Sleep(5);
    }
    return condition();
}

// The visible dialog of `thread` with the dialog's title, or null.
inline HWND FindToneMappingDialog(DWORD thread) {
    HWND found = nullptr;
    EnumThreadWindows(
        thread,
        [](HWND window, LPARAM param) -> BOOL {
            char title[64] = "";
            GetWindowTextA(window, title, sizeof title);
            if (!IsWindowVisible(window) || std::string(title) != kDialogTitle) return TRUE;
            *reinterpret_cast<HWND*>(param) = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

// A deterministic HDR scene: a dim room, a bright window, texture.
inline HostDocument Scene(int32_t width, int32_t height, int16_t depth) {
    HostDocument doc = MakeDocument(width, height, 3, depth);
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x) {
            const bool window = x > width / 2 && x < width * 3 / 4 && y > height / 5 && y < height / 2;
            const double base = window ? 40.0 : 0.02 + 0.3 * x / width + 0.1 * y / height;
            const double texture = 1.0 + 0.3 * std::sin(x * 0.9) * std::cos(y * 1.3);
            for (int c = 0; c < 3; ++c) {
                const double v = base * texture * (1.0 + 0.25 * c);
                const size_t i = (static_cast<size_t>(y) * width + x) * 3 + c;
                if (depth == 32)
                    FloatSamples(doc)[i] = static_cast<float>(v);
                else
                    Code16Samples(doc)[i] =
                        static_cast<uint16_t>(std::fmin(32768.0, std::pow(v / 50.0, 1 / 2.2) * 32768));
            }
        }
    return doc;
}

// The dialog as the driving thread sees it.
struct Dialog {
    HWND window = nullptr;
    TMSettings* record = nullptr;   // the module's settings, in the host's handle
    const TMGlobals* globals = nullptr;
    MiniHost* host = nullptr;

    HWND Item(int id) const { return GetDlgItem(window, id); }
    std::string Text(int id) const {
        char text[1024] = "";
        GetDlgItemTextA(window, id, text, sizeof text);
        return text;
    }
    bool Enabled(int id) const { return IsWindowEnabled(Item(id)) != FALSE; }
    bool Visible(int id) const { return IsWindowVisible(Item(id)) != FALSE; }
    bool Checked(int id) const { return SendMessageA(Item(id), BM_GETCHECK, 0, 0) == BST_CHECKED; }
    int Position(int slider) const { return GetScrollPos(Item(slider), SB_CTL); }
    // A click on a button, check box or radio button, through the control itself.
    void Click(int id) const { SendMessageA(Item(id), BM_CLICK, 0, 0); }
    // A scroll request of a slider, as the slider sends it.
    void Scroll(int slider, int request) const {
        SendMessageA(window, WM_HSCROLL, MAKEWPARAM(request, 0), reinterpret_cast<LPARAM>(Item(slider)));
    }
    // Selects a tab as a click on it does: the selection, then its notification.
    void SelectTab(int page) const {
        SendMessageA(Item(IDC_TABS), TCM_SETCURSEL, page, 0);
        NMHDR header{Item(IDC_TABS), static_cast<UINT_PTR>(IDC_TABS), static_cast<UINT>(TCN_SELCHANGE)};
        SendMessageA(window, WM_NOTIFY, IDC_TABS, reinterpret_cast<LPARAM>(&header));
    }
    RECT ScreenRectOf(int id) const {
        RECT r{};
        GetWindowRect(Item(id), &r);
        return r;
    }
    RECT ClientRectOf(int id) const {
        RECT r = ScreenRectOf(id);
        MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&r), 2);
        return r;
    }
    SIZE WindowSize() const {
        RECT r{};
        GetWindowRect(window, &r);
        return SIZE{r.right - r.left, r.bottom - r.top};
    }
    // Paints whatever waits to be painted, and returns when it is done. The
    // dialog's thread may already be painting on its own, in which case the
    // update region is gone and RedrawWindow returns at once; a message sent
    // afterwards is only taken once that painting has ended.
    void Paint() const {
        RedrawWindow(window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
        SendMessageA(window, WM_NULL, 0, 0);
    }
    int Previews() const { return host->advanceStateCalls; }
};

// The client area's pixels as 0x00RRGGBB, rows top first, read back from the window.
struct Pixels {
    int32_t width = 0, height = 0;
    std::vector<uint32_t> rgb;
    uint32_t At(int32_t x, int32_t y) const { return rgb[static_cast<size_t>(y) * width + x] & 0xFFFFFF; }
};

inline Pixels ReadBack(HWND window) {
    RECT client{};
    GetClientRect(window, &client);
    Pixels pixels{client.right, client.bottom, {}};
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = pixels.width;
    info.bmiHeader.biHeight = -pixels.height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    const HDC screen = GetDC(window);
    const HDC memory = CreateCompatibleDC(screen);
    const HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    const HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, pixels.width, pixels.height, screen, 0, 0, SRCCOPY);
    GdiFlush();
    const auto* first = static_cast<const uint32_t*>(bits);
    pixels.rgb.assign(first, first + static_cast<size_t>(pixels.width) * pixels.height);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(window, screen);
    return pixels;
}

// Real mouse input through the system's queue, to screen coordinates.
inline void MoveMouse(POINT to) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dx = MulDiv(to.x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
    input.mi.dy = MulDiv(to.y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
    input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    SendInput(1, &input, sizeof input);
}

// Moves the pointer onto a point by way of a point beside it: a pointer that
// is already there (a control at the same place on another tab page) would
// otherwise not move at all, and the control under it would get no mouse
// move message.
inline void MoveMouseOnto(POINT to) {
    MoveMouse(POINT{to.x + 2, to.y + 1});
    MoveMouse(to);
}

inline void PressMouse(bool down) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = down ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP;
    SendInput(1, &input, sizeof input);
}

// A key pressed and released through the system's input queue, into the
// dialog brought to the front; waits for the dialog to close when the key
// should close it.
inline void PressKey(HWND dialog, WORD key, bool closes) {
    SetForegroundWindow(dialog);
    INPUT input[2] = {};
    input[0].type = input[1].type = INPUT_KEYBOARD;
    input[0].ki.wVk = input[1].ki.wVk = key;
    input[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, input, sizeof(INPUT));
    if (closes) {
        EXPECT_TRUE(WaitUntil([&] { return !IsWindow(dialog); }, 10000)) << "key " << key;
    }
}

inline POINT CentreOf(const RECT& r) { return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }

// Runs `run` on this thread, where it opens the dialog (it plays selectors
// through our host), while `drive` works the dialog from a second thread.
// Whatever `drive` leaves open is cancelled, so that no window outlives it;
// a dialog that never appears fails the test.
inline void WhileDialogShown(MiniHost& host, const std::function<void()>& run,
                             const std::function<void(Dialog&)>& drive) {
    const DWORD thread = GetCurrentThreadId();
    std::thread driver([&] {
        HWND window = nullptr;
        if (!WaitUntil([&] { return (window = FindToneMappingDialog(thread)) != nullptr; })) {
            ADD_FAILURE() << "the dialog did not appear";
            return;
        }
        Dialog dialog{window, reinterpret_cast<TMSettings*>(PeekHandle(host, host.parameters)),
                      reinterpret_cast<const TMGlobals*>(PeekHandle(host, reinterpret_cast<Handle>(host.data))),
                      &host};
        drive(dialog);
        if (IsWindow(window)) PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    });
    run();
    driver.join();
}

// Our host with a document and a window of its own; the dialog is left to
// the test to answer.
class DialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(BuiltModule().main, nullptr);
        hostWindow = CreateWindowExA(0, "STATIC", "Host", WS_POPUP, 0, 0, 1024, 768, nullptr, nullptr, nullptr,
                                     nullptr);
        ASSERT_NE(hostWindow, nullptr);
        host.hostWindow = reinterpret_cast<intptr_t>(hostWindow);
        host.dialogAnswer = 0;
        host.document = Scene(600, 400, 32);
        // The pointer waits in the screen's far corner, where no dialog
        // opens: one left over a control would show that control's help.
        MoveMouse(POINT{GetSystemMetrics(SM_CXSCREEN) - 1, GetSystemMetrics(SM_CYSCREEN) - 1});
    }
    void TearDown() override {
        ReleaseKeptHandles(host);
        DestroyWindow(hostWindow);
    }

    // The run as the user starts it from the menu (parameters, prepare,
    // start with the dialog, continue, finish), `drive` working the dialog.
    int16_t Run(const std::function<void(Dialog&)>& drive, bool withParameters = true) {
        int16_t result = -1;
        WhileDialogShown(host, [&] { result = RunFilter(host, BuiltModule(), withParameters); }, drive);
        return result;
    }

    // The next start plays `action` and shows the dialog on its settings, as
    // a recorded step whose dialog is switched on.
    void PlayWithDialog(const DescriptorList& action) {
        host.playAction = true;
        host.actionToPlay = action;
        host.playInfo = plugInDialogDisplay;
    }

    MiniHost host;
    HWND hostWindow = nullptr;
};

}  // namespace dialog_test
