// The module's entry point: one switch over the selectors. No exception
// crosses into the host; an escaped one becomes a host result code.
#include <new>

#include "HostContract.h"
#include "MessageBox.h"
#include "PluginState.h"
#include "PreviewCommands.h"
#include "Selectors.h"

PluginState gPlugin;

namespace {

void Dispatch(int16_t selector) {
    switch (selector) {
        case filterSelectorAbout: HandleAbout(); break;
        case filterSelectorParameters: HandleParameters(); break;
        case filterSelectorPrepare: HandlePrepare(); break;
        case filterSelectorStart: HandleStart(); break;
        case filterSelectorContinue: HandleContinue(); break;
        case filterSelectorFinish: HandleFinish(); break;
        default: break;
    }
}

// The call pointers of a call with a filter record.
void EnterFilterCall(FilterRecord* record, intptr_t* data, int16_t* result) {
    gPlugin = PluginState{};
    gPlugin.data = data;
    gPlugin.result = result;
    gPlugin.filterRecord = record;
    gPlugin.basicSuite = record->sSPBasic;
    if (record->bigDocumentData != nullptr) record->bigDocumentData->PluginUsing32BitCoordinates = 1;
}

// Runs `work`, turning anything thrown into a host result code.
template <typename Work>
void RunGuarded(int16_t* result, const Work& work) {
    try {
        work();
    } catch (const std::bad_alloc&) {
        *result = memFullErr;
    } catch (...) {
        *result = filterBadParameters;
    }
}

}  // namespace

PLUGIN_EXPORT void PluginMain(int16_t selector, void* pluginParamBlock, intptr_t* data, int16_t* result) {
    if (pluginParamBlock == nullptr || result == nullptr) return;
    if (data == nullptr && selector != filterSelectorAbout) {
        *result = filterBadParameters;  // nowhere to keep the globals
        return;
    }

    if (selector == filterSelectorAbout) {
        gPlugin = PluginState{};
        gPlugin.data = data;
        gPlugin.result = result;
        gPlugin.aboutRecord = static_cast<AboutRecord*>(pluginParamBlock);
        gPlugin.basicSuite = gPlugin.aboutRecord->sSPBasic;
    } else {
        EnterFilterCall(static_cast<FilterRecord*>(pluginParamBlock), data, result);
    }

    RunGuarded(result, [selector] { Dispatch(selector); });

    if (selector != filterSelectorAbout) UnlockSettingsAndGlobals();
}

// The dialog's preview for a host that has no dialog (our own extension).
PLUGIN_EXPORT void PreviewMain(int16_t command, void* pluginParamBlock, intptr_t* data, int16_t* result,
                               PreviewExchange* exchange) {
    if (result == nullptr) return;
    *result = noErr;
    if (pluginParamBlock == nullptr || data == nullptr || exchange == nullptr) {
        *result = filterBadParameters;
        return;
    }
    EnterFilterCall(static_cast<FilterRecord*>(pluginParamBlock), data, result);
    RunGuarded(result, [command, exchange] { HandlePreviewCommand(command, exchange); });
    UnlockSettingsAndGlobals();
}

PLUGIN_EXPORT void SetMessageBoxHandler(MessageBoxHandler handler) { InstallMessageBoxHandler(handler); }

PLUGIN_EXPORT int32_t GetRunDetail(const void* globals, int32_t size) {
    if (globals == nullptr || size != static_cast<int32_t>(sizeof(TMGlobals))) return kRunDetailNotOurs;
    return static_cast<const TMGlobals*>(globals)->runDetail;
}

PLUGIN_EXPORT int16_t SetPanoramaFlag(void* parameters, int32_t size, int32_t is360) {
    if (parameters == nullptr || size != static_cast<int32_t>(sizeof(TMSettings))) return filterBadParameters;
    static_cast<TMSettings*>(parameters)->is360 = is360 != 0 ? 1 : 0;
    return noErr;
}
