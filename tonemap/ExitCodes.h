// The exit status of tonemap: one number per kind of failure, listed in
// --help, and the message that goes with a failure.
#pragma once

#include <string>

enum ExitCode : int {
    kExitOk = 0,
    kExitInternal = 1,
    kExitUsage = 2,
    kExitInputMissing = 3,
    kExitInputUnreadable = 4,
    kExitUnsupported = 5,
    kExitOutput = 6,
    kExitSettingsFile = 7,
    kExitOutOfMemory = 8,
    kExitCancelled = 9,
    kExitPlugin = 10,
};

constexpr ExitCode kLastExitCode = kExitPlugin;

// What a status means, in the words of --help. Every code has its words: a
// code missing from the switch behind this fails the build (-Wswitch).
std::string ExitCodeMeaning(ExitCode code);

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
