// The module's windows: the modal tone-mapping dialog and the About box.
#pragma once

// Runs the dialog over the settings record; true when it ended with OK.
bool DoToneMappingDialog();

// Shows the About box over the host's window.
void ShowAboutBox();
