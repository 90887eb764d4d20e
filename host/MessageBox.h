// Every message the module shows goes through ShowMessageBox: a host that
// installs a handler (our own host does) receives the text instead of a
// blocking message box.
#pragma once

#include "HostContract.h"

// A modal OK-only message box without owner window, or the host's handler.
void ShowMessageBox(const char* caption, const char* text);

void InstallMessageBoxHandler(MessageBoxHandler handler);

// The platform's own message box (MessageBoxWin.cpp, MessageBoxPosix.cpp).
void ShowPlatformMessageBox(const char* caption, const char* text);
