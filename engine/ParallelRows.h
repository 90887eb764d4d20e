// Splitting independent per-row or per-element work across threads.
// Internal to the engine. Only work whose items neither read nor write each
// other goes through here, so the result does not depend on the split.
#pragma once

#include <cstdint>

using ChunkFunction = void (*)(const void* context, int64_t begin, int64_t end);

// Calls chunk(context, begin, end) over contiguous chunks covering
// [0, count). Work of fewer than `grain` items per extra thread stays on the
// calling thread. Returns when every chunk is done. Never throws: a chunk
// whose thread cannot be started runs on the calling thread.
void ParallelForChunks(int64_t count, int64_t grain, ChunkFunction chunk, const void* context);

// body(begin, end) over chunks of [0, count), as above.
template <typename Body>
void ParallelFor(int64_t count, int64_t grain, const Body& body) {
    ParallelForChunks(
        count, grain,
        [](const void* context, int64_t begin, int64_t end) { (*static_cast<const Body*>(context))(begin, end); },
        &body);
}
