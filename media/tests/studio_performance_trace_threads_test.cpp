#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <thread>
#include <vector>

#include "media/studio_performance_trace.h"

namespace quillory {
namespace {

using Stage = StudioPerformanceTrace::Stage;

// Eight recorders at once while a reader snapshots: every event lands exactly once, the counters
// add up, and every snapshot is consistent with one moment.
TEST(StudioPerformanceTraceThreadsTest, ConcurrentRecordersLoseNothing) {
    constexpr int threads = 8;
    constexpr int perThread = 2000;
    constexpr int capacity = 4096;
    StudioPerformanceTrace trace(capacity, 256, 0.0);

    std::atomic<int> ready{0};
    std::atomic<bool> done{false};
    std::thread reader([&] {
        while (!done.load()) {
            const auto snapshot = trace.snapshot();
            const auto recorded = static_cast<std::int64_t>(snapshot.recentEvents.size()) +
                                  snapshot.overwrittenEvents;
            ASSERT_LE(snapshot.recentEvents.size(), static_cast<std::size_t>(capacity));
            ASSERT_TRUE(snapshot.overwrittenEvents == 0 ||
                        snapshot.recentEvents.size() == static_cast<std::size_t>(capacity));
            ASSERT_LE(recorded, threads * perThread);
        }
    });
    std::vector<std::thread> writers;
    for (int t = 0; t < threads; ++t) {
        writers.emplace_back([&, t] {
            ++ready;
            while (ready.load() < threads) {
            }
            for (int i = 0; i < perThread; ++i) {
                const auto serial = static_cast<std::uint64_t>(t * perThread + i);
                // Every 100th event is a startup stage, so both lists are written at once.
                const Stage stage = i % 100 == 0 ? Stage::bitrateRequest : Stage::capture;
                trace.record(stage, {.fields{.serial = serial, .width = t}}, 1.0);
            }
        });
    }
    for (std::thread& writer : writers) {
        writer.join();
    }
    done = true;
    reader.join();

    const auto snapshot = trace.snapshot();
    EXPECT_EQ(snapshot.recentEvents.size(), static_cast<std::size_t>(capacity));
    EXPECT_EQ(snapshot.overwrittenEvents, threads * perThread - capacity);
    EXPECT_EQ(static_cast<std::int64_t>(snapshot.startupEvents.size()) +
                  snapshot.startupEventsOmitted,
              threads * perThread / 100);

    // The ring holds the last `capacity` events: distinct, and in each writer's own order.
    std::set<std::uint64_t> seen;
    std::vector<std::int64_t> lastOfWriter(static_cast<std::size_t>(threads), -1);
    for (const auto& event : snapshot.recentEvents) {
        ASSERT_TRUE(event.serial && event.width);
        EXPECT_TRUE(seen.insert(*event.serial).second);
        const auto index = static_cast<std::int64_t>(*event.serial) - *event.width * perThread;
        std::int64_t& last = lastOfWriter[static_cast<std::size_t>(*event.width)];
        EXPECT_GT(index, last);
        last = index;
    }
    // Whatever survived of a writer is its newest events, ending with its last one.
    for (const std::int64_t last : lastOfWriter) {
        if (last >= 0) {
            EXPECT_EQ(last, perThread - 1);
        }
    }
}

}  // namespace
}  // namespace quillory
