#include "HostRun.h"

#include "../settings/SettingsTable.h"
#include "Progress.h"
#include "Signals.h"
#include "ToolSettings.h"

namespace {

// Closes the preview the host opened, on every way out.
struct OpenPreview {
    MiniHost& host;
    const PluginModule& module;
    ~OpenPreview() {
        PreviewExchange exchange{};
        CallPreview(host, module, previewCommandClose, &exchange);
    }
};

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
    host.inPlace = true;  // the result replaces the document anyway: no copy of it
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

bool PreviewDocument(const PluginModule& module, const TMSettings& settings, int32_t size, bool showOriginal,
                     const RunNames& names, HostDocument* document, PreviewPicture* picture,
                     std::vector<std::string>* notes, ToolError* error) {
    if (module.previewMain == nullptr)
        return Fail(error, kExitPlugin, "This plug-in module shows no preview to a host without its dialog.");
    MiniHost host;
    host.document = std::move(*document);
    int16_t result = CallSelector(host, module, filterSelectorPrepare);
    if (result == noErr) {
        // The dialog opens on the settings, as after its "Load...".
        int32_t slots[kSettingCount];
        SettingsToArray(settings, slots);
        PreviewExchange exchange{};
        exchange.settings = slots;
        const OpenPreview open{host, module};
        result = CallPreview(host, module, previewCommandOpen, &exchange);
        exchange.settings = nullptr;
        if (result == noErr && showOriginal != (exchange.showingOriginal != 0))
            result = CallPreview(host, module, previewCommandShowOriginal, &exchange);
        exchange.size = size;
        if (result == noErr) result = CallPreview(host, module, previewCommandSetSize, &exchange);
        if (result == noErr) result = CallPreview(host, module, previewCommandCompute, &exchange);
        if (result == noErr && exchange.picture != nullptr && exchange.histogram != nullptr) {
            picture->width = exchange.width;
            picture->height = exchange.height;
            picture->planes.assign(exchange.picture, exchange.picture + size_t{3} * exchange.width * exchange.height);
            picture->histogram.assign(exchange.histogram, exchange.histogram + 256);
        }
    }
    notes->insert(notes->end(), host.warnings.begin(), host.warnings.end());
    const bool ok = MapResult(result, host, kRunDetailNone, names, error);
    *document = std::move(host.document);
    ReleaseKeptHandles(host);
    return ok;
}
