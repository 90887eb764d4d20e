// Hover help: the 21 controls with a help text get a window procedure of
// their own that shows the text in the "Note" box when the mouse moves over
// them and hands every message on to the procedure the control had before.
#include <windows.h>

#include "DialogControlIds.h"
#include "HoverHelpTexts.h"
#include "ToneMappingDialog.h"

namespace {

// Each control's previous procedure, kept for the module's lifetime; every
// opening of the dialog installs the hover help afresh.
WNDPROC gPreviousProcedures[kHoverHelpCount] = {};

LRESULT CALLBACK HoverHelpProcedure(HWND control, UINT message, WPARAM wParam, LPARAM lParam) {
    const int slot = HoverHelpSlot(GetDlgCtrlID(control));
    if (slot < 0 || gPreviousProcedures[slot] == nullptr) return DefWindowProcA(control, message, wParam, lParam);
    if (message == WM_MOUSEMOVE) SetDlgItemTextA(GetParent(control), IDC_HELP_TEXT, kHoverHelpTexts[slot].text);
    return CallWindowProcA(gPreviousProcedures[slot], control, message, wParam, lParam);
}

}  // namespace

void InstallHoverHelp(HWND dialog) {
    for (int slot = 0; slot < kHoverHelpCount; ++slot) {
        const HWND control = GetDlgItem(dialog, kHoverHelpTexts[slot].controlId);
        if (control == nullptr) continue;
        gPreviousProcedures[slot] = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrA(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&HoverHelpProcedure)));
    }
}
