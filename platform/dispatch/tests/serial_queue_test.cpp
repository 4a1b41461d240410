#include "platform/dispatch/serial_queue.h"

#include <gtest/gtest.h>
#include <pthread.h>

#include <atomic>
#include <future>
#include <memory>
#include <thread>
#include <vector>

#include "platform/dispatch/testing/manual_executor.h"

namespace quillory {
namespace {

std::string currentThreadName() {
    char name[16] = {};
    pthread_getname_np(pthread_self(), name, sizeof name);
    return name;
}

TEST(SerialQueue, RunsWorkInSubmissionOrderOnItsOwnNamedThread) {
    SerialQueue queue("com.quillory.transport");
    std::vector<int> order;
    std::string name;
    bool current = false;
    for (int i = 0; i < 1000; ++i) {
        queue.async([&order, i] { order.push_back(i); });
    }
    ASSERT_TRUE(queue.sync([&] {
        name = currentThreadName();
        current = queue.isCurrent();
    }));
    EXPECT_EQ(name, "llory.transport");  // the label's last 15 bytes
    EXPECT_TRUE(current);
    EXPECT_FALSE(queue.isCurrent());
    ASSERT_EQ(order.size(), 1000u);
    for (std::size_t i = 0; i < order.size(); ++i) {
        ASSERT_EQ(order[i], static_cast<int>(i));
    }
}

TEST(SerialQueue, KeepsOrderAcrossSubmittingThreads) {
    SerialQueue queue("test.order");
    std::vector<std::pair<int, int>> seen;
    std::vector<std::thread> writers;
    for (int writer = 0; writer < 4; ++writer) {
        writers.emplace_back([&queue, &seen, writer] {
            for (int i = 0; i < 500; ++i) {
                queue.async([&seen, writer, i] { seen.emplace_back(writer, i); });
            }
        });
    }
    for (auto& writer : writers) {
        writer.join();
    }
    ASSERT_TRUE(queue.sync([] {}));
    ASSERT_EQ(seen.size(), 2000u);
    int last[4] = {-1, -1, -1, -1};
    for (const auto& [writer, i] : seen) {
        ASSERT_EQ(i, last[writer] + 1) << "writer " << writer;
        last[writer] = i;
    }
}

TEST(SerialQueue, RefusesSyncFromItsOwnQueue) {
    SerialQueue queue("test.sync");
    std::promise<bool> inner;
    bool innerRan = false;
    queue.async([&] { inner.set_value(queue.sync([&] { innerRan = true; })); });
    EXPECT_FALSE(inner.get_future().get());
    EXPECT_FALSE(innerRan);
}

TEST(SerialQueue, CancelledTimersNeverFire) {
    SerialQueue queue("test.timers");
    std::atomic<int> fired{0};
    std::promise<void> reached;
    {
        Timer soon = queue.after(0.05, [&] { ++fired; });
        Timer repeating = queue.every(0.05, [&] { ++fired; });
        soon.cancel();
        repeating.cancel();
        // Destroying a handle cancels too.
        Timer dropped = queue.after(0.05, [&] { ++fired; });
    }
    // A later, uncancelled timer fires after the cancelled ones were due.
    Timer marker = queue.after(0.2, [&] { reached.set_value(); });
    reached.get_future().wait();
    ASSERT_TRUE(queue.sync([] {}));
    EXPECT_EQ(fired.load(), 0);
}

TEST(SerialQueue, RepeatingTimerStopsWhenItCancelsItself) {
    SerialQueue queue("test.repeat");
    int runs = 0;
    std::promise<void> done;
    Timer timer;
    Timer marker;
    ASSERT_TRUE(queue.sync([&] {
        timer = queue.every(0.001, [&] {
            if (++runs == 5) {
                timer.cancel();
                // Anything the timer would still do lands before this marker.
                marker = queue.after(0.02, [&] { done.set_value(); });
            }
        });
    }));
    done.get_future().wait();
    ASSERT_TRUE(queue.sync([] {}));
    EXPECT_EQ(runs, 5);
}

TEST(SerialQueue, DropsPendingWorkWhenDestroyed) {
    auto ran = std::make_shared<std::atomic<int>>(0);
    std::promise<void> release;
    std::thread releaser;
    Timer late;
    {
        SerialQueue queue("test.destroy");
        std::promise<void> blocking;
        queue.async([&blocking, released = release.get_future().share()] {
            blocking.set_value();
            released.wait();
        });
        blocking.get_future().wait();
        for (int i = 0; i < 100; ++i) {
            queue.async([ran] { ++*ran; });
        }
        late = queue.after(0.0, [ran] { ++*ran; });
        // The running work is let go only once destruction has stopped the queue.
        asio::io_context& io = queue.context();
        releaser = std::thread([&io, &release] {
            while (!io.stopped()) {
                std::this_thread::yield();
            }
            release.set_value();
        });
    }
    releaser.join();
    EXPECT_EQ(ran->load(), 0);
    late.cancel();  // the handle outlives its queue harmlessly
}

TEST(SerialQueue, MayBeDestroyedByItsOwnWork) {
    auto queue = std::make_unique<SerialQueue>("test.self");
    std::promise<void> submitted;
    std::promise<void> destroyed;
    SerialQueue* raw = queue.get();
    raw->async([owned = std::shared_ptr<SerialQueue>(std::move(queue)), &destroyed,
                ready = submitted.get_future().share()]() mutable {
        ready.wait();  // async() has returned; nothing touches the queue from outside any more
        owned.reset();
        destroyed.set_value();
    });
    submitted.set_value();
    destroyed.get_future().wait();
}

// Time measured by another executor (fake time here) still runs the work on the queue, and moving
// the time returns only once the work is done there; a cancelled timer stays silent.
TEST(SerialQueue, TimersOfAnotherExecutorRunOnTheQueueBeforeTheTimeMoveReturns) {
    SerialQueue queue("com.quillory.capture");
    auto timers = std::make_shared<ManualExecutor>();
    int ran = 0;
    bool onQueue = false;
    Timer due = afterOn(*timers, queue, 1.0, [&] {
        ++ran;
        onQueue = queue.isCurrent();
    });
    Timer cancelled = afterOn(*timers, queue, 1.0, [&] { ran += 10; });
    cancelled.cancel();
    timers->advance(0.999);
    EXPECT_EQ(ran, 0);
    timers->advance(0.001);
    EXPECT_EQ(ran, 1);
    EXPECT_TRUE(onQueue);
    EXPECT_EQ(timers->pendingTimers(), 0u);
}

}  // namespace
}  // namespace quillory
