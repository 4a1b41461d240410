#include "app/session/session_input_receivers.h"

#include <atomic>
#include <thread>

#include "app/desktop-control/tests/worker_fixture.h"

namespace quillory::testing {
namespace {

using Kind = DesktopAction::Kind;

class ReceiversTest : public WorkerTest {
  protected:
    SessionInputReceivers make() {
        return SessionInputReceivers::make(worker, connection, [this](const Uuid& ended) {
            EXPECT_EQ(ended, connection);
            ++endings;
        });
    }
    std::atomic<int> endings{0};
};

TEST_F(ReceiversTest, InputReachesTheWorkerUntilTheStreamEnds) {
    auto receivers = make();
    receivers.samples({sample(1, Phase::began)});
    worker->drain();
    EXPECT_TRUE(sink->recording.buttonDown());

    // Cancelled lifts the pen and keeps the connection.
    receivers.cancelled();
    worker->drain();
    EXPECT_TRUE(sink->recording.allUp());
    receivers.action(action(Kind::tap, {DesktopKey::a}));
    worker->drain();
    EXPECT_GT(sink->recording.count(), 0u);

    receivers.ended();
    EXPECT_EQ(endings, 1);
    sink->recording.clear();
    receivers.samples({sample(2, Phase::began)});
    receivers.action(action(Kind::tap, {DesktopKey::b}));
    worker->drain();
    EXPECT_TRUE(events().empty());
}

TEST_F(ReceiversTest, AGoneWorkerMakesThemInert) {
    auto receivers = make();
    worker->shutdown();
    worker.reset();
    receivers.samples({sample(1, Phase::began)});
    receivers.action(action(Kind::tap, {DesktopKey::a}));
    receivers.cancelled();
    receivers.ended();
    EXPECT_EQ(endings, 0);
    EXPECT_TRUE(events().empty());
    // TearDown shuts the worker down; give it one that was never used.
    worker = DesktopInputWorker::create(testEnvironment(sink, clock, desktop));
}

// The receivers run on one transport queue while the main thread reconfigures the worker.
TEST_F(ReceiversTest, InputRacesTheMainThreadsBarriers) {
    auto receivers = make();
    std::thread transport([&receivers, this] {
        for (std::uint64_t i = 1; i <= 400; ++i) {
            receivers.samples({sample(i, i % 2 ? Phase::began : Phase::ended)});
            receivers.action(action(Kind::tap, {DesktopKey::a}));
            if (i % 50 == 0) {
                receivers.cancelled();
            }
        }
        receivers.ended();
    });
    for (int i = 0; i < 50; ++i) {
        enable(i % 2 == 0);
    }
    transport.join();
    worker->drain();
    EXPECT_EQ(endings, 1);
    EXPECT_TRUE(sink->recording.allUp());
}

// The session, and with it the worker, may go while the tablet's input still arrives.
TEST_F(ReceiversTest, TheWorkerMayGoWhileInputArrives) {
    auto receivers = make();
    std::thread transport([&receivers] {
        for (std::uint64_t i = 1; i <= 400; ++i) {
            receivers.samples({sample(i, Phase::hover)});
        }
        receivers.ended();
    });
    worker->shutdown();
    worker.reset();
    transport.join();
    EXPECT_LE(endings, 1);
    worker = DesktopInputWorker::create(testEnvironment(sink, clock, desktop));
}

}  // namespace
}  // namespace quillory::testing
