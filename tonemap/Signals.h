// Signals: the first Ctrl+C asks the running work to stop (the plug-in's
// abort checks and the image library's progress calls answer it); a second
// one, and every other signal that would end the process, first removes the
// temporary files being written (PendingFiles.h) and then ends the process as
// the signal would have. A file grown beyond the file size limit fails its
// write (EFBIG) instead of ending the process.
#pragma once

#include <cstdint>

void InstallSignalHandlers();
bool CancelRequested();
uint8_t CancelRequestedForHost();  // a TestAbortProc
