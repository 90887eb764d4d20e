// Log-luminance extraction (full run and preview) and the first image
// statistics: mean, maximum over mean and minimum positive luminance.
#include <algorithm>
#include <cmath>
#include <mutex>

#include "EngineMaths.h"
#include "ParallelRows.h"
#include "ToneMapEngine.h"

namespace {

// Scaled luminance of one 32-bit pixel; 32768 is the working scale.
constexpr double kFloatScale = 32768.0;

// Values below this are sentinels.
constexpr float kSentinelBound = -99999999;

// Values per thread below which splitting a pass is not worth a thread.
constexpr int64_t kValuesPerThread = 1 << 14;

// Where red, green and blue sit among nb interleaved channels.
struct ChannelOffsets {
    int32_t red, green, blue;
};

ChannelOffsets OffsetsFor(int32_t nb) { return {0, (nb - 1) / 2, nb - 1}; }

// BT.709 luminance in single precision.
float Luminance(float r, float g, float b) { return 0.2126f * r + 0.7152f * g + 0.0722f * b; }

// How a negative 32-bit sample is treated: in the image area it is shifted
// by 0.05 (the per-channel shifts of ImageStats 6..8 are always 0 and are
// not read), in a wrap border it is replaced by 0.05, in the preview it is
// kept.
enum class NegativeSamples { kShift, kReplace, kKeep };

float CleanSample(float v, NegativeSamples rule) {
    if (v < 0 && rule == NegativeSamples::kShift) return static_cast<float>(v + 0.05);
    if (v < 0 && rule == NegativeSamples::kReplace) return 0.05f;
    return v;
}

// Working-scale luminance of pixel p (its first sample's index). A result
// that is not finite counts as no positive luminance: an infinite sample
// would otherwise turn every later value into NaN.
// Always inlined: it is the body of every pixel loop here.
[[gnu::always_inline]] inline double ScaledLuminance(int32_t depthCode, const float* srcFloat, const float* table,
                                                     const uint16_t* src16, int64_t p, ChannelOffsets c,
                                                     NegativeSamples rule) {
    double y;
    if (depthCode == 0) {
        const float r = CleanSample(srcFloat[p + c.red], rule);
        const float g = CleanSample(srcFloat[p + c.green], rule);
        const float b = CleanSample(srcFloat[p + c.blue], rule);
        y = static_cast<double>(Luminance(r, g, b)) * kFloatScale;
    } else {
        y = Luminance(table[src16[p + c.red]], table[src16[p + c.green]], table[src16[p + c.blue]]);
    }
    return std::isfinite(y) ? y : 0.0;
}

float LogOrSentinel(double scaled) {
    return scaled > 0 ? static_cast<float>(Log(scaled)) : kLogSentinel;
}

// Running statistics of the positive scaled luminance. The full run keeps
// the extremes in single precision, the preview in double.
template <typename Extreme>
struct LuminanceTally {
    double sum = 0.0;
    int64_t count = 0;
    Extreme maximum;
    Extreme minimum;

    void Add(double scaled) {
        sum += scaled;
        ++count;
        if (scaled > maximum) maximum = static_cast<Extreme>(scaled);
        if (scaled < minimum) minimum = static_cast<Extreme>(scaled);
    }
};

// Entries 0..2 of the statistics. The ratio max / mean is formed in the
// tally's precision.
template <typename Extreme>
void FinishStatistics(const LuminanceTally<Extreme>& tally, ImageStats* stats) {
    float* e = stats->entry;
    if (tally.count > 0) {
        e[kStatMean] = static_cast<float>(tally.sum / static_cast<float>(tally.count));
    }
    if (e[kStatMean] > 0) {
        e[kStatMaxOverMean] = static_cast<float>(tally.maximum / static_cast<Extreme>(e[kStatMean]));
    }
    e[kStatMinPositive] = static_cast<float>(tally.minimum);
}

// With more than one pixel lacking positive luminance, every sentinel
// becomes the logarithm of the minimum positive luminance; a lone sentinel
// stays and the gradient stage neutralises it.
void ReplaceSentinels(int64_t pixelCount, int64_t positiveCount, int64_t values, const ImageStats& stats,
                      float* work0) {
    if (positiveCount >= pixelCount - 1) return;
    const float floor = static_cast<float>(Log(static_cast<double>(stats.entry[kStatMinPositive])));
    ParallelFor(values, kValuesPerThread, [&](int64_t begin, int64_t end) {
        for (int64_t i = begin; i < end; ++i) {
            if (work0[i] < kSentinelBound) work0[i] = floor;
        }
    });
}

// The full run's source pixels and the layout of its luminance rows.
struct FullRunSource {
    int32_t depthCode;
    int32_t width;
    int32_t pad;
    int32_t nb;
    int64_t rowLength;
    ChannelOffsets c;
    const float* srcFloat;
    const float* table;
    const uint16_t* src16;

