#include <windows.h>

#include "MessageBox.h"

void ShowPlatformMessageBox(const char* caption, const char* text) {
    MessageBoxA(nullptr, text, caption, MB_OK);
}
