#include "FullRun.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <new>

#include "../engine/OutputOperator.h"
#include "../engine/ToneMapEngine.h"
#include "HostBuffers.h"
#include "HostUtils.h"
#include "PluginState.h"
#include "RowPacking.h"
#include "RunParameters.h"

namespace {

constexpr int32_t kProgressTotal = 100;

// The filter rectangle as the host delivered it, and how the run lays it out.
struct WholeImage {
    int32_t width;
    int32_t height;
    int32_t nb;  // interleaved channels, at most three
    int32_t depthCode;
    int32_t pad;  // wrap columns on each side of a 360-degree panorama
    int32_t packedRowBytes;
    uint8_t* in;
    uint8_t* out;
};

// Reports progress, then asks the host whether the user cancelled.
bool ContinueAfterProgress(FilterRecord* record, int32_t done) {
    if (record->progressProc != nullptr) record->progressProc(done, kProgressTotal);
    return record->abortProc == nullptr || !record->abortProc();
}

// `bytes` is a whole number of floats (4 x WorkBufferValues).
bool AcquireZeroedBuffer(const BufferProcs* procs, int64_t bytes, HostBuffer* buffer) {
    if (!AcquireHostBuffer(procs, bytes, buffer)) return false;
    ZeroValues(static_cast<float*>(buffer->address), bytes / static_cast<int64_t>(sizeof(float)));
    return true;
}

// Asks the host for the whole filter rectangle in one piece, colour planes
// interleaved, at most three of them. Returns advanceState's code.
OSErr RequestWholeImage(FilterRecord* record, int32_t* nb) {
    const VRect rect = GetFilterRectangle(record);
    const int16_t hiPlane = static_cast<int16_t>(std::min(record->planes - 1, 2));
    record->inputRate = 0x10000;
    SetInputRectangle(record, rect);
    SetOutputRectangle(record, rect);
    record->inLoPlane = record->outLoPlane = 0;
    record->inHiPlane = record->outHiPlane = hiPlane;
    *nb = hiPlane + 1;
    return record->advanceState();
}

// Plans the working grid of the image in the globals.
bool PlanWorkingGrid(const TMSettings& settings, TMGlobals* globals, WholeImage* image, PyramidPlan* plan) {
    image->width = globals->width;
    image->height = globals->height;
    image->depthCode = globals->depthCode;
    image->pad = PanoramaPad(settings, image->width);
    if (!PlanFullRunGrid(image->width, image->height, settings, plan)) return false;
    globals->workingWidth = plan->entry[kPlanRowLength];
    globals->workingHeight = plan->entry[kPlanRowCount];
    return true;
}

// Finds the host's buffers and packs the input rows. False when a buffer is
// missing or its rows are shorter than the pixels they must hold.
bool PackInput(const FilterRecord* record, WholeImage* image) {
    if (record->inData == nullptr || record->outData == nullptr) return false;
    image->in = static_cast<uint8_t*>(record->inData);
    image->out = static_cast<uint8_t*>(record->outData);
    image->packedRowBytes = image->width * image->nb * (image->depthCode == 0 ? 4 : 2);
    return PackRows(image->in, record->inRowBytes, image->packedRowBytes, image->height) &&
           record->outRowBytes >= image->packedRowBytes;
}

// The linearisation table of 16-bit codes; a 32-bit run hands the stages an
// unused table of one value. Null when the memory cannot be had.
std::unique_ptr<float[]> MakeLinearisationTable(int32_t depthCode, int32_t curve) {
    const int32_t levels = depthCode == 0 ? 1 : depthCode == 1 ? 65536 : 256;
    std::unique_ptr<float[]> table(new (std::nothrow) float[levels + 1]());
    if (table && depthCode > 0) BuildLinearisationTable(curve, levels, table.get());
    return table;
}

// Gradient attenuation (tm1) and the Poisson solve (tm2) on the log-luminance
// in work buffer 0, with work buffers 1 and 2 held only while they run.
int16_t CompressAndReconstruct(FilterRecord* record, const TMSettings& settings, TMGlobals* globals,
                               const WholeImage& image, const PyramidPlan& plan, int64_t workBytes,
                               ImageStats* stats) {
    const BufferProcs* procs = record->bufferProcs;
    ScopedHostBuffer work1{procs, &globals->work[1]};
    ScopedHostBuffer work2{procs, &globals->work[2]};
    if (!AcquireZeroedBuffer(procs, workBytes, work1.buffer) || !AcquireZeroedBuffer(procs, workBytes, work2.buffer))
        return memFullErr;
    auto* luminance = static_cast<float*>(globals->work[0].address);
    auto* scratch = static_cast<float*>(globals->work[1].address);
    auto* pyramid = static_cast<float*>(globals->work[2].address);
    const int32_t* e = plan.entry;

    int32_t stage = tm1(image.depthCode, e[kPlanRowLength], image.height, LuminositySteps(settings.luminosityCode),
                        settings.microcontrastCode, MicroSmoothingFactor(settings.microSmoothing), &plan, stats,
                        luminance, scratch, pyramid);
    if (stage < 0) return HostCodeOfStage(stage);
    if (!ContinueAfterProgress(record, 30)) return userCanceledErr;

    stage = tm2(e[kPlanRowLength], image.height, e[kPlanRowLength], e[kPlanRowCount], e[kPlanSolverCoarsestWidth],
                e[kPlanSolverCoarsestHeight], e[kPlanSolverSize], e[kPlanSolverLevels], scratch, pyramid, luminance);
    if (stage < 0) return HostCodeOfStage(stage);
    return noErr;
}

// Why the adapted luminance left nothing to normalise: one value everywhere,
// or no finite value at all (extreme input values overflowed on the way).
int32_t FlatLuminanceDetail(const float* luminance, const WholeImage& image) {
    const int64_t count = static_cast<int64_t>(image.width + 2 * image.pad) * image.height;
    for (int64_t i = 0; i < count; ++i)
        if (std::isfinite(luminance[i])) return kRunDetailNoContrast;
    return kRunDetailNoFiniteLuminance;
}

// The output stage straight into the host's output buffer, packed, then
// spread out to the host's row length. A flat adapted luminance is noted in
// the globals for our own host (GetRunDetail); the real host sees only the
// result code.
int16_t WriteOutput(const TMSettings& settings, const WholeImage& image, int32_t outRowBytes,
                    const ImageStats& stats, const float* table, float* luminance, TMGlobals* globals) {
    int32_t outputSettings[kSettingCount];
    FillOutputSettings(settings, outputSettings);
    const double outputGamma = image.depthCode == 0 ? 2.2 : 1.0;
    const int32_t stage = affich_image(image.depthCode, image.width, image.height, image.nb, image.pad,
                                       outputSettings, outputGamma, &stats, reinterpret_cast<const float*>(image.in),
                                       table, reinterpret_cast<const uint16_t*>(image.in), luminance,
                                       reinterpret_cast<float*>(image.out), reinterpret_cast<uint16_t*>(image.out));
    if (stage == kFlatLuminance) globals->runDetail = FlatLuminanceDetail(luminance, image);
    if (stage < 0) return HostCodeOfStage(stage);
    UnpackRows(image.out, outRowBytes, image.packedRowBytes, image.height);
    return noErr;
}

int16_t ToneMapWholeImage(FilterRecord* record, const TMSettings& settings, TMGlobals* globals) {
    // The engine's threads live for the whole run.
    const EngineThreadScope threads;
    WholeImage image{};
    if (OSErr err = RequestWholeImage(record, &image.nb)) return err;
    if (!ContinueAfterProgress(record, 0)) return userCanceledErr;

    PyramidPlan plan{};
    if (!PlanWorkingGrid(settings, globals, &image, &plan) || !PackInput(record, &image)) return filterBadParameters;

    const BufferProcs* procs = record->bufferProcs;
    const int64_t workBytes = 4 * static_cast<int64_t>(WorkBufferValues(plan));
    ScopedHostBuffer work0{procs, &globals->work[0]};
    if (!AcquireZeroedBuffer(procs, workBytes, work0.buffer)) return memFullErr;
    auto* luminance = static_cast<float*>(globals->work[0].address);
    const std::unique_ptr<float[]> table = MakeLinearisationTable(image.depthCode, globals->tableCurve);
    if (!table) return memFullErr;

    ImageStats stats{};
    const int32_t stage = get_image(image.depthCode, image.width, image.height, plan.entry[kPlanRowLength],
                                    plan.entry[kPlanRowCount], image.nb, image.pad, &stats,
                                    reinterpret_cast<const float*>(image.in), table.get(),
                                    reinterpret_cast<const uint16_t*>(image.in), luminance);
    if (stage < 0) return HostCodeOfStage(stage);
    if (!ContinueAfterProgress(record, 5)) return userCanceledErr;

    if (int16_t err = CompressAndReconstruct(record, settings, globals, image, plan, workBytes, &stats)) return err;
    if (!ContinueAfterProgress(record, 70)) return userCanceledErr;

    if (int16_t err = WriteOutput(settings, image, record->outRowBytes, stats, table.get(), luminance, globals))
        return err;
    if (record->abortProc != nullptr && record->abortProc()) return userCanceledErr;
    return noErr;
}

}  // namespace

void RunFullImage() {
    gPlugin.globals->runDetail = kRunDetailNone;
    *gPlugin.result = ToneMapWholeImage(gPlugin.filterRecord, *gPlugin.settings, gPlugin.globals);
}
