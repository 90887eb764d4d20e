#include "PreviewBuffers.h"

#include <algorithm>
#include <cstring>

#include "HostBuffers.h"
#include "HostUtils.h"
#include "PluginState.h"

namespace {

constexpr Fixed kFullRate = 0x10000;
constexpr int16_t kWhitePadding = 255;

int16_t Failure(int16_t code) {
    if (gPlugin.result != nullptr) *gPlugin.result = code;
    return code;
}

const BufferProcs* Procs() { return gPlugin.filterRecord->bufferProcs; }

bool Acquire(int64_t bytes, HostBuffer* buffer) {
    ReleaseHostBuffer(Procs(), buffer);
    return AcquireHostBuffer(Procs(), bytes, buffer);
}

}  // namespace

int32_t PreviewSideOf(int32_t sizeIndex) {
    return sizeIndex == kSizeLarge ? kPreviewLarge : sizeIndex == kSizeMedium ? kPreviewMedium : kPreviewSmall;
}

int64_t CacheSlotOffset(int32_t sizeIndex) {
    const int64_t large = int64_t{kPicturePlanes} * kPreviewLarge * kPreviewLarge;
    const int64_t medium = int64_t{kPicturePlanes} * kPreviewMedium * kPreviewMedium;
    if (sizeIndex == kSizeLarge) return 0;
    if (sizeIndex == kSizeMedium) return large;
    return large + medium;
}

int64_t PreviewDisplayBytes(int32_t planes) { return int64_t{kPreviewPlaneBytes} * std::max(planes, 4); }

int16_t SetPreviewSize(int32_t size) {
    TMGlobals* globals = gPlugin.globals;
    if (size == kPreviewSmall) globals->cacheSlot = kSizeSmall;
    if (size == kPreviewMedium) globals->cacheSlot = kSizeMedium;
    if (size == kPreviewLarge) globals->cacheSlot = kSizeLarge;
    const int16_t result = FitPreviewDimensions(size);
    FilterRecord* record = gPlugin.filterRecord;
    record->inputRate = record->maskRate = kFullRate;
    record->inputPadding = record->maskPadding = kWhitePadding;
    // The pictures held so far belong to the previous size.
    globals->displayToneMapped = 0;
    globals->toneMappedSaved = 0;
    return result;
}

int16_t FitPreviewDimensions(int32_t size) {
    const VRect rect = GetFilterRectangle(gPlugin.filterRecord);
    const int32_t width = rect.right - rect.left;
    const int32_t height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0) return Failure(filterBadParameters);
    TMGlobals* globals = gPlugin.globals;
    if (width > height) {
        globals->previewWidth = std::min(size, width);
        globals->previewHeight = static_cast<int32_t>(static_cast<float>(globals->previewWidth) *
                                                      (static_cast<float>(height) / static_cast<float>(width)));
    } else {
        globals->previewHeight = std::min(size, height);
        globals->previewWidth = static_cast<int32_t>(static_cast<float>(globals->previewHeight) *
                                                     (static_cast<float>(width) / static_cast<float>(height)));
    }
    return noErr;
}

bool AllocatePreviewDisplay() {
    gPlugin.globals->displayToneMapped = 0;
    return Acquire(PreviewDisplayBytes(gPlugin.filterRecord->planes), &gPlugin.globals->previewDisplay);
}

bool AllocatePreviewCache() {
    uint8_t* invalid = gPlugin.settings->cacheInvalid;
    invalid[kSizeSmall] = invalid[kSizeMedium] = invalid[kSizeLarge] = 1;
    return Acquire(kPreviewCacheBytes, &gPlugin.globals->previewCache);
}

bool AllocateHistogramBlock() {
    HostBuffer* block = &gPlugin.globals->histograms;
    if (!Acquire(kHistogramBlockBytes, block)) return false;
    std::memset(block->address, 0, kHistogramBlockBytes);
    return true;
}

bool AllocateWorkBuffers() {
    gPlugin.globals->toneMappedSaved = 0;
    bool all = true;
    for (HostBuffer& buffer : gPlugin.globals->work) all = Acquire(kPreviewWorkBufferBytes, &buffer) && all;
    return all;
}

void ReleasePreviewDisplay() {
    gPlugin.globals->displayToneMapped = 0;
    ReleaseHostBuffer(Procs(), &gPlugin.globals->previewDisplay);
}

void ReleasePreviewCache() { ReleaseHostBuffer(Procs(), &gPlugin.globals->previewCache); }

void ReleaseHistogramBlock() { ReleaseHostBuffer(Procs(), &gPlugin.globals->histograms); }

void ReleaseWorkBuffer(int32_t index) {
    if (index < 0 || index > 2) return;
    if (index == 0) gPlugin.globals->toneMappedSaved = 0;
    ReleaseHostBuffer(Procs(), &gPlugin.globals->work[index]);
}

void ReleasePreviewBuffers() {
    if (gPlugin.filterRecord == nullptr || gPlugin.globals == nullptr) return;
    ReleasePreviewDisplay();
    ReleasePreviewCache();
    ReleaseHistogramBlock();
    for (int32_t i = 0; i < 3; ++i) ReleaseWorkBuffer(i);
}
