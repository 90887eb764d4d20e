// Splitting independent per-row or per-element work across threads.
// Internal to the engine. Only work whose items neither read nor write each
// other goes through here, so the result does not depend on the split.
#pragma once

#include <cstdint>
#include <functional>

// Calls body(begin, end) over contiguous chunks covering [0, count). Work of
// fewer than `grain` items per extra thread stays on the calling thread.
// Returns only when every chunk is done. Never throws: if a thread cannot be
// started, the calling thread does its chunk.
void ParallelFor(int64_t count, int64_t grain, const std::function<void(int64_t, int64_t)>& body);
