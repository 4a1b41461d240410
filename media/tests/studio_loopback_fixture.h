#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "media/interactive_h264_factory.h"
#include "media/studio_default_transport.h"
#include "media/studio_peer.h"
#include "platform/clock/clock.h"
#include "platform/dispatch/main_queue.h"
#include "platform/dispatch/serial_queue.h"
#include "platform/webrtc/gstreamer/video_receiver.h"
#include "tests/support/frame_barcode.h"

namespace quillory {

// The first numeric value of `key` in an entry of `type`.
inline std::optional<double> statisticValue(const StudioStatisticsReport& report,
                                            const std::string& type, const std::string& key) {
    for (const StudioStatistics& entry : report.statistics) {
        if (entry.type == type && entry.values.contains(key)) {
            if (const auto* number = std::get_if<double>(&entry.values.at(key))) {
                return *number;
            }
        }
    }
    return std::nullopt;
}

// A real StudioPeer over the webrtcbin transport, answered by a VideoReceiver over 127.0.0.1,
// fed by a paced source of barcoded frames. Waits are on conditions with a deadline.
class StudioLoopbackFixture : public ::testing::Test {
  public:
    struct Received {
        std::optional<std::uint32_t> barcode;
        int width = 0;
        int height = 0;
        bool keyframe = false;
        std::int64_t decodedAt = 0;
    };

    static constexpr int width = 1280;
    static constexpr int height = 720;
    static constexpr int framesPerSecond = 30;

    ~StudioLoopbackFixture() override {
        stopSource();
        runOnMain([this] {
            if (peer) {
                peer->close();
            }
        });
        if (receiver) {
            receiver->close();
        }
        runOnMain([this] { peer.reset(); });
    }

    // Stops the source, closes both ends and forgets the stream, for a test that starts another.
    void endStream() {
        stopSource();
        runOnMain([this] {
            peer->close();
            peer.reset();
        });
        receiver->close();
        receiver.reset();
        std::lock_guard lock(mutex);
        offer.reset();
        connected = false;
        frames.clear();
    }

    // Runs work on the main executor and waits for it.
    void runOnMain(std::function<void()> work) { runOn(*main, std::move(work)); }

    // Runs work on an executor of the fixture and waits for it.
    void runOn(Executor& executor, std::function<void()> work) {
        std::mutex doneMutex;
        std::condition_variable doneChanged;
        bool done = false;
        executor.post([&] {
            work();
            std::lock_guard lock(doneMutex);
            done = true;
            doneChanged.notify_all();
        });
        std::unique_lock lock(doneMutex);
        doneChanged.wait(lock, [&] { return done; });
    }

