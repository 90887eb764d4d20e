// Log-luminance histogram and the three landmarks read from it: a middle
// value (the median, or a nearby quantile when the median lies too close to
// an end of the range) and a low and a high value halfway to the ends of the
// population.
#include <cmath>
#include <memory>
#include <new>

#include "EngineMaths.h"
#include "ParallelRows.h"
#include "ToneMapEngine.h"

namespace {

constexpr int32_t kLandmarkBins = 65536;
constexpr int32_t kMaxAdjustments = 40;

// Values per thread below which splitting the count is not worth a thread.
constexpr int64_t kValuesPerThread = 1 << 16;

// Adjustments made since the last reset; limits the search for a usable
// fraction. One process-wide counter: the engine runs on one thread.
int32_t g_quantileAdjustments = 0;

// trunc(v) clamped to 0..bins-1; NaN lands in bin 0.
int32_t BinOf(float v, int32_t bins) {
    if (!(v > -1.0f)) return 0;
    if (v >= static_cast<float>(bins)) return bins - 1;
    const int32_t b = static_cast<int32_t>(v);
    return b < bins ? b : bins - 1;
}

}  // namespace

// Every chunk counts into a histogram of its own, added into `histogram`
// afterwards: integer counts, so the split changes nothing. Without memory
// for the extra histograms the count runs on one thread.
int32_t BuildLogHistogram(int32_t n, int32_t bins, float lo, float hi, const float* values, int32_t* histogram) {
    if (!(lo < hi) || bins < 1) return -1;
    const float scale = static_cast<float>(bins - 1) / (hi - lo);
    int32_t chunks = ChunkCount(n, kValuesPerThread);
    std::unique_ptr<int32_t[]> extra;
    if (chunks > 1) {
        extra.reset(new (std::nothrow) int32_t[static_cast<size_t>(chunks - 1) * bins]());
        if (!extra) chunks = 1;
    }
    ForEachChunk(n, chunks, [&](int32_t chunk, int64_t begin, int64_t end) {
        int32_t* own = chunk == 0 ? histogram : extra.get() + static_cast<size_t>(chunk - 1) * bins;
        for (int64_t i = begin; i < end; ++i) ++own[BinOf((values[i] - lo) * scale, bins)];
    });
    for (int32_t c = 1; c < chunks; ++c) {
        const int32_t* own = extra.get() + static_cast<size_t>(c - 1) * bins;
        for (int32_t b = 0; b < bins; ++b) histogram[b] += own[b];
    }
    return n;
}

int32_t FindQuantileBin(float q, int32_t total, int32_t bins, const int32_t* histogram) {
    const float target = static_cast<float>(total) * q;
    // A threshold beyond every count is never exceeded; below 0 it is at once.
    int64_t threshold;
    if (!(target < 9.0e18f)) {
        threshold = INT64_MAX;
    } else if (target < -1.0f) {
        threshold = -1;
    } else {
        threshold = static_cast<int64_t>(target);
    }
    int64_t running = 0;
    for (int32_t b = 0; b < bins; ++b) {
        running += histogram[b];
        if (running > threshold) return b;
    }
    return bins;
}

float AdjustQuantileFraction(float q, int32_t total, int32_t bins, const int32_t* histogram) {
    const int32_t upper = static_cast<int32_t>(0.9 * bins);
    const int32_t lower = static_cast<int32_t>(0.25 * bins);
    // Each pass is one call of the recursive search: it counts even when it
    // accepts the fraction.
    for (;;) {
        const int32_t bin = FindQuantileBin(q, total, bins, histogram);
        if (g_quantileAdjustments >= kMaxAdjustments) return q;
        ++g_quantileAdjustments;
        if (bin > upper) {
            q = q * 0.99f;
        } else if (bin < lower) {
            q = q * 1.01f;
        } else {
            return q;
        }
    }
}

void ResetQuantileAdjustments() { g_quantileAdjustments = 0; }

int32_t SetLandmarks(int32_t n, const float* logLuminance, ImageStats* stats) {
    int32_t* histogram = new (std::nothrow) int32_t[kLandmarkBins]();
    if (histogram == nullptr) return kEngineOutOfMemory;
    float* e = stats->entry;
    const float lo = Logf(e[kStatMinPositive]);
    const float hi = Logf(e[kStatMaxOverMean] * e[kStatMean]);
    if (BuildLogHistogram(n, kLandmarkBins, lo, hi, logLuminance, histogram) < 0) {
        delete[] histogram;
        return -1;
    }
    ResetQuantileAdjustments();
    const float q = AdjustQuantileFraction(0.5f, n, kLandmarkBins, histogram);
    // The bin width divides by the bin count, not by the bins - 1 steps the
    // histogram spreads the range over.
    const float width = static_cast<float>(static_cast<double>(hi - lo) / kLandmarkBins);
    const float lowFraction = static_cast<float>(q / 2.0);
    const float highFraction = static_cast<float>(1.0 - (1.0 - q) / 2.0);
    e[kStatLow] = lo + width * static_cast<float>(FindQuantileBin(lowFraction, n, kLandmarkBins, histogram));
    e[kStatHigh] = lo + width * static_cast<float>(FindQuantileBin(highFraction, n, kLandmarkBins, histogram));
    e[kStatMiddle] = lo + width * static_cast<float>(FindQuantileBin(q, n, kLandmarkBins, histogram));
    delete[] histogram;
    return 0;
}
