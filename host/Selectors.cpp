#include "Selectors.h"

#include <cstring>

#include "../dialog/Dialogs.h"
#include "FullRun.h"
#include "HostUtils.h"
#include "MessageBox.h"
#include "PluginState.h"
#include "Scripting.h"
#include "Settings.h"

const char kEightBitCaption[] = "Tone Mapping plug-in requires higher bit-depth";
const char kEightBitMessage[] =
    "The Tone Mapping plug-in works with images in 32 or 16 Bits/Channel mode.\n\n"
    "Please either create a 32-bit image via the function Merge to HDR under menu File->Automate,\n"
    "or open an existing HDR image file. \n\n"
    "You can also apply the plug-in to an image in 16 bits/channel mode, by opening a RAW file for instance, \n"
    "or after changing the bit-depth using the Image->Mode menu. ";

namespace {

bool Failed() { return *gPlugin.result != noErr; }

Handle GlobalsHandle() { return reinterpret_cast<Handle>(*gPlugin.data); }

// Creates whichever of the two handles is missing, then locks both and writes
// the first-run defaults.
void CreateAndInitialise() {
    if (gPlugin.filterRecord->parameters == nullptr) CreateSettingsHandle();
    if (*gPlugin.data == 0) CreateGlobalsHandle();
    if (Failed()) return;
    LockSettingsAndGlobals();
    if (Failed()) return;
    InitSettings(gPlugin.settings, gPlugin.globals);
    InitGlobals(gPlugin.globals);
}

// Refuses images the engine cannot work on; returns false when refused.
bool AcceptImage(const FilterRecord* record) {
    const VRect rect = GetFilterRectangle(record);
    const int32_t width = rect.right - rect.left;
    const int32_t height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0 || record->depth < 8 || ChannelCountOfMode(record->imageMode, 0) < 3) {
        *gPlugin.result = filterBadParameters;
        return false;
    }
    if (record->depth == 8) {
        ShowMessageBox(kEightBitCaption, kEightBitMessage);
        *gPlugin.result = filterBadParameters;
        return false;
    }
    gPlugin.globals->depthCode = record->depth == 16 ? 1 : 0;
    gPlugin.globals->width = width;
    gPlugin.globals->height = height;
    gPlugin.globals->tableCurve = 0;
    return true;
}

}  // namespace

void CreateSettingsHandle() {
    FilterRecord* record = gPlugin.filterRecord;
    record->parameters = record->handleProcs->newProc(static_cast<int32_t>(sizeof(TMSettings)));
    if (record->parameters == nullptr) *gPlugin.result = memFullErr;
}

void CreateGlobalsHandle() {
    HandleProcs* procs = gPlugin.filterRecord->handleProcs;
    Handle handle = procs->newProc(static_cast<int32_t>(sizeof(TMGlobals)));
    if (handle == nullptr) {
        *gPlugin.result = memFullErr;
        return;
    }
    Ptr block = procs->lockProc(handle, true);
    if (block == nullptr) {
        procs->disposeProc(handle);
        *gPlugin.result = memFullErr;
        return;
    }
    std::memset(block, 0, sizeof(TMGlobals));
    procs->unlockProc(handle);
    *gPlugin.data = reinterpret_cast<intptr_t>(handle);
}

void LockSettingsAndGlobals() {
    FilterRecord* record = gPlugin.filterRecord;
    if (record->parameters == nullptr || *gPlugin.data == 0) {
        *gPlugin.result = filterBadParameters;
        return;
    }
    HandleProcs* procs = record->handleProcs;
    gPlugin.settings = reinterpret_cast<TMSettings*>(procs->lockProc(record->parameters, true));
    gPlugin.globals = reinterpret_cast<TMGlobals*>(procs->lockProc(GlobalsHandle(), true));
    if (gPlugin.settings == nullptr || gPlugin.globals == nullptr) {
        gPlugin.settings = nullptr;
        gPlugin.globals = nullptr;
        *gPlugin.result = memFullErr;
    }
}

void UnlockSettingsAndGlobals() {
    FilterRecord* record = gPlugin.filterRecord;
    if (*gPlugin.data != 0) record->handleProcs->unlockProc(GlobalsHandle());
    if (record->parameters != nullptr) record->handleProcs->unlockProc(record->parameters);
    gPlugin.settings = nullptr;
    gPlugin.globals = nullptr;
}

void HandleAbout() {
    const AboutRecord* about = gPlugin.aboutRecord;
    const auto* platform = about != nullptr ? static_cast<const PlatformData*>(about->platformData) : nullptr;
    ShowAboutBox(platform != nullptr ? reinterpret_cast<void*>(platform->hwnd) : nullptr);
}

void HandleParameters() {
    CreateAndInitialise();
}

void HandlePrepare() {
    FilterRecord* record = gPlugin.filterRecord;
    if (*gPlugin.data != 0 && record->parameters != nullptr)
        LockSettingsAndGlobals();
    else
        CreateAndInitialise();
    if (Failed()) return;

    AcceptImage(record);
    // A current host budgets with the 64-bit field and reads it back after
    // prepare; a host that predates it leaves it 0 and reads the 32-bit one.
    if (record->maxSpace > kMaxSpaceLimit) record->maxSpace = kMaxSpaceLimit;
    if (record->maxSpace64 > kMaxSpaceLimit) record->maxSpace64 = kMaxSpaceLimit;
}

void HandleStart() {
    LockSettingsAndGlobals();
    if (Failed()) return;

    LoadLastUsedSettings();
    const SettingsSnapshot snapshot = TakeSettingsSnapshot(*gPlugin.settings);

    bool showDialog = false;
    bool proceed = true;
    if (ReadScriptedSettings(&showDialog) == noErr && showDialog) proceed = DoToneMappingDialog();
    gPlugin.globals->dialogRequest = 0;

    if (proceed) {
        RunFullImage();
    } else {
        RestoreSettingsSnapshot(snapshot, gPlugin.settings);
        *gPlugin.result = userCanceledErr;
    }
}

void HandleContinue() {
    const VRect empty{0, 0, 0, 0};
    SetInputRectangle(gPlugin.filterRecord, empty);
    SetOutputRectangle(gPlugin.filterRecord, empty);
    SetMaskRectangle(gPlugin.filterRecord, empty);
}

void HandleFinish() {
    LockSettingsAndGlobals();
    if (Failed()) return;
    WriteScriptedSettings();
    StoreLastUsedSettings();
}
