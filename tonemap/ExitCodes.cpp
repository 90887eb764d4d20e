#include "ExitCodes.h"

#include "../host/FullRun.h"

std::string ExitCodeMeaning(ExitCode code) {
    switch (code) {
        case kExitOk: return "done";
        case kExitInternal: return "internal error of tonemap";
        case kExitUsage: return "wrong command line: unknown option, bad or out-of-range value";
        case kExitInputMissing: return "an input file is missing or cannot be opened";
        case kExitInputUnreadable: return "an input file is damaged, incomplete or not an image";
        case kExitUnsupported: {
            const std::string side = std::to_string(kMinimumImageSide);
            return "an image cannot be tone-mapped: 8 bits, channels, smaller than " + side + " x " + side +
                   ", no contrast";
        }
        case kExitOutput:
            return "a result cannot be written: no such folder, no permission, a full disk, not a regular file";
        case kExitSettingsFile: return "a settings file cannot be read or written, or holds values out of range";
        case kExitOutOfMemory: return "not enough memory";
        case kExitCancelled: return "cancelled";
        case kExitPlugin: return "the plug-in cannot be loaded or failed";
    }
    return "";
}
