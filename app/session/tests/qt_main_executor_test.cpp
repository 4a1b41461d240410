#include "app/session/qt_main_executor.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <thread>
#include <vector>

#include "platform/clock/clock.h"

namespace quillory {
namespace {

// Runs the loop until `done` or 10 s pass (a failure, not a wait for time to pass).
template <class Done>
void runUntil(Done done) {
    QDeadlineTimer deadline(10'000);
    while (!done() && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
}

// A token whose destruction records the thread it happened on.
std::shared_ptr<int> threadRecorder(std::shared_ptr<std::thread::id> destroyedOn) {
    return std::shared_ptr<int>(new int(0), [destroyedOn](int* p) {
        *destroyedOn = std::this_thread::get_id();
        delete p;
    });
}

TEST(QtMainExecutor, KeepsTheOrderOfEachPostingThread) {
    auto executor = std::make_shared<QtMainExecutor>();
    constexpr int threads = 4;
    constexpr int perThread = 500;
    std::vector<std::pair<int, int>> ran;
    std::vector<std::thread> posters;
    for (int t = 0; t < threads; ++t) {
        posters.emplace_back([&, t] {
            for (int i = 0; i < perThread; ++i) {
                executor->post([&ran, t, i] { ran.emplace_back(t, i); });
            }
        });
    }
    for (auto& poster : posters) {
        poster.join();
    }
    runUntil([&] { return ran.size() == threads * perThread; });
    ASSERT_EQ(ran.size(), static_cast<std::size_t>(threads * perThread));
    std::vector<int> next(threads, 0);
    for (const auto& [t, i] : ran) {
        EXPECT_EQ(i, next[static_cast<std::size_t>(t)]++) << "thread " << t;
    }
}

TEST(QtMainExecutor, RunsOnlyOnTheGuiThread) {
    auto executor = std::make_shared<QtMainExecutor>();
    EXPECT_TRUE(executor->isCurrent());
    bool elsewhere = true;
    std::thread([&] { elsewhere = executor->isCurrent(); }).join();
    EXPECT_FALSE(elsewhere);

    std::optional<bool> currentInWork;
    std::thread([&] { executor->post([&] { currentInWork = executor->isCurrent(); }); }).join();
    runUntil([&] { return currentInWork.has_value(); });
    EXPECT_EQ(currentInWork, true);
}

TEST(QtMainExecutor, TimersNeverFireEarlyWhoeverAsks) {
    auto executor = std::make_shared<QtMainExecutor>();
    struct Case {
        double seconds;
        bool fromOtherThread;
    };
    const Case cases[] = {{0, false}, {0.003, false}, {0.0205, false}, {0.0305, true}};
    std::vector<Timer> timers(std::size(cases));
    std::vector<double> late(std::size(cases), -1);
    std::vector<bool> onGuiThread(std::size(cases), false);
    int fired = 0;
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const Case c = cases[i];
        auto schedule = [&, i, c] {
            const std::uint64_t start = uptimeNanoseconds();
            return executor->after(c.seconds, [&, i, c, start] {
                late[i] = static_cast<double>(uptimeNanoseconds() - start) / 1e9 - c.seconds;
                onGuiThread[i] = executor->isCurrent();
                ++fired;
            });
        };
        if (c.fromOtherThread) {
            std::thread([&] { timers[i] = schedule(); }).join();
        } else {
            timers[i] = schedule();
        }
    }
    runUntil([&] { return fired == static_cast<int>(std::size(cases)); });
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_GE(late[i], 0) << "case " << i;
        EXPECT_TRUE(onGuiThread[i]) << "case " << i;
    }
}

TEST(QtMainExecutor, CancelledTimersNeverRun) {
    auto executor = std::make_shared<QtMainExecutor>();
    int cancelledRan = 0;
    auto destroyedOn = std::make_shared<std::thread::id>();
    Timer here = executor->after(0.001, [&] { ++cancelledRan; });
    Timer there;
    std::thread([&] {
        there =
            executor->after(0.001, [&, token = threadRecorder(destroyedOn)] { ++cancelledRan; });
        there.cancel();
    }).join();
    here.cancel();
    {
        Timer dropped = executor->after(0.001, [&] { ++cancelledRan; });
    }
    bool sentinel = false;
    Timer last = executor->after(0.02, [&] { sentinel = true; });
    runUntil([&] { return sentinel; });
    EXPECT_TRUE(sentinel);
    EXPECT_EQ(cancelledRan, 0);
    EXPECT_EQ(*destroyedOn, std::this_thread::get_id());
}

TEST(QtMainExecutor, WorkAfterTheLoopEndedNeverRunsAndDiesOnTheGuiThread) {
    auto executor = std::make_shared<QtMainExecutor>();
    bool ranBefore = false;
    executor->post([&] { ranBefore = true; });
    runUntil([&] { return ranBefore; });
    executor->close();

    bool ran = false;
    auto postedDestroyedOn = std::make_shared<std::thread::id>();
    auto queuedDestroyedOn = std::make_shared<std::thread::id>();
    std::thread poster([&] {
        executor->post([&ran, token = threadRecorder(postedDestroyedOn)] { ran = true; });
        Timer timer =
            executor->after(0, [&ran, token = threadRecorder(queuedDestroyedOn)] { ran = true; });
        // Dropping the handle cancels; the work must still die on the GUI thread.
    });
    poster.join();
    QCoreApplication::processEvents();
    executor.reset();
    EXPECT_FALSE(ran);
    EXPECT_EQ(*postedDestroyedOn, std::this_thread::get_id());
    EXPECT_EQ(*queuedDestroyedOn, std::this_thread::get_id());
}

}  // namespace
}  // namespace quillory
