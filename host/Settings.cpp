#include "Settings.h"

namespace {

int32_t DepthCodeOf(const TMGlobals* globals) { return globals != nullptr ? globals->depthCode : 0; }

}  // namespace

void InitSettings(TMSettings* settings, const TMGlobals* globals) {
    WriteDefaultSettings(DefaultSet::FirstRun, DepthCodeOf(globals), settings);
    settings->is360 = 0;
    settings->showPreview = 1;
    settings->restorePreview = 0;
    settings->fullRecompute = 0;
    settings->cacheInvalid[0] = settings->cacheInvalid[1] = settings->cacheInvalid[2] = 1;
    settings->recomputeLevel = 2;
}

void InitGlobals(TMGlobals* globals) {
    for (HostBuffer& b : globals->work) b = HostBuffer{};
    globals->previewDisplay = HostBuffer{};
    globals->previewCache = HostBuffer{};
    globals->histograms = HostBuffer{};
    globals->previewWidth = 512;
    globals->previewHeight = 342;
    globals->dialogRequest = 1;
    globals->previewMode = 0;
    globals->displayToneMapped = 0;
    globals->toneMappedSaved = 0;
}

void SetDefaultSettings(TMSettings* settings, const TMGlobals* globals) {
    WriteDefaultSettings(DefaultSet::DefaultButton, DepthCodeOf(globals), settings);
    settings->is360 = 0;
}

SettingsSnapshot TakeSettingsSnapshot(const TMSettings& settings) {
    SettingsSnapshot snapshot;
    for (const SettingInfo& info : kSettingTable) snapshot.value[info.slot] = settings.*info.field;
    return snapshot;
}

void RestoreSettingsSnapshot(const SettingsSnapshot& snapshot, TMSettings* settings) {
    for (const SettingInfo& info : kSettingTable) settings->*info.field = snapshot.value[info.slot];
}
