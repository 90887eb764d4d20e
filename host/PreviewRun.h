// The preview run: what the dialog shows after every change, the tone-mapped
// preview or, under "Show Original", the source image, each with the
// histogram of its picture.
#pragma once

#include <cstdint>

#include "HostContract.h"
#include "Settings.h"

// The exponent of the preview's encoding for either depth. The display
// buffer goes to the screen as display values, so a 32-bit document's
// preview is not raised to the 2.2 its document receives as linear values.
constexpr double kPreviewOutputGamma = 1.0;

// A new preview from the settings record into the display buffer and
// histogram 0. Returns the host result, which it also leaves in the call's
// result word when it is a failure: -108 for a missing buffer or array,
// -30100 for a bad size or plan or a failing stage (-108 for a stage's -4),
// or advanceState's own code.
int16_t ComputePreview();

// The same for an explicit record, settings and globals.
int16_t ComputePreviewOf(FilterRecord* record, TMSettings* settings, TMGlobals* globals);

// The "Show Original" button: toggles between the source image and the
// tone-mapped picture; switching back asks for the picture kept from before.
void ToggleShowOriginal(TMSettings* settings);
