#include <windows.h>

#include "MessageBox.h"

void ShowPlatformMessageBox(void* owner, const char* caption, const char* text) {
    MessageBoxA(static_cast<HWND>(owner), text, caption, MB_OK);
}
