#include <windows.h>

#include <algorithm>

#include "WindowPlacement.h"

void CentreOverParent(void* windowHandle) {
    const HWND window = static_cast<HWND>(windowHandle);
    HWND reference = GetParent(window);
    if (reference == nullptr) reference = GetDesktopWindow();

    RECT area;
    GetClientRect(reference, &area);
    MapWindowPoints(reference, nullptr, reinterpret_cast<POINT*>(&area), 2);

    // A window without system menu has fewer caption buttons to make room for.
    int captionButton = GetSystemMetrics(SM_CXSIZE);
    if ((GetWindowLongA(window, GWL_STYLE) & WS_SYSMENU) == 0) captionButton -= captionButton / 3;

    RECT own;
    GetWindowRect(window, &own);
    const int width = own.right - own.left;
    const int height = own.bottom - own.top;

    const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    int left = std::max(0, static_cast<int>(area.right - area.left) - width) / 2 + area.left - captionButton;
    if (left + width > screenWidth) left = std::max(0, screenWidth - width);

    const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    int top = std::max(0, static_cast<int>(area.bottom - area.top) - height) / 3 + area.top;
    if (top + height > screenHeight) top = std::max(0, screenHeight - height);

    SetWindowPos(window, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
