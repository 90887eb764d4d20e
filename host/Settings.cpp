#include "Settings.h"

#include <cmath>
#include <cstring>

#include "SettingsTable.h"

namespace {

const double kPointExponent = std::log(0.025) / std::log(0.3);

// Integer part, plus one when the fraction cut off exceeds one half.
int32_t RoundHalfDown(double v) {
    int32_t i = static_cast<int32_t>(v);
    if (v - i > 0.5) ++i;
    return i;
}

void WriteDefaults(TMSettings* s, const TMGlobals* globals, int32_t microSmoothing) {
    s->luminosityCode = 10;
    s->strength = (globals != nullptr && globals->depthCode > 0) ? 40 : 70;
    s->colorSaturation = 46;
    s->whitePoint = 5000;
    s->blackPoint = 0;
    s->gammaCode = 50;
    s->microcontrastCode = 0;
    s->lightSmoothingCode = 1;
    s->microSmoothing = microSmoothing;
    s->colorTemperature = 0;
    s->saturationHighlights = 0;
    s->saturationShadows = 0;
    s->highlightsSmoothing = 0;
    s->shadowsSmoothing = 0;
    s->shadowsClipping = 0;
}

}  // namespace

void InitSettings(TMSettings* settings, const TMGlobals* globals) {
    WriteDefaults(settings, globals, 0);
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
    WriteDefaults(settings, globals, 2);
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

double PointExponent() { return kPointExponent; }

int32_t SliderToPoint(int32_t position, double exponent) {
    return RoundHalfDown(200000.0 * std::pow(position / 100.0, exponent));
}

int32_t PointToSlider(int32_t value, double exponent) {
    return RoundHalfDown(100.0 * std::pow(value / 200000.0, exponent));
}

void SettingsToArray(const TMSettings& settings, int32_t array[kSettingCount]) {
    for (const SettingInfo& info : kSettingTable)
        array[info.slot] = RecordToSlot(info, settings.*info.field);
}

void ArrayToSettings(const int32_t array[kSettingCount], TMSettings* settings) {
    for (const SettingInfo& info : kSettingTable)
        settings->*info.field = SlotToRecord(info, array[info.slot]);
}
