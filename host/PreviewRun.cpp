#include "PreviewRun.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "../engine/ToneMapEngine.h"
#include "HostUtils.h"
#include "PluginState.h"
#include "PreviewBuffers.h"
#include "RowPacking.h"
#include "RunParameters.h"
#include "SourcePicture.h"

namespace {

constexpr int32_t kGradientReductions = 4;
constexpr size_t kHistogramBytes = kHistogramBins * sizeof(int32_t);

// What one preview call works on, once the source is at hand.
struct PreviewCall {
    TMSettings* settings;
    TMGlobals* globals;
    SourceImage source;
    int32_t width;   // preview width
    int32_t height;  // preview height
    PyramidPlan plan;

    uint8_t* Display() const { return static_cast<uint8_t*>(globals->previewDisplay.address); }
    int32_t* Histogram(int32_t which) const {
        return static_cast<int32_t*>(globals->histograms.address) + which * kHistogramBins;
    }
    float* Work(int32_t index) const { return static_cast<float*>(globals->work[index].address); }
    size_t PictureBytes() const {
        return static_cast<size_t>(kPicturePlanes) * static_cast<size_t>(width) * static_cast<size_t>(height);
    }
};

// A plan the stages can work on, whose pyramids fit the preview's buffers.
bool PlanFitsPreview(const PyramidPlan& plan) {
    const int32_t values = WorkBufferValues(plan);
    return PlanIsUsable(plan) && values > 0 && int64_t{values} * 4 <= kPreviewWorkBufferBytes;
}

// "Show Original": the cached source picture of the current size, built
// once per size, with the histogram of its bytes.
int16_t ShowSourceImage(const PreviewCall& call) {
    TMGlobals* globals = call.globals;
    TMSettings* settings = call.settings;
    if (globals->previewCache.address == nullptr) return memFullErr;
    // The tone-mapped picture waits in work buffer 0 for the way back. Only
    // a tone-mapped picture is kept: a second source picture in a row (the
    // Gamma slider stays live meanwhile) would otherwise replace it, and what
    // work buffer 0 then holds no longer matches the settings.
    if (globals->displayToneMapped) {
        std::memcpy(call.Work(0), call.Display(), call.PictureBytes());
        std::memcpy(call.Histogram(kHistogramToneMapped), call.Histogram(kHistogramShown), kHistogramBytes);
        globals->toneMappedSaved = 1;
    } else {
        globals->toneMappedSaved = 0;
    }
    globals->displayToneMapped = 0;
    settings->recomputeLevel = 2;

    const int32_t size = globals->cacheSlot;
    uint8_t* cached = static_cast<uint8_t*>(globals->previewCache.address) + CacheSlotOffset(size);
    if (!settings->cacheInvalid[size]) {
        std::memcpy(call.Display(), cached, call.PictureBytes());
        // Histogram 1 is the picture built last, perhaps at another size:
        // the histogram is counted from the cached bytes instead.
        CountPictureHistogram(call.Display(), call.width, call.height, call.Histogram(kHistogramShown));
        return noErr;
    }
    BuildSourcePicture(call.source, call.width, call.height, call.Display(), call.Histogram(kHistogramShown));
    settings->cacheInvalid[size] = 0;
    std::memcpy(cached, call.Display(), call.PictureBytes());
    std::memcpy(call.Histogram(kHistogramSource), call.Histogram(kHistogramShown), kHistogramBytes);
    return noErr;
}

// get_preview, tm1 and tm2: the preview's adapted luminance into work
// buffer 0, its statistics into `stats`.
int16_t AdaptLuminance(const PreviewCall& call, int32_t depthCode, const float* table, ImageStats* stats) {
    const TMSettings& s = *call.settings;
    const int32_t* plan = call.plan.entry;
    // The stages touch only the values of this plan: a Small preview clears
    // a sixth of each buffer.
    const int64_t workValues = WorkBufferValues(call.plan);
    ZeroValues(call.Work(0), workValues);
    int32_t stage = get_preview(call.globals->previewMode, depthCode, 0, 0, call.source.width, call.source.height,
                                call.width, call.height, plan[kPlanRowLength], plan[kPlanRowCount], call.source.nb,
                                stats, call.source.floats, table, call.source.codes, call.Work(0));
    if (stage < 0) return HostCodeOfStage(stage);
    ZeroValues(call.Work(1), workValues);
    ZeroValues(call.Work(2), workValues);
    stage = tm1(depthCode, call.width, call.height, LuminositySteps(s.luminosityCode), s.microcontrastCode,
                MicroSmoothingFactor(s.microSmoothing), &call.plan, stats, call.Work(0), call.Work(1), call.Work(2));
    if (stage < 0) return HostCodeOfStage(stage);
    stage = tm2(call.width, call.height, plan[kPlanRowLength], plan[kPlanRowCount], plan[kPlanSolverCoarsestWidth],
                plan[kPlanSolverCoarsestHeight], plan[kPlanSolverSize], plan[kPlanSolverLevels], call.Work(1),
                call.Work(2), call.Work(0));
    return HostCodeOfStage(stage);
}

// The tone-mapped preview, or the picture saved when "Show Original" was
// chosen, when the dialog switches back.
int16_t ShowToneMappedImage(const PreviewCall& call) {
    TMGlobals* globals = call.globals;
    TMSettings* settings = call.settings;
    if (settings->restorePreview) {
        settings->restorePreview = 0;
        settings->fullRecompute = 1;
        if (globals->toneMappedSaved) {
            std::memcpy(call.Display(), call.Work(0), call.PictureBytes());
            std::memcpy(call.Histogram(kHistogramShown), call.Histogram(kHistogramToneMapped), kHistogramBytes);
            globals->displayToneMapped = 1;
            return noErr;
        }
    }

    // The engine's threads live for the whole refresh instead of being
    // started for every split of every stage.
    const EngineThreadScope threads;
    const int32_t depthCode = call.source.sixteenBit ? 1 : 0;
    const int32_t levels = depthCode == 0 ? 1 : 65536;
    std::unique_ptr<float[]> table(new (std::nothrow) float[levels + 1]());
    if (!table) return memFullErr;
    if (depthCode > 0) BuildLinearisationTable(globals->tableCurve, levels, table.get());
    ImageStats stats{};

    if (settings->fullRecompute) {
        settings->recomputeLevel = 2;
        settings->fullRecompute = 0;
    }
    // From here on work buffer 0 and the display change.
    globals->toneMappedSaved = 0;
    globals->displayToneMapped = 0;
    if (settings->recomputeLevel > 0) {
        if (int16_t code = AdaptLuminance(call, depthCode, table.get(), &stats)) return code;
    }

    int32_t outputSettings[kSettingCount];
    FillOutputSettings(*settings, outputSettings);
    const int32_t stage = affich_preview(globals->previewMode, depthCode, 0, 0, call.source.width,
                                         call.source.height, call.width, call.height, call.source.nb,
                                         outputSettings, kPreviewOutputGamma, &stats, call.source.floats,
                                         table.get(), call.source.codes, call.Work(0),
                                         call.Histogram(kHistogramShown), call.Display());
    if (stage < 0) return HostCodeOfStage(stage);
    globals->displayToneMapped = 1;
    return noErr;
}

}  // namespace

