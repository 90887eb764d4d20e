// tonemap-dialog: our host as a small Windows program. It opens an image file
// as a document, loads ToneMapping.8bf from beside itself and plays the
// selectors as the host does when the user picks the filter: the module's own
// dialog opens over a window of the host's, and the result is written when it
// ends with OK. Under wine on Linux it is how the dialog is tried without the
// host, and how scripts run the .8bf on files.
#include <windows.h>

#include <cstdio>
#include <string>

#include "TryOutFiles.h"
#include "TryOutOptions.h"

namespace {

int Fail(const std::string& problem) {
    std::fprintf(stderr, "tonemap-dialog: %s\n", problem.c_str());
    return kTryOutFailed;
}

// The host's main window, which the module's dialog belongs to; it stays
// hidden, so that the dialog is all there is to see.
HWND CreateHostWindow(const std::string& title) {
    return CreateWindowExA(0, "STATIC", title.c_str(), WS_OVERLAPPEDWINDOW, 0, 0, 1024, 768, nullptr, nullptr,
                           GetModuleHandleA(nullptr), nullptr);
}

// Plays the run: the user's dialog, or `action` as the command line asks.
int16_t RunPlugin(const TryOutOptions& options, const DescriptorList& action, const PluginModule& module,
                  MiniHost* host) {
    const HWND window = CreateHostWindow("Tone Mapping try-out: " + options.input);
    host->hostWindow = reinterpret_cast<intptr_t>(window);
    host->dialogAnswer = 0;  // the user answers
    host->registryFile = DefaultRegistryFile();
    if (!options.settingsFile.empty() || options.noDialog) {
        host->playAction = true;
        host->actionToPlay = action;
        host->playInfo = options.noDialog ? plugInDialogDontDisplay : plugInDialogDisplay;
    }
    const int16_t result = RunFilter(*host, module, true);
    for (const HostMessage& message : host->messages)
        std::fprintf(stderr, "%s\n%s\n", message.caption.c_str(), message.text.c_str());
    for (const std::string& warning : host->warnings) std::fprintf(stderr, "%s\n", warning.c_str());
    ReleaseKeptHandles(*host);
    if (window != nullptr) DestroyWindow(window);
    return result;
}

}  // namespace

int main(int argc, char** argv) {
    TryOutOptions options;
    std::string problem;
    if (!ParseTryOutOptions(argc, argv, &options, &problem)) {
        std::fprintf(stderr, "tonemap-dialog: %s\n\n%s", problem.c_str(), kTryOutUsage);
        return kTryOutFailed;
    }
    if (options.help) {
        std::printf("%s", kTryOutUsage);
        return kTryOutWritten;
    }

    MiniHost host;
    if (!ReadImageFile(options.input, &host.document, &problem)) return Fail(problem);
    DescriptorList action;
    if (!options.settingsFile.empty() && !ReadSettingsAction(options.settingsFile, &action, &problem))
        return Fail(problem);
    PluginModule module;
    if (!LoadPluginModule(DefaultModulePath(), &module, &problem)) return Fail(problem);

    const int16_t result = RunPlugin(options, action, module, &host);
    UnloadPluginModule(&module);
    if (result == userCanceledErr) {
        std::fprintf(stderr, "tonemap-dialog: cancelled; %s was not written.\n", options.output.c_str());
        return kTryOutCancelled;
    }
    if (result != noErr) return Fail("the plug-in stopped with error " + std::to_string(result) + ".");
    if (!WriteImageFile(options.output, host.document, &problem)) return Fail(problem);
    return kTryOutWritten;
}
