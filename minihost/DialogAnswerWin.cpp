// A host without a user answers the module's dialog itself: a hook on the
// thread's window creation posts the answer to every dialog window as it is
// created, and the dialog finds it once its opening is done.
#include <windows.h>

#include <cstring>

#include "HostCallbacks.h"

namespace {

HHOOK gHook = nullptr;
int gButton = 0;

bool IsDialogWindow(HWND window, const CREATESTRUCTA& create) {
    char name[16] = "";
    return (create.style & WS_CHILD) == 0 && GetClassNameA(window, name, sizeof name) > 0 &&
           std::strcmp(name, "#32770") == 0;
}

LRESULT CALLBACK AnswerDialogs(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND) {
        const HWND window = reinterpret_cast<HWND>(wParam);
        const auto* create = reinterpret_cast<const CBT_CREATEWNDA*>(lParam);
        if (create->lpcs != nullptr && IsDialogWindow(window, *create->lpcs))
            PostMessageA(window, WM_COMMAND, MAKEWPARAM(gButton, BN_CLICKED), 0);
    }
    return CallNextHookEx(gHook, code, wParam, lParam);
}

}  // namespace

ScopedDialogAnswer::ScopedDialogAnswer(int button) {
    if (button == 0 || gHook != nullptr) return;
    gButton = button;
    gHook = SetWindowsHookExA(WH_CBT, AnswerDialogs, nullptr, GetCurrentThreadId());
    installed = gHook != nullptr;
}

ScopedDialogAnswer::~ScopedDialogAnswer() {
    if (!installed) return;
    UnhookWindowsHookEx(gHook);
    gHook = nullptr;
}
