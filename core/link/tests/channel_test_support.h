#pragma once

#include <gtest/gtest.h>
#include <sys/socket.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/link/pen_channel.h"
#include "core/link/testing/memory_trust_store.h"
#include "core/link/testing/scripted_pad.h"
#include "platform/dispatch/main_queue.h"
#include "platform/dispatch/testing/manual_executor.h"

namespace quillory::testing {

inline std::pair<int, int> socketPair() {
    int fds[2] = {-1, -1};
    EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds), 0);
    return {fds[0], fds[1]};
}

inline PenSample movedSample(double x, std::uint64_t sequence = 0) {
    return {sequence, PenSample::Phase::moved, x, 0.5, 0.5, 1.0};
}

inline DesktopContext editorContext() {
    return {Uuid::random(), DesktopContext::Platform::windows, "org.example.editor", "Editor"};
}

// What one channel reported, in order. Main-queue callbacks run on the test thread; the input
// receivers run on the transport queue and are counted atomically.
struct ChannelEvents {
    std::vector<std::string> log;
    std::optional<std::string> code;
    std::optional<ConnectionEnd> end;
    int endedCount = 0;
    int readyCount = 0;
    std::vector<LinkLatency> latencies;
    std::vector<std::pair<RememberedDevice, Uuid>> peers;
    std::vector<DisplayGeometry> displays;
    std::vector<ControlsSignal> controls;
    std::vector<DesktopContext> contexts;

    std::atomic<int> samplesReceived{0};
    std::atomic<int> actionsReceived{0};
    std::atomic<int> cancelledReceived{0};
    std::atomic<int> endedReceived{0};

    // Where the first entry starting with this text is in the log; its size when none does.
    std::size_t at(std::string_view prefix) const {
        return static_cast<std::size_t>(
            std::find_if(log.begin(), log.end(),
                         [&](const auto& entry) { return entry.rfind(prefix, 0) == 0; }) -
            log.begin());
    }
    bool has(std::string_view prefix) const { return at(prefix) < log.size(); }
};

inline void observe(PenChannel& channel, const std::shared_ptr<ChannelEvents>& events) {
    channel.onPairing = [events](const std::string& code, const std::string& name) {
        events->code = code;
        events->log.push_back("pairing " + name);
    };
    channel.onReady = [events] {
        ++events->readyCount;
        events->log.push_back("ready");
    };
    channel.onApprovalChange = [events](bool local, bool remote) {
        events->log.push_back(std::string("approval ") + (local ? "1" : "0") +
                              (remote ? "1" : "0"));
    };
    channel.onLatency = [events](LinkLatency latency) { events->latencies.push_back(latency); };
    channel.onEnded = [events](ConnectionEnd end) {
        ++events->endedCount;
        events->end = end;
    };
    channel.onPeer = [events](RememberedDevice device, Uuid intent) {
        events->peers.emplace_back(device, intent);
        events->log.push_back("peer " + device.name);
    };
    channel.onDisplay = [events](DisplayGeometry display) { events->displays.push_back(display); };
    channel.onControls = [events](ControlsSignal signal) { events->controls.push_back(signal); };
    channel.onDesktopContext = [events](DesktopContext context) {
        events->contexts.push_back(context);
    };
    channel.setInputReceivers(
        [events](const std::vector<PenSample>& samples) {
            events->samplesReceived += static_cast<int>(samples.size());
        },
        [events](const DesktopAction&) { ++events->actionsReceived; },
        [events] { ++events->cancelledReceived; }, [events] { ++events->endedReceived; });
}

// Installs a manual main queue with a fake clock for each test.
class ChannelTest : public ::testing::Test {
  protected:
    void SetUp() override {
        clock = std::make_shared<FakeClock>();
        main = std::make_shared<ManualExecutor>(clock);
        MainQueue::install(main);
        timers = std::make_shared<ManualExecutor>(clock);
    }
    void TearDown() override {
        for (auto& channel : channels) {
            channel->close(ConnectionEnd(ConnectionEnd::Case::stopped),
                           PenChannel::Cause::application);
        }
        // Each channel goes away on this thread once its queue has handed back every reference.
        std::vector<std::weak_ptr<PenChannel>> gone(channels.begin(), channels.end());
        channels.clear();
        EXPECT_TRUE(runUntil([&] {
            return std::all_of(gone.begin(), gone.end(),
                               [](const auto& channel) { return channel.expired(); });
        }));
    }

    // Runs main-queue work as it arrives until the condition holds; false after 10 s of waiting.
    bool runUntil(const std::function<bool()>& condition) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        for (;;) {
            main->runUntilIdle();
            if (condition()) {
                return true;
            }
            if (std::chrono::steady_clock::now() > deadline) {
                return false;
            }
            main->waitForWork(0.05);
        }
    }

    struct Endpoint {
        std::shared_ptr<PenChannel> channel;
        std::shared_ptr<ChannelEvents> events;
    };

    Endpoint endpoint(int fd, SessionRole role, std::shared_ptr<DeviceTrustStore> store,
                      Uuid intent, std::optional<std::string> expectedPeer = std::nullopt,
                      bool allowPairing = true, PenChannel::Options options = {}) {
        if (!options.timers) {
            options.timers = timers;
            options.clock = clock;
        }
        auto channel = PenChannel::create(
            StreamConnection(fd), role, role == SessionRole::mac ? "Test Mac" : "Test iPad",
            std::move(store), intent, std::move(expectedPeer), allowPairing, std::move(options));
        auto events = std::make_shared<ChannelEvents>();
        observe(*channel, events);
        channels.push_back(channel);
        return {channel, events};
    }

    std::shared_ptr<FakeClock> clock;
    std::shared_ptr<ManualExecutor> main;
    std::shared_ptr<ManualExecutor> timers;  // the transport queues' timers
    std::vector<std::shared_ptr<PenChannel>> channels;
};

}  // namespace quillory::testing
