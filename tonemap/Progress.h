// The progress bar on standard error, fed by the plug-in's and the image
// library's progress calls. It draws on its own copy of standard error, which
// stays the terminal while the library's own output is being caught.
#pragma once

#include <cstdint>
#include <string>

// Draws only when standard error is a terminal and `quiet` is off.
void SetProgressShown(bool quiet);

// One bar per image, over its phases: reading, the plug-in, writing. Each
// phase reports its own progress into its share of the bar.
void ProgressBegin(const std::string& label);
void ProgressPhase(int fromPercent, int toPercent);
void ProgressUpdate(int32_t done, int32_t total);  // a ProgressProc
void ProgressEnd();

// The image library's progress callback: feeds the bar, and answers true
// (stop) once cancelling was asked for.
bool ImageLibraryProgress(void* unused, float portionDone);
