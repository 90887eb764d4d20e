#include "ParallelRows.h"

#include <algorithm>
#include <atomic>
#include <thread>

#include "ToneMapEngine.h"

namespace {

constexpr int32_t kMaxThreads = 16;

std::atomic<int32_t> g_requestedThreads{0};

int32_t ThreadCount() {
    const int32_t requested = g_requestedThreads.load(std::memory_order_relaxed);
    if (requested > 0) return std::min(requested, kMaxThreads);
    const unsigned hardware = std::thread::hardware_concurrency();
    return hardware == 0 ? 1 : std::min(static_cast<int32_t>(hardware), kMaxThreads);
}

}  // namespace

void SetEngineThreads(int32_t count) { g_requestedThreads.store(std::max(count, 0), std::memory_order_relaxed); }

void ParallelForChunks(int64_t count, int64_t grain, ChunkFunction chunk, const void* context) {
    if (count <= 0) return;
    const int64_t byGrain = grain > 0 ? count / grain : count;
    const int32_t threads = static_cast<int32_t>(std::clamp<int64_t>(byGrain, 1, ThreadCount()));
    const auto bound = [&](int32_t i) { return count * i / threads; };
    std::thread workers[kMaxThreads];
    for (int32_t i = 1; i < threads; ++i) {
        try {
            workers[i] = std::thread(chunk, context, bound(i), bound(i + 1));
        } catch (...) {
            chunk(context, bound(i), bound(i + 1));
        }
    }
    chunk(context, 0, bound(1));
    for (int32_t i = 1; i < threads; ++i) {
        if (workers[i].joinable()) workers[i].join();
    }
}
