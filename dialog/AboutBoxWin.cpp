// The About box: a borderless little window over the host's window that
// names the plug-in and closes on a click, Esc or Enter.
#include <windows.h>

#include "AboutBoxIds.h"
#include "Dialogs.h"
#include "HostUtils.h"
#include "WindowPlacement.h"

namespace {

constexpr int kTitleFontHeight = 14;  // cell height in pixels
constexpr WPARAM kEscapeChar = 27;
constexpr WPARAM kEnterChar = 13;

// The title's bold font: created at opening, deleted once the box is gone.
HFONT gTitleFont = nullptr;

void SetTitleFont(HWND box) {
    gTitleFont = CreateFontA(kTitleFontHeight, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                             OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                             "Verdana");
    if (gTitleFont != nullptr)
        SendDlgItemMessageA(box, IDC_ABOUT_TITLE, WM_SETFONT, reinterpret_cast<WPARAM>(gTitleFont), FALSE);
}

INT_PTR CALLBACK AboutBoxProc(HWND box, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            CentreOverParent(box);
            SetTitleFont(box);
            return TRUE;
        case WM_CHAR:
            // Any other character is swallowed.
            if (wParam == kEscapeChar || wParam == kEnterChar) EndDialog(box, 0);
            return TRUE;
        case WM_LBUTTONDOWN:
            EndDialog(box, 0);
            return TRUE;
        case WM_COMMAND:
            // The dialog manager turns the Esc and Enter keys into these two
            // commands before they could arrive as characters.
            if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
                EndDialog(box, 0);
                return TRUE;
            }
            return FALSE;
        default:
            return FALSE;
    }
}

}  // namespace

void ShowAboutBox(void* parentWindow) {
    DialogBoxParamA(static_cast<HINSTANCE>(GetModuleInstance()), MAKEINTRESOURCEA(IDD_ABOUT_BOX),
                    static_cast<HWND>(parentWindow), AboutBoxProc, 0);
    if (gTitleFont != nullptr) DeleteObject(gTitleFont);
    gTitleFont = nullptr;
}
