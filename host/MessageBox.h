// Every message the module shows goes through ShowMessageBox or
// ShowOwnedMessageBox: a host that installs a handler (our own host does, and
// so do the tests) receives the text instead of a blocking message box.
#pragma once

#include "HostContract.h"

// A modal OK-only message box without owner window, or the host's handler.
void ShowMessageBox(const char* caption, const char* text);

// The same, owned by `owner` (a window handle, HWND on Windows) so that it
// stays in front of the window that asked for it.
void ShowOwnedMessageBox(void* owner, const char* caption, const char* text);

void InstallMessageBoxHandler(MessageBoxHandler handler);

// The platform's own message box (MessageBoxWin.cpp, MessageBoxPosix.cpp).
void ShowPlatformMessageBox(void* owner, const char* caption, const char* text);
