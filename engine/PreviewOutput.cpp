// The preview's output operator: the full run's tone mapping applied to the
// source sampled at the preview's size, encoded as an 8-bit planar picture
// with a luminance histogram for the dialog.
#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>

#include "OutputOperator.h"
#include "ParallelRows.h"

namespace {

constexpr int32_t kInvalidArguments = -1;
constexpr int32_t kSmallestSide = 10;
constexpr int32_t kHistogramBins = 256;

// Pixels per thread below which splitting the pass is not worth a thread.
constexpr int64_t kPixelsPerThread = 1 << 14;
// Pixels handed to a thread at a time.
constexpr int64_t kPixelsPerBlock = 1 << 12;

// Where one call's pixels live and how the preview samples them.
struct PreviewPass {
    const OutputConstants& k;
    int32_t srcWidth;
    int32_t srcHeight;
    int32_t width;
    int32_t height;
    int32_t nb;
    float rowRatio;     // source height / preview height
    float columnRatio;  // source width / preview width
    bool floatPixels;
    const float* inFloat;
    const float* table;
    const uint16_t* in16;
    const float* lum;
    uint8_t* picture;
};

// trunc(c' x 255), the level the histogram counts. Limited so that the
// weighted sum stays far inside int32: a level of 3450 alone already puts a
// pixel into the top bin.
int32_t HistogramLevel(float cPrime) {
    const float v = cPrime * kPreviewOutputScale;
    if (v > 65535.0f) return 65535;
    if (v < -65535.0f) return -65535;
    if (!(v == v)) return 0;  // NaN
    return static_cast<int32_t>(v);
}

// The picture's byte of a channel: powf(c', exponent) x 255, limited to
// 0..255 and truncated. Powf(x, 1) is x for every float but a NaN, which
// it returns quiet and positive (checked over all 2^32 of them, see
// PowfWithExponentOne), and a NaN's byte is 0 either way: the preview's
// usual exponent 1 skips the power.
uint8_t PictureLevel(float cPrime, float exponent) {
    if (exponent != 1.0f) return static_cast<uint8_t>(EncodeChannel(cPrime, exponent, kPreviewOutputScale));
    const float v = cPrime * kPreviewOutputScale;
    if (v > kPreviewOutputScale) return 255;
    if (!(v >= 0)) return 0;  // NaN too
    return static_cast<uint8_t>(v);
}

int32_t HistogramBin(int32_t red, int32_t green, int32_t blue) {
    const int32_t weighted = 54 * red + 183 * green + 19 * blue;
    if (weighted <= 0) return 0;
    const int32_t bin = weighted >> 8;
    return bin < kHistogramBins ? bin : kHistogramBins - 1;
}

// Preview row py: each pixel reads its own source pixel and luminance value
// and writes only its own three bytes, so rows may run in any order; the
// histogram counts go into the caller's partial histogram.
void ToneMapPreviewRow(const PreviewPass& pass, int32_t py, int32_t* histogram) {
    const OutputConstants& k = pass.k;
    const int32_t green = (pass.nb - 1) / 2;
    const int32_t blue = pass.nb - 1;
    const size_t plane = static_cast<size_t>(pass.width) * static_cast<size_t>(pass.height);
    const size_t rowStart = static_cast<size_t>(py) * static_cast<size_t>(pass.width);
    const size_t sourceRow = static_cast<size_t>(PreviewSampleIndex(py, pass.rowRatio, pass.srcHeight)) *
                             static_cast<size_t>(pass.srcWidth);
    const float* lumRow = pass.lum + rowStart;
    uint8_t* redRow = pass.picture + rowStart;
    uint8_t* greenRow = redRow + plane;
    uint8_t* blueRow = greenRow + plane;
    for (int32_t px = 0; px < pass.width; ++px) {
        const size_t column = static_cast<size_t>(PreviewSampleIndex(px, pass.columnRatio, pass.srcWidth));
        const size_t p = (sourceRow + column) * static_cast<size_t>(pass.nb);
        float rgb[3];
        if (pass.floatPixels) {
            rgb[0] = pass.inFloat[p];
            rgb[1] = pass.inFloat[p + green];
            rgb[2] = pass.inFloat[p + blue];
        } else {
            rgb[0] = pass.table[pass.in16[p]];
            rgb[1] = pass.table[pass.in16[p + green]];
            rgb[2] = pass.table[pass.in16[p + blue]];
        }
        // A black pixel is 0 in every plane and counts in bin 0.
        float c[3];
        uint8_t v[3] = {0, 0, 0};
        int32_t level[3] = {0, 0, 0};
        if (ToneMapPixel(k, rgb[0], rgb[1], rgb[2], lumRow[px], c)) {
            for (int ch = 0; ch < 3; ++ch) {
                v[ch] = PictureLevel(c[ch], k.outputGamma);
                level[ch] = HistogramLevel(c[ch]);
            }
        }
        redRow[px] = v[0];
        greenRow[px] = v[1];
        blueRow[px] = v[2];
        ++histogram[HistogramBin(level[0], level[1], level[2])];
    }
}

// Every thread counts into a histogram of its own; the integer counts are
// added afterwards, so the histogram does not depend on which thread took
// which rows.
void ToneMapPreviewRows(const PreviewPass& pass, int32_t* histogram) {
    int32_t partial[kMaxEngineChunks][kHistogramBins] = {};
    const int64_t pixels = static_cast<int64_t>(pass.width) * pass.height;
    const int32_t chunks = ChunkCount(pixels, kPixelsPerThread);
    // Black pixels cost next to nothing: rows go out in small blocks so that
    // a dark part of the picture does not leave a thread idle.
    const int64_t rowBlock = std::max<int64_t>(1, kPixelsPerBlock / pass.width);
    std::atomic<int64_t> next{0};
    ForEachChunk(chunks, chunks, [&](int32_t chunk, int64_t, int64_t) {
        for (int64_t begin = next.fetch_add(rowBlock); begin < pass.height; begin = next.fetch_add(rowBlock)) {
            const int64_t end = std::min<int64_t>(pass.height, begin + rowBlock);
            for (int64_t py = begin; py < end; ++py) ToneMapPreviewRow(pass, static_cast<int32_t>(py), partial[chunk]);
        }
    });
    for (int32_t b = 0; b < kHistogramBins; ++b) {
        int32_t count = 0;
        for (int32_t c = 0; c < chunks; ++c) count += partial[c][b];
        histogram[b] = count;
    }
}

}  // namespace

