// The two blocks that carry the module's state between the host's calls:
// TMSettings (SettingsRecord.h) lives in the host's `parameters` handle,
// TMGlobals in a handle whose value the host keeps in the data slot.
#pragma once

#include <cstdint>

#include "../settings/SettingsRecord.h"
#include "../settings/SettingsTable.h"
#include "HostContract.h"

// A host buffer together with its locked address.
struct HostBuffer {
    BufferID id;
    void* address;
};

struct TMGlobals {
    int32_t depthCode;  // 0 = 32-bit float, 1 = 16-bit, 2 = 8-bit
    int32_t width;
    int32_t height;
    int32_t workingWidth;
    int32_t workingHeight;
    int32_t cacheSlot;
    int32_t tableCurve;  // 0 selects the 2.2 curve of the linearisation table
    uint8_t dialogRequest;
    HostBuffer work[3];
    HostBuffer previewDisplay;
    int32_t previewWidth;
    int32_t previewHeight;
    HostBuffer previewCache;
    HostBuffer histograms;
    int32_t previewMode;
    int32_t runDetail;  // RunDetail of the last full run, for our own host
    uint8_t displayToneMapped;  // the display buffer holds the tone-mapped picture of the current size
    uint8_t toneMappedSaved;    // work buffer 0 holds that picture while the source image is shown
};

// The fifteen settings at their full width, as the start selector saves them
// before the dialog and restores them on cancel.
struct SettingsSnapshot {
    int32_t value[kSettingCount];
};

// The first-run defaults (Strength by the depth code the globals hold), and
// the first-run state of the preview bytes.
void InitSettings(TMSettings* settings, const TMGlobals* globals);
void InitGlobals(TMGlobals* globals);
// The dialog's Default button: its defaults and the 360-degree flag cleared;
// the preview bytes stay.
void SetDefaultSettings(TMSettings* settings, const TMGlobals* globals);

SettingsSnapshot TakeSettingsSnapshot(const TMSettings& settings);
void RestoreSettingsSnapshot(const SettingsSnapshot& snapshot, TMSettings* settings);
