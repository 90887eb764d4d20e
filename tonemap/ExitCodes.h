// The exit status of tonemap: one number per kind of failure, listed in
// --help, and the message that goes with a failure.
#pragma once

#include <string>

enum ExitCode : int {
    kExitOk = 0,
    kExitInternal = 1,         // a fault of the tool itself
    kExitUsage = 2,            // the command line: unknown option, bad or out-of-range value
    kExitInputMissing = 3,     // an input file is missing or cannot be opened
    kExitInputUnreadable = 4,  // an input file is damaged, truncated or not an image
    kExitUnsupported = 5,      // the image cannot be tone-mapped: 8 bits, channels, size
    kExitOutput = 6,           // an output file cannot be written
    kExitSettingsFile = 7,     // a settings file cannot be read or written
    kExitOutOfMemory = 8,
    kExitCancelled = 9,  // interrupted (Ctrl+C)
    kExitPlugin = 10,    // the plug-in module cannot be loaded or failed
};

struct ToolError {
    ExitCode code = kExitOk;
    std::string message;
};

// Fills `error` and returns false, so that a failing step reads
// `return Fail(error, kExitOutput, "...")`.
inline bool Fail(ToolError* error, ExitCode code, std::string message) {
    error->code = code;
    error->message = std::move(message);
    return false;
}
