// Splitting independent per-row or per-element work across threads.
// Internal to the engine. Only work whose items neither read nor write each
// other goes through here, so the result does not depend on the split;
// partial results per chunk (extremes, integer counts) are combined in chunk
// order, only where that gives exactly what one pass in order gives.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>

// Upper bound of the number of chunks (and threads) of one split.
constexpr int32_t kMaxEngineChunks = 16;

using ChunkFunction = void (*)(const void* context, int64_t begin, int64_t end);
using IndexedChunkFunction = void (*)(const void* context, int32_t chunk, int64_t begin, int64_t end);

// Number of chunks ParallelForChunks splits `count` items into: one per
// thread, fewer when a thread would get less than `grain` items; at least 1.
int32_t ChunkCount(int64_t count, int64_t grain);

// Calls chunk(context, i, begin, end) for i = 0 .. chunks - 1, chunk i
// covering [count i / chunks, count (i + 1) / chunks), each on its own
// thread (chunk 0 on the calling thread): the worker threads of an open
// EngineThreadScope, or threads started for this call. Returns when every
// chunk is done. Never throws: when threads cannot be had the chunks run on
// the calling thread, one after another.
void RunChunks(int64_t count, int32_t chunks, IndexedChunkFunction chunk, const void* context);

// As RunChunks, but only with every chunk on its own thread at the same
// time, for chunks that wait for each other; returns false, having run no
// chunk, when the threads cannot be had.
bool RunChunksTogether(int64_t count, int32_t chunks, IndexedChunkFunction chunk, const void* context);

// Calls chunk(context, begin, end) over ChunkCount(count, grain) contiguous
// chunks covering [0, count), as RunChunks does.
void ParallelForChunks(int64_t count, int64_t grain, ChunkFunction chunk, const void* context);

// body(begin, end) over chunks of [0, count), as above.
template <typename Body>
void ParallelFor(int64_t count, int64_t grain, const Body& body) {
    ParallelForChunks(
        count, grain,
        [](const void* context, int64_t begin, int64_t end) { (*static_cast<const Body*>(context))(begin, end); },
        &body);
}

// body(chunk, begin, end) on `chunks` threads at once; false (nothing run)
// when they cannot be had.
template <typename Body>
bool ForEachChunkTogether(int64_t count, int32_t chunks, const Body& body) {
    return RunChunksTogether(
        count, chunks,
        [](const void* context, int32_t chunk, int64_t begin, int64_t end) {
            (*static_cast<const Body*>(context))(chunk, begin, end);
        },
        &body);
}

// body(chunk, begin, end) for each of `chunks` chunks of [0, count): for
// work that keeps a partial result per chunk and combines them in chunk
// order afterwards.
template <typename Body>
void ForEachChunk(int64_t count, int32_t chunks, const Body& body) {
    RunChunks(
        count, chunks,
        [](const void* context, int32_t chunk, int64_t begin, int64_t end) {
            (*static_cast<const Body*>(context))(chunk, begin, end);
        },
        &body);
}

// body(begin, end) over blocks of `block` items, handed out in order to
// ChunkCount(count, grain) threads, each taking the next block when it has
// finished its last: for passes whose items differ much in cost.
template <typename Body>
void ParallelForBlocks(int64_t count, int64_t grain, int64_t block, const Body& body) {
    const int32_t chunks = ChunkCount(count, grain);
    block = std::max<int64_t>(block, 1);
    std::atomic<int64_t> next{0};
    ForEachChunk(chunks, chunks, [&](int32_t, int64_t, int64_t) {
        for (int64_t begin = next.fetch_add(block); begin < count; begin = next.fetch_add(block)) {
            body(begin, std::min(count, begin + block));
        }
    });
}
