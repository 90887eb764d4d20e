// The module's extra export for hosts without a dialog: the preview
// operations the dialog performs, one command per call.
#pragma once

#include "HostContract.h"

// Runs one command on the call in progress (gPlugin): locks the settings
// and globals, as a selector does, and reports the preview in `exchange`.
void HandlePreviewCommand(int16_t command, PreviewExchange* exchange);
