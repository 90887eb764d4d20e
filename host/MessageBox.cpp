#include "MessageBox.h"

namespace {
MessageBoxHandler gHandler = nullptr;
}

void InstallMessageBoxHandler(MessageBoxHandler handler) { gHandler = handler; }

void ShowMessageBox(const char* caption, const char* text) { ShowOwnedMessageBox(nullptr, caption, text); }

void ShowOwnedMessageBox(void* owner, const char* caption, const char* text) {
    if (gHandler != nullptr)
        gHandler(caption, text);
    else
        ShowPlatformMessageBox(owner, caption, text);
}
