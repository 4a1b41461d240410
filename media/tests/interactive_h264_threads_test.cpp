#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "media/interactive_h264_factory.h"

namespace quillory {
namespace {

TEST(InteractiveH264Threads, EightFirstCallersSeeOneList) {
    std::atomic<int> waiting{8};
    std::vector<const std::vector<VideoCodecInfo>*> seen(8);
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < 8; ++i) {
        threads.emplace_back([&, i] {
            // Start together, so the first use races.
            --waiting;
            while (waiting.load() > 0) {
            }
            seen[i] = &InteractiveH264Factory::codecList();
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    for (const auto* list : seen) {
        EXPECT_EQ(list, seen[0]);
    }
    EXPECT_EQ(seen[0]->size(), 2u);
}

}  // namespace
}  // namespace quillory
