#include "PreviewCommands.h"

#include "PluginState.h"
#include "PreviewBuffers.h"
#include "PreviewRun.h"
#include "Selectors.h"

namespace {

// What the dialog does when it opens: the settings it starts from (given
// here as "Load..." gives them), the Small size, then the buffers. A failed
// allocation shows when the preview is computed.
void OpenPreview(const int32_t* settings) {
    if (settings != nullptr) {
        ArrayToSettings(settings, gPlugin.settings);
        gPlugin.settings->recomputeLevel = 2;
    }
    SetPreviewSize(kPreviewSmall);
    AllocatePreviewDisplay();
    AllocatePreviewCache();
    AllocateHistogramBlock();
    AllocateWorkBuffers();
}

void DescribePreview(PreviewExchange* exchange, bool computed) {
    const TMGlobals& globals = *gPlugin.globals;
    exchange->showingOriginal = gPlugin.settings->showPreview ? 0 : 1;
    exchange->width = globals.previewWidth;
    exchange->height = globals.previewHeight;
    exchange->picture = computed ? static_cast<const uint8_t*>(globals.previewDisplay.address) : nullptr;
    exchange->histogram = computed ? static_cast<const int32_t*>(globals.histograms.address) : nullptr;
}

}  // namespace

void HandlePreviewCommand(int16_t command, PreviewExchange* exchange) {
    exchange->picture = nullptr;
    exchange->histogram = nullptr;
    LockSettingsAndGlobals();
    if (*gPlugin.result != noErr) return;
    bool computed = false;
    switch (command) {
        case previewCommandOpen: OpenPreview(exchange->settings); break;
        case previewCommandSetSize: SetPreviewSize(exchange->size); break;
        case previewCommandCompute: computed = ComputePreview() == noErr; break;
        case previewCommandClose: ReleasePreviewBuffers(); break;
        case previewCommandShowOriginal: ToggleShowOriginal(gPlugin.settings); break;
        default: *gPlugin.result = filterBadParameters; return;
    }
    DescribePreview(exchange, computed);
}
