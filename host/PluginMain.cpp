// The module's entry point: one switch over the selectors. No exception
// crosses into the host; an escaped one becomes a host result code.
#include <new>

#include "HostContract.h"
#include "MessageBox.h"
#include "PluginState.h"
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

}  // namespace

PLUGIN_EXPORT void PluginMain(int16_t selector, void* pluginParamBlock, intptr_t* data, int16_t* result) {
    if (pluginParamBlock == nullptr || result == nullptr) return;
    if (data == nullptr && selector != filterSelectorAbout) {
        *result = filterBadParameters;  // nowhere to keep the globals
        return;
    }

    gPlugin = PluginState{};
    gPlugin.data = data;
    gPlugin.result = result;
    if (selector == filterSelectorAbout) {
        gPlugin.aboutRecord = static_cast<AboutRecord*>(pluginParamBlock);
        gPlugin.basicSuite = gPlugin.aboutRecord->sSPBasic;
    } else {
        gPlugin.filterRecord = static_cast<FilterRecord*>(pluginParamBlock);
        gPlugin.basicSuite = gPlugin.filterRecord->sSPBasic;
        if (gPlugin.filterRecord->bigDocumentData != nullptr)
            gPlugin.filterRecord->bigDocumentData->PluginUsing32BitCoordinates = 1;
    }

    try {
        Dispatch(selector);
    } catch (const std::bad_alloc&) {
        *result = memFullErr;
    } catch (...) {
        *result = filterBadParameters;
    }

    if (selector != filterSelectorAbout) UnlockSettingsAndGlobals();
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
