// The module's windows: the modal tone-mapping dialog and the About box.
#pragma once

// Runs the dialog over the settings record; true when it ended with OK.
bool DoToneMappingDialog();

// Shows the About box over `parentWindow`, the host's window (HWND on
// Windows; null for none), and returns when the user has closed it.
void ShowAboutBox(void* parentWindow);