    // With the depth code fixed at compile time each pixel loop has one body.
    template <int32_t kDepthCode>
    double Scaled(int64_t rowStart, int32_t x, NegativeSamples rule) const {
        return ScaledLuminance(kDepthCode, srcFloat, table, src16, (rowStart + x) * nb, c, rule);
    }
};

// Values whose logarithms are taken an array at a time.
constexpr int32_t kLogRun = 256;

// Log-luminance (or the sentinel) of `count` scaled luminances into `out`.
void StoreLogarithms(double* scaled, int32_t count, float* out) {
    bool positive[kLogRun];
    for (int32_t i = 0; i < count; ++i) {
        positive[i] = scaled[i] > 0;
        // A stand-in for the sentinels keeps the array on its fast path.
        if (!positive[i]) scaled[i] = 1.0;
    }
    LogArray(scaled, scaled, count);
    for (int32_t i = 0; i < count; ++i) out[i] = positive[i] ? static_cast<float>(scaled[i]) : kLogSentinel;
}

// Log-luminance of the source pixels x = first, first + 1, ... (count of
// them) of one row. With a tally, the positive ones are added to it in order.
template <int32_t kDepthCode>
void LogLuminanceRun(const FullRunSource& s, int64_t rowStart, int32_t first, int32_t count, NegativeSamples rule,
                     float* out, LuminanceTally<float>* tally) {
    double scaled[kLogRun];
    for (int32_t done = 0; done < count; done += kLogRun) {
        const int32_t n = std::min(kLogRun, count - done);
        for (int32_t i = 0; i < n; ++i) scaled[i] = s.Scaled<kDepthCode>(rowStart, first + done + i, rule);
        if (tally != nullptr) {
            // A local copy stays in registers.
            LuminanceTally<float> t = *tally;
            for (int32_t i = 0; i < n; ++i) {
                if (scaled[i] > 0) t.Add(scaled[i]);
            }
            *tally = t;
        }
        StoreLogarithms(scaled, n, out + done);
    }
}

// Row y of log-luminance: the left wrap border, the image, the right wrap
// border. With a tally, the row's positive image pixels are added to it.
template <int32_t kDepthCode>
void LogLuminanceRowOf(const FullRunSource& s, int32_t y, float* work0, LuminanceTally<float>* tally) {
    float* out = work0 + static_cast<int64_t>(y) * s.rowLength;
    const int64_t rowStart = static_cast<int64_t>(y) * s.width;
    // Left border: the last pad pixels of the row; right border: the first.
    LogLuminanceRun<kDepthCode>(s, rowStart, s.width - s.pad, s.pad, NegativeSamples::kReplace, out, nullptr);
    LogLuminanceRun<kDepthCode>(s, rowStart, 0, s.width, NegativeSamples::kShift, out + s.pad, tally);
    LogLuminanceRun<kDepthCode>(s, rowStart, 0, s.pad, NegativeSamples::kReplace, out + s.pad + s.width, nullptr);
}

void LogLuminanceRow(const FullRunSource& s, int32_t y, float* work0, LuminanceTally<float>* tally) {
    if (s.depthCode == 0) {
        LogLuminanceRowOf<0>(s, y, work0, tally);
    } else {
        LogLuminanceRowOf<1>(s, y, work0, tally);
    }
}

// The statistics of row y alone, without logarithms.
template <int32_t kDepthCode>
void TallyRowOf(const FullRunSource& s, int32_t y, LuminanceTally<float>* tally) {
    const int64_t rowStart = static_cast<int64_t>(y) * s.width;
    LuminanceTally<float> t = *tally;
    for (int32_t x = 0; x < s.width; ++x) {
        const double scaled = s.Scaled<kDepthCode>(rowStart, x, NegativeSamples::kShift);
        if (scaled > 0) t.Add(scaled);
    }
    *tally = t;
}

void TallyRow(const FullRunSource& s, int32_t y, LuminanceTally<float>* tally) {
    if (s.depthCode == 0) {
        TallyRowOf<0>(s, y, tally);
    } else {
        TallyRowOf<1>(s, y, tally);
    }
}

// Rows not yet taken: [top, bottom).
struct RowsLeft {
    std::mutex mutex;
    int32_t top;
    int32_t bottom;
};

// Takes the top row into *row; when none is left, *row is the first row
// taken from the bottom.
bool TakeTopRow(RowsLeft* rows, int32_t* row) {
    std::lock_guard<std::mutex> lock(rows->mutex);
    *row = rows->top;
    if (rows->top >= rows->bottom) return false;
    ++rows->top;
    return true;
}

bool TakeBottomRow(RowsLeft* rows, int32_t* row) {
    std::lock_guard<std::mutex> lock(rows->mutex);
    if (rows->bottom <= rows->top) return false;
    *row = --rows->bottom;
    return true;
}

// The statistics are one double sum in raster order, so a single thread
// takes them: the calling thread works down from the top, with logarithms
// and statistics together, while the other threads compute logarithms from
// the bottom up; where they meet, the calling thread goes on with the
// statistics of the rows below. On one thread this is the plain raster scan.
void LogLuminanceAndStatistics(const FullRunSource& source, int32_t height, float* work0,
                               LuminanceTally<float>* tally) {
    RowsLeft rows;
    rows.top = 0;
    rows.bottom = height;
    const int32_t chunks = ChunkCount(static_cast<int64_t>(source.rowLength) * height, kValuesPerThread);
    ForEachChunk(chunks, chunks, [&](int32_t chunk, int64_t, int64_t) {
        int32_t y = 0;
        if (chunk > 0) {
            while (TakeBottomRow(&rows, &y)) LogLuminanceRow(source, y, work0, nullptr);
            return;
        }
        while (TakeTopRow(&rows, &y)) LogLuminanceRow(source, y, work0, tally);
        for (; y < height; ++y) TallyRow(source, y, tally);
    });
}

}  // namespace

