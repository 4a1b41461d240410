#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "media/studio_peer.h"
#include "media/tests/studio_peer_fixture.h"
#include "platform/dispatch/serial_queue.h"

namespace quillory {
namespace {

// The peer's own queues are real threads here; the test thread is the main thread.
class StudioPeerThreadsTest : public StudioPeerFixture {
  public:
    void makeWithQueues() {
        StudioPeer::Environment environment{
            .transportFactory = factory,
            .main = main,
            .controlQueue = control,
            .statisticsQueue = statistics,
            .clock = clock,
        };
        peer =
            StudioPeer::create(environment, std::make_shared<UnusedEncoderFactory>(), "127.0.0.1");
        transport = factory->last();
    }

    // Runs main-thread work until `done` holds; work arrives from the queues.
    template <typename Done>
    bool runUntil(Done done) {
        for (int i = 0; i < 10'000 && !done(); ++i) {
            main->waitForWork(0.01);
            run();
        }
        return done();
    }

    // Every queue has run what it had when this was called, and main what that posted.
    void drain() {
        std::atomic<int> marks = 0;
        control->post([&] { main->post([&] { ++marks; }); });
        statistics->post([&] { main->post([&] { ++marks; }); });
        ASSERT_TRUE(runUntil([&] { return marks == 2; }));
    }

    std::shared_ptr<SerialQueue> control =
        std::make_shared<SerialQueue>("app.quillory.media.adaptation");
    std::shared_ptr<SerialQueue> statistics =
        std::make_shared<SerialQueue>("app.quillory.media.statistics");
};

TEST_F(StudioPeerThreadsTest, FrameGateHoldsUnderManyCaptureThreads) {
    makeWithQueues();
    peer->start(1280, 720, StudioPreset::balanced);
    const StudioFrameSink sink = peer->makeFrameSink();
    ASSERT_TRUE(sink);
    const auto buffer = PixelBuffer::allocate(16, 16);

    std::atomic<std::int64_t> clockNs = 0;
    std::atomic<bool> stop = false;
    std::vector<std::thread> capture;
    for (int t = 0; t < 8; ++t) {
        capture.emplace_back([&] {
            while (!stop) {
                sink(buffer, ++clockNs);
            }
        });
    }
    for (int i = 0; i < 200; ++i) {
        transport->changeConnection(i % 2 == 0 ? PeerConnectionState::connected
                                               : PeerConnectionState::disconnected);
        run();
    }
    transport->changeConnection(PeerConnectionState::connected);
    run();
    peer->close();
    const std::size_t atClose = transport->source()->frameCount();
    // Frames that passed the gate just before close may still be on their way in.
    stop = true;
    for (std::thread& thread : capture) {
        thread.join();
    }
    const std::vector<std::int64_t> delivered = transport->source()->timestamps();
    EXPECT_LE(delivered.size(), atClose + capture.size());
    EXPECT_EQ(std::set<std::int64_t>(delivered.begin(), delivered.end()).size(), delivered.size())
        << "no timestamp admitted twice";
    drain();
}

TEST_F(StudioPeerThreadsTest, HandOffsAndCompletionsCrossTheControlQueueWhileApplyAndCloseRun) {
    makeWithQueues();
    std::mutex answeredMutex;
    std::vector<std::function<void(bool)>> toAnswer;
    std::atomic<int> handOffs = 0;
    peer->onOperatingPointChanged = [&](const StudioOperatingPoint&,
                                        std::function<void(bool)> completion) {
        ++handOffs;
        std::lock_guard lock(answeredMutex);
        toAnswer.push_back(std::move(completion));
    };
    std::atomic<int> formats = 0;
    peer->onSourceFormatChanged = [&] { ++formats; };
    std::atomic<bool> failed = false;
    peer->onFailure = [&](const std::string&) { failed = true; };

    peer->start(1920, 1080, StudioPreset::balanced);
    transport->changeConnection(PeerConnectionState::connected);
    run();

    // The owner answers from a thread of its own.
    std::atomic<bool> stop = false;
    std::thread owner([&] {
        while (!stop) {
            std::vector<std::function<void(bool)>> batch;
            {
                std::lock_guard lock(answeredMutex);
                batch.swap(toAnswer);
            }
            for (auto& completion : batch) {
                completion(true);
            }
            std::this_thread::yield();
        }
    });

    const StudioStreamConfiguration sizes[] = {
        {StudioPreset::balanced, 1920, 1080},
        {StudioPreset::quality, 2388, 1668},
        {StudioPreset::responsive, 1280, 800},
    };
    for (int i = 0; i < 300; ++i) {
        peer->apply(sizes[i % 3]);
        peer->submit(StudioEncoderFeedback{.observedAt = clock->nowSeconds()}, std::nullopt);
        if (i % 50 == 25) {
            transport->changeConnection(PeerConnectionState::disconnected);
            transport->changeConnection(PeerConnectionState::connected);
        }
        clock->advance(0.01);
        main->waitForWork(0.001);
        run();
    }
    ASSERT_TRUE(runUntil([&] { return handOffs > 0 && formats > 0; }));
    peer->close();
    stop = true;
    owner.join();
    for (auto& completion : toAnswer) {
        completion(true);  // late answers after close
    }
    drain();
    EXPECT_FALSE(failed);
    EXPECT_TRUE(peer->closed());
}

}  // namespace
}  // namespace quillory
