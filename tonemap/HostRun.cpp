#include "HostRun.h"

#include "Progress.h"
#include "Signals.h"
#include "ToolSettings.h"

namespace {

std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

std::string Size(const HostDocument& document) {
    return std::to_string(document.width) + " x " + std::to_string(document.height) + " pixels";
}

bool MapResult(int16_t result, const MiniHost& host, int32_t detail, const RunNames& names, ToolError* error) {
    switch (result) {
        case noErr: return true;
        case userCanceledErr:
            return Fail(error, kExitCancelled, "Cancelled; " + Quoted(names.output) + " was not written.");
        case memFullErr:
            return Fail(error, kExitOutOfMemory,
                        "Not enough memory to tone-map " + Quoted(names.input) + " (" + Size(host.document) + ").");
        case filterBadParameters:
            if (!host.messages.empty() && host.document.depth == 8)
                return Fail(error, kExitUnsupported,
                            Quoted(names.input) + " is an 8-bit image, which the plug-in refuses (\"" +
                                host.messages.back().caption +
                                "\"): it works on 16- and 32-bit images. --depth 16 opens an 8-bit file as a "
                                "16-bit image.");
            if (detail == kRunDetailNoContrast)
                return Fail(error, kExitUnsupported,
                            Quoted(names.input) +
                                " has no contrast to compress: the plug-in found its brightness the same everywhere "
                                "(a constant or black picture, or a lone bright point on black).");
            if (detail == kRunDetailNoFiniteLuminance)
                return Fail(error, kExitUnsupported,
                            Quoted(names.input) +
                                " cannot be tone-mapped: its values lie so far apart that the plug-in's arithmetic "
                                "overflowed. Limit extreme values before tone mapping.");
            return Fail(error, kExitPlugin, "The plug-in could not tone-map " + Quoted(names.input) + ".");
        default:
            return Fail(error, kExitPlugin,
                        "The plug-in stopped with error " + std::to_string(result) + " on " + Quoted(names.input) +
                            ".");
    }
}

}  // namespace

bool ToneMapDocument(const PluginModule& module, const TMSettings& settings, const std::string& registryFile,
                     const RunNames& names, HostDocument* document, std::vector<std::string>* notes,
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
    const bool ok = MapResult(result, host, ModuleRunDetail(host, module), names, error);
    *document = std::move(host.document);
    ReleaseKeptHandles(host);
    return ok;
}
