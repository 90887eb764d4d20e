#include "PreviewCommands.h"

#include "PluginState.h"
#include "PreviewBuffers.h"
#include "PreviewRun.h"
#include "Selectors.h"

namespace {

// What the dialog does when it opens: the Small size, then the buffers.
// A failed allocation shows when the preview is computed.
void OpenPreview() {
    SetPreviewSize(kPreviewSmall);
    AllocatePreviewDisplay();
    AllocatePreviewCache();
    AllocateHistogramBlock();
    AllocateWorkBuffers();
}

void DescribePreview(PreviewExchange* exchange, bool computed) {
    const TMGlobals& globals = *gPlugin.globals;
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
        case previewCommandOpen: OpenPreview(); break;
        case previewCommandSetSize: SetPreviewSize(exchange->size); break;
        case previewCommandCompute: computed = ComputePreview() == noErr; break;
        case previewCommandClose: ReleasePreviewBuffers(); break;
        default: *gPlugin.result = filterBadParameters; return;
    }
    DescribePreview(exchange, computed);
}
