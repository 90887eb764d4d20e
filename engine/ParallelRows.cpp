#include "ParallelRows.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <thread>

#include "ToneMapEngine.h"

namespace {

std::atomic<int32_t> g_requestedThreads{0};

int32_t ThreadCount() {
    const int32_t requested = g_requestedThreads.load(std::memory_order_relaxed);
    if (requested > 0) return std::min(requested, kMaxEngineChunks);
    const unsigned hardware = std::thread::hardware_concurrency();
    return hardware == 0 ? 1 : std::min(static_cast<int32_t>(hardware), kMaxEngineChunks);
}

struct PlainChunk {
    ChunkFunction chunk;
    const void* context;
};

}  // namespace

void SetEngineThreads(int32_t count) { g_requestedThreads.store(std::max(count, 0), std::memory_order_relaxed); }

void ZeroValues(float* values, int64_t count) {
    // A thread gets at least 1 MiB.
    ParallelFor(count, int64_t{1} << 18, [&](int64_t begin, int64_t end) {
        std::memset(values + begin, 0, sizeof(float) * static_cast<size_t>(end - begin));
    });
}

int32_t ChunkCount(int64_t count, int64_t grain) {
    const int64_t byGrain = grain > 0 ? count / grain : count;
    return static_cast<int32_t>(std::clamp<int64_t>(byGrain, 1, ThreadCount()));
}

void RunChunks(int64_t count, int32_t chunks, IndexedChunkFunction chunk, const void* context) {
    if (count <= 0) return;
    chunks = std::clamp(chunks, 1, kMaxEngineChunks);
    const auto bound = [&](int32_t i) { return count * i / chunks; };
    std::thread workers[kMaxEngineChunks];
    for (int32_t i = 1; i < chunks; ++i) {
        try {
            workers[i] = std::thread(chunk, context, i, bound(i), bound(i + 1));
        } catch (...) {
            chunk(context, i, bound(i), bound(i + 1));
        }
    }
    chunk(context, 0, 0, bound(1));
    for (int32_t i = 1; i < chunks; ++i) {
        if (workers[i].joinable()) workers[i].join();
    }
}

void ParallelForChunks(int64_t count, int64_t grain, ChunkFunction chunk, const void* context) {
    if (count <= 0) return;
    const PlainChunk plain{chunk, context};
    RunChunks(
        count, ChunkCount(count, grain),
        [](const void* c, int32_t, int64_t begin, int64_t end) {
            const auto* p = static_cast<const PlainChunk*>(c);
            p->chunk(p->context, begin, end);
        },
        &plain);
}
