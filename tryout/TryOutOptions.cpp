#include "TryOutOptions.h"

const char kTryOutUsage[] =
    "Usage: tonemap-dialog [--no-dialog] [--settings FILE.xmp] IN OUT\n"
    "\n"
    "Opens IN as a document, runs the Tone Mapping plug-in (ToneMapping.8bf beside this\n"
    "program) on it with its dialog, and writes the result to OUT when the dialog ends\n"
    "with OK.\n"
    "\n"
    "  IN   a .pfm file (32-bit float RGB) or a .ppm file (16-bit RGB)\n"
    "  OUT  a .pfm file, or a .ppm file (16-bit RGB)\n"
    "  --settings FILE.xmp  the run plays the settings of FILE.xmp as its action: the\n"
    "                       dialog opens on them, or they apply without it\n"
    "  --no-dialog          the run is played as an action with the dialog off; without\n"
    "                       --settings the plug-in uses the settings of its last run\n"
    "\n"
    "Exit status: 0 written, 1 failed, 2 cancelled (nothing written).\n";

bool ParseTryOutOptions(int argc, const char* const* argv, TryOutOptions* options, std::string* problem) {
    *options = TryOutOptions{};
    int files = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--help" || argument == "-h") {
            options->help = true;
        } else if (argument == "--no-dialog") {
            options->noDialog = true;
        } else if (argument == "--settings") {
            if (i + 1 >= argc) {
                *problem = "--settings needs a settings file.";
                return false;
            }
            options->settingsFile = argv[++i];
        } else if (argument.size() > 1 && argument[0] == '-') {
            *problem = "Unknown option " + argument + ".";
            return false;
        } else if (files == 0) {
            options->input = argument;
            ++files;
        } else if (files == 1) {
            options->output = argument;
            ++files;
        } else {
            *problem = "Too many files: " + argument + ".";
            return false;
        }
    }
    if (!options->help && files != 2) {
        *problem = "Give an input and an output file.";
        return false;
    }
    return true;
}