int32_t RoundToNearestIndex(float v) {
    // Out-of-range values saturate instead of overflowing the conversion.
    if (!(v > -2147483648.0f)) return v != v ? 0 : INT32_MIN;
    if (v >= 2147483648.0f) return INT32_MAX;
    int32_t i = static_cast<int32_t>(v);
    if (v - static_cast<float>(i) > 0.5) ++i;
    return i;
}

int32_t get_image(int32_t depthCode, int32_t width, int32_t height, int32_t rowLength, int32_t rowCount,
                  int32_t nb, int32_t pad, ImageStats* stats, const float* srcFloat, const float* table,
                  const uint16_t* src16, float* work0) {
    if (width < 1 || height < 1 || nb < 1 || pad < 0 || pad > width || rowCount < height ||
        static_cast<int64_t>(rowLength) < static_cast<int64_t>(width) + 2 * static_cast<int64_t>(pad)) {
        return -1;
    }
    const FullRunSource source{depthCode, width, pad, nb, rowLength, OffsetsFor(nb), srcFloat, table, src16};
    LuminanceTally<float> tally;
    tally.maximum = -1e9f;
    tally.minimum = 1e9f;
    LogLuminanceAndStatistics(source, height, work0, &tally);
    FinishStatistics(tally, stats);
    const int64_t pixels = static_cast<int64_t>(width) * height;
    ReplaceSentinels(pixels, tally.count, static_cast<int64_t>(rowLength) * rowCount, *stats, work0);
    return static_cast<int32_t>(pixels - tally.count);
}

int32_t get_preview(int32_t /*mode*/, int32_t is16Bit, int32_t /*x0*/, int32_t /*y0*/, int32_t srcWidth,
                    int32_t srcHeight, int32_t previewWidth, int32_t previewHeight, int32_t rowLength,
                    int32_t rowCount, int32_t nb, ImageStats* stats, const float* srcFloat,
                    const float* table, const uint16_t* src16, float* work0) {
    // Only mode 0 exists: the whole source is sampled, the offsets are unused.
    if (srcWidth < 10 || srcHeight < 10 || previewWidth < 10 || previewHeight < 10) return -1;
    if (nb < 1 || rowLength < previewWidth || rowCount < previewHeight) return -1;
    const int32_t depthCode = is16Bit ? 1 : 0;
    const ChannelOffsets c = OffsetsFor(nb);
    const float ry = static_cast<float>(srcHeight) / static_cast<float>(previewHeight);
    const float rx = static_cast<float>(srcWidth) / static_cast<float>(previewWidth);
    LuminanceTally<double> tally;
    tally.maximum = -999999999.0;
    tally.minimum = 999999999.0;
    for (int32_t y = 0; y < previewHeight; ++y) {
        int32_t sy = RoundToNearestIndex(static_cast<float>(y) * ry);
        if (sy >= srcHeight) sy = srcHeight - 1;
        float* out = work0 + static_cast<int64_t>(y) * rowLength;
        for (int32_t x = 0; x < previewWidth; ++x) {
            int32_t sx = RoundToNearestIndex(static_cast<float>(x) * rx);
            if (sx >= srcWidth) sx = srcWidth - 1;
            const int64_t p = (static_cast<int64_t>(sy) * srcWidth + sx) * nb;
            const double s = ScaledLuminance(depthCode, srcFloat, table, src16, p, c, NegativeSamples::kKeep);
            if (s > 0) tally.Add(s);
            out[x] = LogOrSentinel(s);
        }
    }
    FinishStatistics(tally, stats);
    const int64_t pixels = static_cast<int64_t>(previewWidth) * previewHeight;
    ReplaceSentinels(pixels, tally.count, static_cast<int64_t>(rowLength) * rowCount, *stats, work0);
    return static_cast<int32_t>(pixels - tally.count);
}
