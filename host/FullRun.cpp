#include "FullRun.h"

#include <algorithm>
#include <memory>
#include <new>

#include "../engine/ToneMapEngine.h"
#include "HostBuffers.h"
#include "HostUtils.h"
#include "PluginState.h"
#include "RowPacking.h"
#include "RunParameters.h"

namespace {

constexpr int32_t kProgressTotal = 100;
constexpr int32_t kGradientReductions = 4;
constexpr int32_t kMinimumSide = 100;

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

int16_t ToneMapWholeImage(FilterRecord* record, const TMSettings& settings, TMGlobals* globals) {
    // The whole filter rectangle in one piece, colour planes interleaved.
    const VRect rect = GetFilterRectangle(record);
    const int16_t hiPlane = static_cast<int16_t>(std::min(record->planes - 1, 2));
    record->inputRate = 0x10000;
    SetInputRectangle(record, rect);
    SetOutputRectangle(record, rect);
    record->inLoPlane = record->outLoPlane = 0;
    record->inHiPlane = record->outHiPlane = hiPlane;
    if (OSErr err = record->advanceState()) return err;
    if (!ContinueAfterProgress(record, 0)) return userCanceledErr;

    const int32_t width = globals->width;
    const int32_t height = globals->height;
    if (width < kMinimumSide || height < kMinimumSide) return filterBadParameters;
    const int32_t pad = settings.is360 ? width / 4 : 0;

    PyramidPlan plan{};
    PlanPyramids(width + 2 * pad, height, settings.lightSmoothingCode, kGradientReductions, &plan);
    for (int i = 1; i <= 10; ++i)
        if (plan.entry[i] < 1) return filterBadParameters;
    globals->workingWidth = plan.entry[3];
    globals->workingHeight = plan.entry[4];

    const int32_t steps = LuminositySteps(settings.luminosityCode);
    const int depthCode = globals->depthCode;
    const double outputGamma = depthCode == 0 ? 2.2 : 1.0;
    const int32_t nb = hiPlane + 1;

    if (record->inData == nullptr || record->outData == nullptr) return filterBadParameters;
    auto* in = static_cast<uint8_t*>(record->inData);
    auto* out = static_cast<uint8_t*>(record->outData);
    const int32_t packedRowBytes = width * nb * (depthCode == 0 ? 4 : 2);
    if (!PackRows(in, record->inRowBytes, packedRowBytes, height) ||
        record->outRowBytes < packedRowBytes)
        return filterBadParameters;

    const BufferProcs* procs = record->bufferProcs;
    const int64_t workBytes = 4 * static_cast<int64_t>(WorkBufferValues(plan));
    ScopedHostBuffer work0{procs, &globals->work[0]};
    if (!AcquireZeroedBuffer(procs, workBytes, work0.buffer)) return memFullErr;
    auto* luminance = static_cast<float*>(globals->work[0].address);

    const int32_t levels = depthCode == 0 ? 1 : depthCode == 1 ? 65536 : 256;
    std::unique_ptr<float[]> table(new (std::nothrow) float[levels + 1]());
    if (!table) return memFullErr;
    if (depthCode > 0) BuildLinearisationTable(globals->tableCurve, levels, table.get());

    const auto* inFloat = reinterpret_cast<const float*>(in);
    const auto* in16 = reinterpret_cast<const uint16_t*>(in);
    ImageStats stats{};
    int32_t stage = get_image(depthCode, width, height, plan.entry[3], plan.entry[4], nb, pad, &stats, inFloat,
                              table.get(), in16, luminance);
    if (stage < 0) return HostCodeOfStage(stage);
    if (!ContinueAfterProgress(record, 5)) return userCanceledErr;

    {
        ScopedHostBuffer work1{procs, &globals->work[1]};
        ScopedHostBuffer work2{procs, &globals->work[2]};
        if (!AcquireZeroedBuffer(procs, workBytes, work1.buffer) ||
            !AcquireZeroedBuffer(procs, workBytes, work2.buffer))
            return memFullErr;
        auto* scratch = static_cast<float*>(globals->work[1].address);
        auto* pyramid = static_cast<float*>(globals->work[2].address);

        stage = tm1(depthCode, plan.entry[3], height, steps, settings.microcontrastCode,
                    MicroSmoothingFactor(settings.microSmoothing), &plan, &stats, luminance, scratch, pyramid);
        if (stage < 0) return HostCodeOfStage(stage);
        if (!ContinueAfterProgress(record, 30)) return userCanceledErr;

        stage = tm2(plan.entry[3], height, plan.entry[3], plan.entry[4], plan.entry[7], plan.entry[8],
                    plan.entry[5], plan.entry[11], scratch, pyramid, luminance);
        if (stage < 0) return HostCodeOfStage(stage);
    }
    if (!ContinueAfterProgress(record, 70)) return userCanceledErr;

    int32_t outputSettings[kSettingCount];
    FillOutputSettings(settings, outputSettings);
    stage = affich_image(depthCode, width, height, nb, pad, outputSettings, outputGamma, &stats, inFloat,
                         table.get(), in16, luminance, reinterpret_cast<float*>(out),
                         reinterpret_cast<uint16_t*>(out));
    if (stage < 0) return HostCodeOfStage(stage);
    UnpackRows(out, record->outRowBytes, packedRowBytes, height);

    if (record->abortProc != nullptr && record->abortProc()) return userCanceledErr;
    return noErr;
}

}  // namespace

void RunFullImage() {
    *gPlugin.result = ToneMapWholeImage(gPlugin.filterRecord, *gPlugin.settings, gPlugin.globals);
}
