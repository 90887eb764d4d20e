// The preview's geometry and the buffers the dialog holds while it is open:
// the display picture, the source-preview cache, the histogram block and the
// three work buffers, each a host buffer kept in the globals. All operate on
// the call in progress (gPlugin).
#pragma once

#include <cstdint>

#include "Settings.h"

// Preview sizes: the longer side of Small, Medium and Large.
constexpr int32_t kPreviewSmall = 512;
constexpr int32_t kPreviewMedium = 768;
constexpr int32_t kPreviewLarge = 1024;

// Index of a size among the cache-invalid flags and in TMGlobals::cacheSlot.
enum PreviewSizeIndex : int32_t { kSizeSmall = 0, kSizeMedium = 1, kSizeLarge = 2 };

// Every preview picture has three planes: red, green, blue.
constexpr int32_t kPicturePlanes = 3;
// One plane of the largest preview.
constexpr int32_t kPreviewPlaneBytes = kPreviewLarge * kPreviewLarge;
// Each work buffer holds the luminance and pyramids of a Large preview.
constexpr int32_t kPreviewWorkBufferBytes = 5608812;

// The histogram block: histogram 0 is shown, 1 is the source picture's,
// 2 the saved tone-mapped picture's.
constexpr int32_t kHistogramBins = 256;
enum PreviewHistogram : int32_t { kHistogramShown = 0, kHistogramSource = 1, kHistogramToneMapped = 2 };
constexpr int32_t kHistogramBlockBytes = 3 * kHistogramBins * 4;

// The source-preview cache holds one picture per size: Large, Medium, Small.
constexpr int32_t kPreviewCacheBytes = kPicturePlanes * (1024 * 1024 + 768 * 768 + 512 * 512);

// The longer side of a size index, and where its slot starts in the cache.
int32_t PreviewSideOf(int32_t sizeIndex);
int64_t CacheSlotOffset(int32_t sizeIndex);

// Bytes of the display buffer for an image of `planes` planes: one plane of
// the largest preview per image plane, at least four.
int64_t PreviewDisplayBytes(int32_t planes);

// 512, 768 and 1024 select the cache slot of their size (any other size
// keeps the slot); then FitPreviewDimensions, and full-rate input and mask
// padded with 255. Returns FitPreviewDimensions' result.
int16_t SetPreviewSize(int32_t size);

// Preview width and height for the longer side `size`, keeping the filter
// rectangle's aspect (the ratio in single precision). -30100, and nothing
// changed, when a side of the rectangle is not positive.
int16_t FitPreviewDimensions(int32_t size);

// Each allocates and locks its buffer (releasing one still held first); on
// failure the address stays null and ComputePreview reports it.
bool AllocatePreviewDisplay();
bool AllocatePreviewCache();  // also marks every size's cached picture invalid
bool AllocateHistogramBlock();
bool AllocateWorkBuffers();

// Each unlocks and frees its buffer and clears id and address; nothing when
// none is held.
void ReleasePreviewDisplay();
void ReleasePreviewCache();
void ReleaseHistogramBlock();
void ReleaseWorkBuffer(int32_t index);

// All of the above, as the dialog does when it closes.
void ReleasePreviewBuffers();

// Holds the preview's buffers for the dialog's lifetime: whatever is still
// held when it goes out of scope is released.
struct ScopedPreviewBuffers {
    ScopedPreviewBuffers() = default;
    ~ScopedPreviewBuffers() { ReleasePreviewBuffers(); }
    ScopedPreviewBuffers(const ScopedPreviewBuffers&) = delete;
    ScopedPreviewBuffers& operator=(const ScopedPreviewBuffers&) = delete;
};
