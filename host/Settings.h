// The two blocks that carry the module's state between the host's calls:
// TMSettings lives in the host's `parameters` handle, TMGlobals in a handle
// whose value the host keeps in the data slot.
#pragma once

#include <cstdint>

#include "HostContract.h"

constexpr int kSettingCount = 15;

struct TMSettings {
    int32_t luminosityCode;        // Luminosity + 10, Luminosity -10..10
    int32_t strength;              // 0..100
    int32_t colorSaturation;       // 0..100
    int32_t whitePoint;            // 1/20000 percent of pixels clipped to white, 0..200000
    int32_t blackPoint;            // same unit, clipped to black
    int32_t gammaCode;             // output exponent 2^((50 - code)/50)
    int32_t microcontrastCode;     // the level itself, -10..10
    int32_t lightSmoothingCode;    // 2 - smoothing level, -2 "Very Low" .. 2 "Very High"
    int32_t microSmoothing;        // 0..30
    int32_t colorTemperature;      // -10..10
    int32_t saturationHighlights;  // -10..10
    int32_t saturationShadows;     // -10..10
    int32_t highlightsSmoothing;   // 0..100
    int32_t shadowsSmoothing;      // 0..100
    int32_t shadowsClipping;       // 0..100
    uint8_t is360;                 // wrap the image horizontally in the full run
    uint8_t showPreview;           // 1 = tone-mapped preview, 0 = source image
    uint8_t restorePreview;
    uint8_t fullRecompute;
    uint8_t cacheInvalid[3];       // per preview size Small, Medium, Large
    int32_t recomputeLevel;
};

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
    uint8_t displayToneMapped;  // the display buffer holds the tone-mapped picture of the current size
    uint8_t toneMappedSaved;    // work buffer 0 holds that picture while the source image is shown
};

// The fifteen settings at their full width, as the start selector saves them
// before the dialog and restores them on cancel.
struct SettingsSnapshot {
    int32_t value[kSettingCount];
};

void InitSettings(TMSettings* settings, const TMGlobals* globals);
void InitGlobals(TMGlobals* globals);
void SetDefaultSettings(TMSettings* settings, const TMGlobals* globals);

SettingsSnapshot TakeSettingsSnapshot(const TMSettings& settings);
void RestoreSettingsSnapshot(const SettingsSnapshot& snapshot, TMSettings* settings);

// The exponent of the White and Black Point sliders, ln(0.025) / ln(0.3),
// computed once when the module loads.
double PointExponent();
int32_t SliderToPoint(int32_t position, double exponent);
int32_t PointToSlider(int32_t value, double exponent);

// The settings array (15 int32 in settings-file order) from and to the record.
void SettingsToArray(const TMSettings& settings, int32_t array[kSettingCount]);
void ArrayToSettings(const int32_t array[kSettingCount], TMSettings* settings);
