// Helpers of the Windows tests: finding and driving the windows that the
// code under test shows on the test's main thread from a second thread,
// real keyboard and mouse input, scratch folders and the plug-in's registry key.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "HostContract.h"
#include "ScratchFolder.h"

namespace windows_test {

// The first visible dialog window (class #32770) of `thread` whose title is
// `title` (any title when null), or null.
inline HWND FindDialogOf(DWORD thread, const char* title = nullptr) {
    struct Search {
        const char* title;
        HWND found;
    } search{title, nullptr};
    EnumThreadWindows(
        thread,
        [](HWND window, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<Search*>(param);
            char className[32] = "";
            GetClassNameA(window, className, sizeof className);
            char text[256] = "";
            GetWindowTextA(window, text, sizeof text);
            if (std::string(className) != "#32770" || !IsWindowVisible(window)) return TRUE;
            if (s->title != nullptr && std::string(text) != s->title) return TRUE;
            s->found = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Polls `condition` every 5 ms for up to `ms` milliseconds.
inline bool WaitUntil(const std::function<bool()>& condition, int ms = 10000) {
    for (int waited = 0; waited < ms; waited += 5) {
        if (condition()) return true;
        Sleep(5);
    }
    return condition();
}

inline HWND WaitForDialogOf(DWORD thread, const char* title = nullptr) {
    HWND found = nullptr;
    WaitUntil([&] { return (found = FindDialogOf(thread, title)) != nullptr; });
    return found;
}

// Runs `drive` on a second thread while `show` shows a modal window on this
// one; `drive` receives this thread's id and must see to it that the window ends.
inline void WhileShowing(const std::function<void()>& show, const std::function<void(DWORD)>& drive) {
    const DWORD thread = GetCurrentThreadId();
    std::thread driver([&] { drive(thread); });
    show();
    driver.join();
}

// A key pressed and released through the system's input queue, as the user
// types it: it goes to the foreground window's focus.
inline void PressKey(WORD key) {
    INPUT input[2] = {};
    input[0].type = input[1].type = INPUT_KEYBOARD;
    input[0].ki.wVk = input[1].ki.wVk = key;
    input[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, input, sizeof(INPUT));
}

// A mouse click at a screen point, with the given button's down and up flags.
inline void ClickAt(POINT at, DWORD down = MOUSEEVENTF_LEFTDOWN, DWORD up = MOUSEEVENTF_LEFTUP) {
    SetCursorPos(at.x, at.y);
    INPUT input[2] = {};
    input[0].type = input[1].type = INPUT_MOUSE;
    input[0].mi.dwFlags = down;
    input[1].mi.dwFlags = up;
    SendInput(2, input, sizeof(INPUT));
}

// The plug-in's key under HKEY_CURRENT_USER, as the tests see it.
constexpr const char kKey[] = "Software\\Corvanta\\Quillon\\ToneMappingPlugin";

inline void DeletePluginKey() { RegDeleteTreeA(HKEY_CURRENT_USER, kKey); RegDeleteKeyA(HKEY_CURRENT_USER, kKey); }

inline bool PluginKeyExists() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

inline void SetPluginString(const char* name, const std::string& value) {
    ASSERT_EQ(RegSetKeyValueA(HKEY_CURRENT_USER, kKey, name, REG_SZ, value.c_str(), DWORD(value.size() + 1)),
              ERROR_SUCCESS);
}

// The string value, or "<missing>".
inline std::string PluginString(const char* name) {
    char value[1024] = "";
    DWORD size = sizeof value;
    if (RegGetValueA(HKEY_CURRENT_USER, kKey, name, RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS)
        return "<missing>";
    return value;
}

// Messages that the module would have shown, caught by its message handler.
struct CaughtMessage {
    std::string caption;
    std::string text;
};
inline std::vector<CaughtMessage>& CaughtMessages() {
    static std::vector<CaughtMessage> messages;
    return messages;
}
inline void CatchMessage(const char* caption, const char* text) { CaughtMessages().push_back({caption, text}); }

}  // namespace windows_test