    // Waits until the predicate (read under the fixture's lock) holds, or the deadline passes.
    bool waitFor(const std::function<bool()>& predicate, double seconds) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, std::chrono::duration<double>(seconds), predicate);
    }

    static double uptimeSeconds() { return static_cast<double>(uptimeNanoseconds()) / 1e9; }

    // Waits until a statistics report arrives at or after `at` on the uptime clock.
    bool waitForReportAfter(double at, double seconds) {
        return waitFor([&] { return !reportSeconds.empty() && reportSeconds.back() >= at; },
                       seconds);
    }

    void note(const std::function<void()> change) {
        std::lock_guard lock(mutex);
        change();
        changed.notify_all();
    }

    void makePeer(std::shared_ptr<VideoEncoderFactory> encoderFactory = nullptr) {
        runOnMain([this, encoderFactory] {
            StudioPeer::Environment environment{
                .transportFactory = studioDefaultTransportFactory(),
                .main = main,
                .controlQueue = control,
                .statisticsQueue = statistics,
                .clock = std::make_shared<SystemClock>(),
            };
            peer = StudioPeer::create(environment, encoderFactory, "127.0.0.1");
            peer->onDescription = [this](const std::string& sdp) { note([&] { offer = sdp; }); };
            peer->onConnected = [this] { note([&] { connected = true; }); };
            peer->onRecovering = [this](bool on) {
                note([&] { events.push_back(on ? "recovering 1" : "recovering 0"); });
            };
            peer->onFailure = [this](const std::string& text) {
                note([&] { failures.push_back(text); });
            };
            peer->onStatistics = [this](const StudioStatisticsReport& report,
                                        const std::optional<StudioMediaInterval>& interval) {
                note([&] {
                    reports.push_back(report);
                    reportSeconds.push_back(static_cast<double>(uptimeNanoseconds()) / 1e9);
                    intervals.push_back(interval);
                });
            };
        });
    }

    void start() {
        runOnMain([this] { peer->start(sourceWidth, sourceHeight, StudioPreset::balanced); });
        ASSERT_TRUE(waitFor([this] { return offer.has_value(); }, 10)) << "no offer";
    }

    // The receiver's answer to the offer, before it reaches the peer.
    std::string answerOffer() {
        receiver = VideoReceiver::create(
            "127.0.0.1", InteractiveH264Factory::codecList(),
            [this](const VideoReceiver::Frame& frame) {
                Received received{testing::readFrameBarcode(frame.luma.data(), frame.width,
                                                            frame.height, frame.width),
                                  frame.width, frame.height, frame.keyframe,
                                  frame.decodedAtNanoseconds};
                note([&] { frames.push_back(received); });
            });
        EXPECT_TRUE(receiver);
        if (!receiver) {
            return {};
        }
        if (configureReceiver) {
            configureReceiver(*receiver);
        }
        std::optional<std::string> answer;
        std::string error;
        bool done = false;
        receiver->answer(*offer, [&, this](std::optional<std::string> sdp, std::string failure) {
            note([&] {
                answer = std::move(sdp);
                error = std::move(failure);
                done = true;
            });
        });
        EXPECT_TRUE(waitFor([&] { return done; }, 10));
        EXPECT_TRUE(answer) << error;
        return answer.value_or("");
    }

    void deliverAnswer(const std::string& sdp) {
        runOnMain([this, sdp] {
            peer->receive(StudioSignal{.kind = StudioSignal::Kind::answer, .sdp = sdp});
        });
    }

    void connect() {
        start();
        deliverAnswer(answerOffer());
        ASSERT_TRUE(waitFor([this] { return connected || !failures.empty(); }, 15));
        ASSERT_TRUE(connected) << failures.front();
    }

    // Paces barcoded frames at the stream's rate from a thread of the fixture; the luma is mid
    // grey unless paintLuma draws it.
    void startSource(std::function<void(PixelBuffer&)> paintLuma = {}) {
        StudioFrameSink sink;
        runOnMain([&] { sink = peer->makeFrameSink(); });
        ASSERT_TRUE(sink);
        source = std::jthread([this, sink,
                               paintLuma = std::move(paintLuma)](std::stop_token stop) mutable {
            auto pool = PixelBufferPool::create(sourceWidth, sourceHeight, 4);
            const auto interval = std::chrono::nanoseconds(1'000'000'000 / sourceFramesPerSecond);
            auto next = std::chrono::steady_clock::now();
            for (std::uint32_t counter = 0; !stop.stop_requested(); ++counter) {
                if (auto buffer = pool->take()) {
                    if (paintLuma) {
                        paintLuma(*buffer);
                    } else {
                        std::fill_n(buffer->dataY(),
                                    static_cast<std::size_t>(buffer->strideY() * buffer->height()),
                                    128);
                    }
                    std::fill_n(buffer->dataUV(),
                                static_cast<std::size_t>(buffer->strideUV() * buffer->height() / 2),
                                128);
                    testing::paintFrameBarcode(counter, *buffer);
                    const auto handedAt = static_cast<std::int64_t>(uptimeNanoseconds());
                    sink(buffer, handedAt);
                    note([&] {
                        sent = counter + 1;
                        sinkTimes.resize(counter + 1);
                        sinkTimes[counter] = handedAt;
                    });
                }
                // The frame clock of the source, not a wait for anything.
                next += interval;
                if (sourceStallEvery > 0 && counter % sourceStallEvery == sourceStallEvery - 1) {
                    next += sourceStall;
                }
                std::this_thread::sleep_until(next);
            }
        });
    }

    void stopSource() {
        source.request_stop();
        if (source.joinable()) {
            source.join();
        }
    }

    // The size the stream starts with and startSource's frames have, and their pace.
    int sourceWidth = width;
    int sourceHeight = height;
    int sourceFramesPerSecond = framesPerSecond;
    // Every sourceStallEvery-th frame is followed by a pause of sourceStall, as a busy machine or
    // an idle screen makes one.
    std::uint32_t sourceStallEvery = 0;
    std::chrono::milliseconds sourceStall{0};
    std::shared_ptr<Executor> main = std::make_shared<SerialQueue>("main");
    std::shared_ptr<Executor> control =
        std::make_shared<SerialQueue>("app.quillory.media.adaptation");
    std::shared_ptr<Executor> statistics =
        std::make_shared<SerialQueue>("app.quillory.media.statistics");
    std::shared_ptr<StudioPeer> peer;
    std::shared_ptr<VideoReceiver> receiver;
    // Runs on the receiver before it answers.
    std::function<void(VideoReceiver&)> configureReceiver;
    std::jthread source;

    std::mutex mutex;
    std::condition_variable changed;
    std::optional<std::string> offer;
    bool connected = false;
    std::vector<std::string> events;
    std::vector<std::string> failures;
    std::vector<StudioStatisticsReport> reports;
    std::vector<double> reportSeconds;  // when each report arrived, on the uptime clock
    std::vector<std::optional<StudioMediaInterval>> intervals;
    std::vector<Received> frames;
    std::uint32_t sent = 0;
    // When each counter's frame went to the sink; 0 for a counter the pool had no buffer for.
    std::vector<std::int64_t> sinkTimes;
};

}  // namespace quillory
