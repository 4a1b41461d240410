#include "core/link/recovery_scheduler.h"

#include <gtest/gtest.h>

#include "platform/dispatch/main_queue.h"
#include "platform/dispatch/testing/manual_executor.h"

namespace quillory {
namespace {

class RecoverySchedulerTest : public ::testing::Test {
  protected:
    void SetUp() override { MainQueue::install(main); }

    // Schedules a retry and answers how long it took to run.
    double nextDelay() {
        const int before = runs;
        scheduler.scheduleRetry([this] { ++runs; });
        double waited = 0;
        for (; runs == before && waited < 60; waited += 0.25) {
            main->advance(0.25);
        }
        return waited;
    }

    std::shared_ptr<ManualExecutor> main = std::make_shared<ManualExecutor>();
    RecoveryScheduler scheduler;
    int runs = 0;
};

TEST_F(RecoverySchedulerTest, DelaysGrowToEightSecondsAndResetAfterTenStableSeconds) {
    for (const double delay : {0.5, 1.0, 2.0, 4.0, 8.0, 8.0}) {
        EXPECT_EQ(nextDelay(), delay);
    }
    // A connection that does not last ten seconds keeps the count.
    scheduler.markConnected();
    main->advance(9.75);
    EXPECT_EQ(nextDelay(), 8.0);

    scheduler.markConnected();
    main->advance(10.0);
    EXPECT_EQ(scheduler.attempt(), 0u);
    EXPECT_EQ(nextDelay(), 0.5);
}

TEST_F(RecoverySchedulerTest, PendingRetryIgnoresNewRequestsAndCancelKeepsTheCount) {
    scheduler.scheduleRetry([this] { ++runs; });
    scheduler.scheduleRetry([this] { runs += 100; });
    main->advance(0.5);
    EXPECT_EQ(runs, 1);

    scheduler.scheduleRetry([this] { ++runs; });
    scheduler.cancel();
    main->advance(5.0);
    EXPECT_EQ(runs, 1);
    EXPECT_FALSE(scheduler.isRetryPending());
    EXPECT_EQ(scheduler.attempt(), 2u);

    // markConnected cancels a pending retry.
    scheduler.scheduleRetry([this] { ++runs; });
    scheduler.markConnected();
    main->advance(10.0);
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(scheduler.attempt(), 0u);

    // The action may schedule the next retry.
    std::function<void()> retry = [&] {
        if (++runs < 4) {
            scheduler.scheduleRetry(retry);
        }
    };
    scheduler.scheduleRetry(retry);
    main->advance(0.5 + 1.0 + 2.0);
    EXPECT_EQ(runs, 4);
}

}  // namespace
}  // namespace quillory
