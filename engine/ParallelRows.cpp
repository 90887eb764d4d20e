#include "ParallelRows.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <mutex>
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

// Worker threads kept between splits while an EngineThreadScope is open.
// Worker i runs chunk i of each split that has one, the calling thread
// chunk 0, so that every chunk of a split runs on its own thread.
struct WorkerPool {
    std::mutex mutex;
    std::condition_variable wake;
    std::condition_variable finished;
    std::thread workers[kMaxEngineChunks];  // [0] unused
    int32_t started = 1;                    // workers 1 .. started - 1 run
    int32_t scopes = 0;
    bool stopping = false;
    bool inUse = false;  // a split is being run
    // The current split.
    uint64_t generation = 0;
    int64_t count = 0;
    int32_t chunks = 0;
    int32_t pending = 0;
    IndexedChunkFunction chunk = nullptr;
    const void* context = nullptr;
};

WorkerPool g_pool;

int64_t ChunkBound(int64_t count, int32_t chunks, int32_t i) { return count * i / chunks; }

void WorkerLoop(int32_t index) {
    WorkerPool& pool = g_pool;
    uint64_t seen = 0;
    std::unique_lock<std::mutex> lock(pool.mutex);
    for (;;) {
        pool.wake.wait(lock, [&] { return pool.stopping || (pool.generation != seen && index < pool.chunks); });
        if (pool.stopping) return;
        seen = pool.generation;
        const int64_t count = pool.count;
        const int32_t chunks = pool.chunks;
        lock.unlock();
        pool.chunk(pool.context, index, ChunkBound(count, chunks, index), ChunkBound(count, chunks, index + 1));
        lock.lock();
        if (--pool.pending == 0) pool.finished.notify_one();
    }
}

// Runs the split on the pool when a scope is open, the pool is free and
// has (or can start) a worker per chunk; returns false otherwise.
bool RunOnPool(int64_t count, int32_t chunks, IndexedChunkFunction chunk, const void* context) {
    WorkerPool& pool = g_pool;
    std::unique_lock<std::mutex> lock(pool.mutex);
    if (pool.scopes == 0 || pool.inUse || pool.stopping) return false;
    while (pool.started < chunks) {
        try {
            pool.workers[pool.started] = std::thread(WorkerLoop, pool.started);
        } catch (...) {
            return false;
        }
        ++pool.started;
    }
    pool.inUse = true;
    pool.count = count;
    pool.chunks = chunks;
    pool.pending = chunks - 1;
    pool.chunk = chunk;
    pool.context = context;
    ++pool.generation;
    lock.unlock();
    pool.wake.notify_all();
    chunk(context, 0, 0, ChunkBound(count, chunks, 1));
    lock.lock();
    pool.finished.wait(lock, [&] { return pool.pending == 0; });
    pool.chunks = 0;
    pool.inUse = false;
    return true;
}

}  // namespace

EngineThreadScope::EngineThreadScope() {
    std::lock_guard<std::mutex> lock(g_pool.mutex);
    ++g_pool.scopes;
}

EngineThreadScope::~EngineThreadScope() {
    WorkerPool& pool = g_pool;
    std::unique_lock<std::mutex> lock(pool.mutex);
    if (--pool.scopes > 0) return;
    pool.stopping = true;
    lock.unlock();
    pool.wake.notify_all();
    for (int32_t i = 1; i < pool.started; ++i) pool.workers[i].join();
    lock.lock();
    pool.started = 1;
    pool.stopping = false;
}

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

namespace {

// Chunks of a split on threads of their own, held back until every thread
// has started (or released without running when one could not be).
struct GatedSplit {
    std::atomic<int32_t> state{0};  // 0 waiting, 1 run, 2 abandoned
    IndexedChunkFunction chunk;
    const void* context;
};

void RunGatedChunk(GatedSplit* split, int32_t i, int64_t begin, int64_t end) {
    int32_t state;
    while ((state = split->state.load(std::memory_order_acquire)) == 0) std::this_thread::yield();
    if (state == 1) split->chunk(split->context, i, begin, end);
}

}  // namespace

bool RunChunksTogether(int64_t count, int32_t chunks, IndexedChunkFunction chunk, const void* context) {
    if (count <= 0) return true;
    chunks = std::clamp(chunks, 1, kMaxEngineChunks);
    if (chunks == 1) {
        chunk(context, 0, 0, count);
        return true;
    }
    if (RunOnPool(count, chunks, chunk, context)) return true;
    GatedSplit split;
    split.chunk = chunk;
    split.context = context;
    std::thread workers[kMaxEngineChunks];
    int32_t started = 1;
    try {
        for (; started < chunks; ++started) {
            workers[started] = std::thread(RunGatedChunk, &split, started, ChunkBound(count, chunks, started),
                                           ChunkBound(count, chunks, started + 1));
        }
    } catch (...) {
    }
    const bool together = started == chunks;
    split.state.store(together ? 1 : 2, std::memory_order_release);
    if (together) chunk(context, 0, 0, ChunkBound(count, chunks, 1));
    for (int32_t i = 1; i < started; ++i) workers[i].join();
    return together;
}

void RunChunks(int64_t count, int32_t chunks, IndexedChunkFunction chunk, const void* context) {
    if (count <= 0) return;
    chunks = std::clamp(chunks, 1, kMaxEngineChunks);
    if (RunChunksTogether(count, chunks, chunk, context)) return;
    // Without threads for them the chunks run here, one after another.
    for (int32_t i = 0; i < chunks; ++i) {
        chunk(context, i, ChunkBound(count, chunks, i), ChunkBound(count, chunks, i + 1));
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
