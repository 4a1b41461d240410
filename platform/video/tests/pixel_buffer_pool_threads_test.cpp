#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "platform/video/pixel_buffer.h"

namespace quillory {
namespace {

TEST(PixelBufferPoolThreads, TakersOnFourThreadsStayWithinTheBound) {
    constexpr std::size_t capacity = 3;
    auto pool = PixelBufferPool::create(16, 16, capacity);
    std::atomic<int> inUse{0};
    std::atomic<int> maximum{0};
    std::atomic<int> refused{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 2000; ++i) {
                auto buffer = pool->take();
                if (!buffer) {
                    ++refused;
                    continue;
                }
                const int now = ++inUse;
                int seen = maximum.load();
                while (now > seen && !maximum.compare_exchange_weak(seen, now)) {
                }
                buffer->dataY()[0] = static_cast<std::uint8_t>(t);  // exclusive while held
                --inUse;
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_LE(maximum.load(), static_cast<int>(capacity));
    EXPECT_EQ(pool->outstanding(), 0u);
}

}  // namespace
}  // namespace quillory