int32_t PreviewSampleIndex(int32_t index, float ratio, int32_t size) {
    const float v = static_cast<float>(index) * ratio;
    if (!(v < static_cast<float>(size))) return size - 1;  // NaN too
    return v > 0 ? static_cast<int32_t>(v) : 0;
}

int32_t affich_preview(int32_t /*mode*/, int32_t depthCode, int32_t /*x0*/, int32_t /*y0*/, int32_t srcWidth,
                       int32_t srcHeight, int32_t previewWidth, int32_t previewHeight, int32_t nb,
                       const int32_t* settings, double outputGamma, const ImageStats* stats, const float* inFloat,
                       const float* table, const uint16_t* in16, float* lum, int32_t* histogram,
                       uint8_t* picture) {
    // Only mode 0 exists: the whole source is sampled, the offsets are unused.
    if (srcWidth < kSmallestSide || srcHeight < kSmallestSide || previewWidth < kSmallestSide ||
        previewHeight < kSmallestSide) {
        return kInvalidArguments;
    }
    const bool floatPixels = depthCode == 0;
    if ((depthCode != 0 && depthCode != 1) || nb < 1 || nb > 3 || !settings || !stats || !lum || !histogram ||
        !picture || (floatPixels && !inFloat) || (!floatPixels && (!table || !in16))) {
        return kInvalidArguments;
    }

    OutputConstants k;
    SetUpOutputConstants(depthCode, settings, outputGamma, *stats, PreviewStrengthWeight(depthCode, settings[1]),
                         &k);
    k.outputScale = kPreviewOutputScale;

    const int64_t values = static_cast<int64_t>(previewWidth) * previewHeight;
    const int32_t whiteBin = NormalisePreviewLuminanceRange(lum, values, k.whitePercent, k.blackPercent);
    if (whiteBin < 0) return whiteBin;

    const PreviewPass pass{k,
                           srcWidth,
                           srcHeight,
                           previewWidth,
                           previewHeight,
                           nb,
                           static_cast<float>(srcHeight) / static_cast<float>(previewHeight),
                           static_cast<float>(srcWidth) / static_cast<float>(previewWidth),
                           floatPixels,
                           inFloat,
                           table,
                           in16,
                           lum,
                           picture};
    ToneMapPreviewRows(pass, histogram);
    return whiteBin;
}
