#include "platform/dispatch/main_queue.h"

#include <gtest/gtest.h>

#include <future>
#include <thread>
#include <vector>

#include "platform/dispatch/serial_queue.h"
#include "platform/dispatch/testing/manual_executor.h"

namespace quillory {
namespace {

class ManualMainQueueTest : public ::testing::Test {
  protected:
    void SetUp() override { MainQueue::install(executor); }
    void TearDown() override { MainQueue::install(nullptr); }

    std::shared_ptr<ManualExecutor> executor = std::make_shared<ManualExecutor>();
};

TEST_F(ManualMainQueueTest, RunsPostedWorkOnlyWhenDriven) {
    std::vector<int> order;
    MainQueue::post([&] { order.push_back(1); });
    MainQueue::post([&] {
        order.push_back(2);
        MainQueue::post([&] { order.push_back(3); });
    });
    EXPECT_TRUE(order.empty());
    EXPECT_EQ(executor->runUntilIdle(), 3u);
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
    EXPECT_TRUE(MainQueue::isCurrent());
}

TEST_F(ManualMainQueueTest, FiresTimersInDueOrderAsTheFakeClockAdvances) {
    std::vector<std::pair<int, std::uint64_t>> fired;
    const auto start = executor->clock()->nowNanoseconds();
    auto record = [&](int id) {
        return [&fired, id, this] { fired.emplace_back(id, executor->clock()->nowNanoseconds()); };
    };
    Timer third = MainQueue::after(3.0, record(3));
    Timer first = MainQueue::after(1.0, record(1));
    Timer nested;
    Timer second = MainQueue::after(2.0, [&, record] {
        record(2)();
        // Scheduled from a timer, due within the same advance.
        nested = MainQueue::after(0.5, record(25));
    });
    Timer cancelled = MainQueue::after(1.5, record(99));
    cancelled.cancel();

    executor->advance(0.999);
    EXPECT_TRUE(fired.empty());
    executor->advance(2.5);
    ASSERT_EQ(fired.size(), 4u);
    EXPECT_EQ(fired[0], std::make_pair(1, start + 1'000'000'000));
    EXPECT_EQ(fired[1], std::make_pair(2, start + 2'000'000'000));
    EXPECT_EQ(fired[2], std::make_pair(25, start + 2'500'000'000));
    EXPECT_EQ(fired[3], std::make_pair(3, start + 3'000'000'000));
    EXPECT_EQ(executor->pendingTimers(), 0u);
}

TEST_F(ManualMainQueueTest, TakesWorkPostedFromOtherThreads) {
    int ran = 0;
    std::thread poster([] { MainQueue::post([] {}); });
    poster.join();
    ASSERT_TRUE(executor->waitForWork(10));
    MainQueue::post([&] { ++ran; });
    executor->runUntilIdle();
    EXPECT_EQ(ran, 1);
}

TEST(ThreadMainQueue, RunsPostedWorkOnItsThread) {
    auto executor = std::make_shared<SerialQueue>("main");
    MainQueue::install(executor);
    std::promise<bool> current;
    MainQueue::post([&] { current.set_value(MainQueue::isCurrent()); });
    EXPECT_TRUE(current.get_future().get());
    EXPECT_FALSE(MainQueue::isCurrent());
    MainQueue::install(nullptr);
}

TEST(ThreadMainQueue, WorkHandedOverAfterShutDownIsDroppedOnItsOwnThread) {
    MainQueue::install(std::make_shared<SerialQueue>("main"));
    MainQueue::shutDown();
    auto owned = std::make_shared<int>(1);
    std::weak_ptr<int> watch = owned;
    bool ran = false;
    std::thread late([&, owned = std::move(owned)]() mutable {
        MainQueue::post([&ran, owned = std::move(owned)] { ran = true; });
        EXPECT_FALSE(MainQueue::after(1, [&ran] { ran = true; }).isScheduled());
    });
    late.join();
    EXPECT_FALSE(ran);
    EXPECT_TRUE(watch.expired());
    EXPECT_FALSE(MainQueue::isCurrent());
    MainQueue::install(nullptr);
}

}  // namespace
}  // namespace quillory
