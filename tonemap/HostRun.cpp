#include "HostRun.h"

#include "Progress.h"
#include "ToolSettings.h"

namespace {

bool MapResult(int16_t result, const MiniHost& host, const std::string& label, ToolError* error) {
    switch (result) {
        case noErr: return true;
        case userCanceledErr: return Fail(error, kExitCancelled, "Cancelled; " + label + " was not written.");
        case memFullErr:
            return Fail(error, kExitOutOfMemory,
                        "Not enough memory to tone-map " + label + " (" + std::to_string(host.document.width) + " x " +
                            std::to_string(host.document.height) + " pixels).");
        case filterBadParameters:
            if (!host.messages.empty() && host.document.depth == 8)
                return Fail(error, kExitUnsupported,
                            label + " is an 8-bit image. The plug-in says:\n\n" + host.messages.back().caption + "\n" +
                                host.messages.back().text +
                                "\n\nWith tonemap, --depth 16 opens an 8-bit file as a 16-bit image.");
            return Fail(error, kExitPlugin, "The plug-in could not tone-map " + label + ".");
        default:
            return Fail(error, kExitPlugin,
                        "The plug-in stopped with error " + std::to_string(result) + " on " + label + ".");
    }
}

}  // namespace

bool ToneMapDocument(const PluginModule& module, const TMSettings& settings, const std::string& registryFile,
                     const std::string& label, HostDocument* document, std::vector<std::string>* notes,
                     ToolError* error) {
    MiniHost host;
    host.document = std::move(*document);
    host.registryFile = registryFile;
    host.playAction = true;
    host.actionToPlay = SettingsAsAction(settings);
    host.playInfo = plugInDialogDontDisplay;
    host.progressObserver = ProgressUpdate;
    host.abortObserver = CancelRequestedForHost;

    // The 360-degree flag is no scripting key: it goes into the settings that
    // prepare has created, through the module's export for our host, as the
    // dialog's check box would set it. Start leaves it alone.
    int16_t result = CallSelector(host, module, filterSelectorPrepare);
    if (result == noErr && settings.is360 != 0) result = SetModulePanoramaFlag(host, module, true);
    if (result == noErr) result = RunFromStart(host, module);
    notes->insert(notes->end(), host.warnings.begin(), host.warnings.end());
    const bool ok = MapResult(result, host, label, error);
    *document = std::move(host.document);
    ReleaseKeptHandles(host);
    return ok;
}