int16_t ComputePreviewOf(FilterRecord* record, TMSettings* settings, TMGlobals* globals) {
    // Only the depths prepare accepts; the samples are read by their size.
    if (record->depth != 16 && record->depth != 32) return filterBadParameters;

    // The whole source image at once, colour planes interleaved; no output.
    const VRect rect = GetFilterRectangle(record);
    const int16_t hiPlane = static_cast<int16_t>(std::min(record->planes - 1, 2));
    record->inputRate = 0x10000;
    SetInputRectangle(record, rect);
    SetOutputRectangle(record, VRect{0, 0, 0, 0});
    record->inLoPlane = record->outLoPlane = 0;
    record->inHiPlane = record->outHiPlane = hiPlane;
    if (OSErr err = record->advanceState()) return err;

    PreviewCall call{settings, globals, SourceImage{}, globals->previewWidth, globals->previewHeight, PyramidPlan{}};
    PlanPyramids(call.width, call.height, settings->lightSmoothingCode, kGradientReductions, &call.plan);
    call.plan.entry[kPlanWidth] = call.width;
    call.plan.entry[kPlanHeight] = call.height;
    // The buffers hold a picture up to the side of the current size's slot.
    const int32_t size = globals->cacheSlot;
    if (!PlanFitsPreview(call.plan) || size < kSizeSmall || size > kSizeLarge || call.width > PreviewSideOf(size) ||
        call.height > PreviewSideOf(size))
        return filterBadParameters;

    if (globals->work[0].address == nullptr || globals->work[1].address == nullptr ||
        globals->work[2].address == nullptr || globals->previewDisplay.address == nullptr ||
        globals->histograms.address == nullptr)
        return memFullErr;

    const int32_t width = rect.right - rect.left;
    const int32_t height = rect.bottom - rect.top;
    const bool sixteenBit = record->depth == 16;
    const int32_t nb = hiPlane + 1;
    if (record->inData == nullptr) return filterBadParameters;
    auto* in = static_cast<uint8_t*>(record->inData);
    const ScopedPackedRows rows(in, record->inRowBytes, width * nb * (sixteenBit ? 2 : 4), height);
    if (!rows.packed) return filterBadParameters;
    call.source = SourceImage{width,
                              height,
                              nb,
                              sixteenBit,
                              reinterpret_cast<const float*>(in),
                              reinterpret_cast<const uint16_t*>(in)};

    return settings->showPreview ? ShowToneMappedImage(call) : ShowSourceImage(call);
}

int16_t ComputePreview() {
    const int16_t result = ComputePreviewOf(gPlugin.filterRecord, gPlugin.settings, gPlugin.globals);
    if (result != noErr && gPlugin.result != nullptr) *gPlugin.result = result;
    return result;
}

void ToggleShowOriginal(TMSettings* settings) {
    settings->showPreview = settings->showPreview ? 0 : 1;
    if (settings->showPreview) settings->restorePreview = 1;
}
