// Splitting work across the engine's threads: a split made inside a chunk
// runs on that chunk's own thread, and the threads that made it are free
// for the next split once the outer one is done.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "ParallelRows.h"
#include "ToneMapEngine.h"

namespace {

TEST(EngineThreads, SplitsInsideAChunkRunOnItsThreadAndCoverEveryItem) {
    constexpr int64_t kTasks = 3;
    constexpr int64_t kItems = 5000;
    for (int32_t threads : {1, 2, 3}) {
        for (bool pooled : {false, true}) {
            SCOPED_TRACE(testing::Message() << threads << " threads, pooled " << pooled);
            SetEngineThreads(threads);
            std::unique_ptr<EngineThreadScope> scope(pooled ? new EngineThreadScope : nullptr);
            std::vector<std::atomic<int32_t>> hits(kTasks * kItems);
            std::atomic<int32_t> foreignThreads{0};
            std::atomic<int32_t> innerChunkCounts{0};
            std::atomic<int32_t> togetherRuns{0};
            ForEachChunk(kTasks, ChunkCount(kTasks, 1), [&](int32_t, int64_t begin, int64_t end) {
                const std::thread::id own = std::this_thread::get_id();
                for (int64_t task = begin; task < end; ++task) {
                    innerChunkCounts += ChunkCount(kItems, 1);
                    ParallelFor(kItems, 1, [&](int64_t lo, int64_t hi) {
                        if (std::this_thread::get_id() != own) ++foreignThreads;
                        for (int64_t i = lo; i < hi; ++i) ++hits[task * kItems + i];
                    });
                    // Chunks that wait for each other cannot be had here: the
                    // caller (the relaxation) then does the work in one band.
                    if (ForEachChunkTogether(10, 2, [&](int32_t, int64_t, int64_t) {})) ++togetherRuns;
                }
            });
            EXPECT_EQ(foreignThreads.load(), 0);
            EXPECT_EQ(innerChunkCounts.load(), kTasks);
            EXPECT_EQ(togetherRuns.load(), 0);
            for (const auto& h : hits) ASSERT_EQ(h.load(), 1);
            // Outside any chunk the split uses every thread again.
            EXPECT_EQ(ChunkCount(kItems, 1), threads);
            std::atomic<int32_t> chunks{0};
            ForEachChunk(kItems, ChunkCount(kItems, 1), [&](int32_t, int64_t, int64_t) { ++chunks; });
            EXPECT_EQ(chunks.load(), threads);
        }
    }
    SetEngineThreads(0);
}

}  // namespace
