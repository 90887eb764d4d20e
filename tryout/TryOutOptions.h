// The command line of the try-out program tonemap-dialog.
#pragma once

#include <string>

struct TryOutOptions {
    std::string input;         // .pfm (32-bit float RGB) or .ppm (16-bit RGB)
    std::string output;        // .pfm, or .ppm for 16 bits a sample
    std::string settingsFile;  // .xmp whose settings the run plays as its action; empty: none
    bool noDialog = false;     // play the run as an action with the dialog off
    bool help = false;
};

// Exit statuses.
constexpr int kTryOutWritten = 0;    // the result was written (OK, or a run without dialog)
constexpr int kTryOutFailed = 1;     // a wrong command line, an unreadable file, a plug-in failure
constexpr int kTryOutCancelled = 2;  // the dialog was cancelled: nothing written

extern const char kTryOutUsage[];

// False with the reason in `problem` for a command line that cannot be run.
bool ParseTryOutOptions(int argc, const char* const* argv, TryOutOptions* options, std::string* problem);
