#pragma once

#include <sys/socket.h>

#include <chrono>
#include <functional>
#include <memory>

#include "core/link/pen_channel.h"
#include "core/link/tests/memory_secret.h"
#include "core/link/tests/scripted_pad.h"
#include "platform/dispatch/main_queue.h"
#include "platform/dispatch/testing/manual_main_executor.h"

namespace quillory::testing {

// A host channel brought to ready by a scripted tablet, for the fuzz target and the benchmark.
// The calling thread is the main queue's thread.
class ReadyHost {
  public:
    using SamplesReceiver = std::function<void(const std::vector<PenSample>&)>;

    explicit ReadyHost(SamplesReceiver samples = {}) : samples_(std::move(samples)) {
        MainQueue::install(main);
    }
    ~ReadyHost() { shutdown(); }

    bool open() {
        int fds[2];
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) {
            return false;
        }
        pad = std::make_unique<ScriptedPad>(fds[1]);
        channel = PenChannel::create(StreamConnection(fds[0]), SessionRole::mac, "Host",
                                     memoryStore(), Uuid::random(), std::nullopt, true,
                                     {timers, std::nullopt, std::nullopt});
        bool pairing = false;
        bool ready = false;
        channel->onPairing = [&pairing](const std::string&, const std::string&) { pairing = true; };
        channel->onReady = [&ready] { ready = true; };
        channel->setInputReceivers(samples_, {}, {}, {});
        channel->start();
        if (!pad->pair([&] { return runUntil([&] { return pairing; }) && channel->approve(); }) ||
            !runUntil([&] { return ready; })) {
            return false;
        }
        channel->onPairing = nullptr;
        channel->onReady = nullptr;
        return true;
    }

    // Closes the channel and waits until it is gone.
    void shutdown() {
        if (!channel) {
            return;
        }
        std::weak_ptr<PenChannel> gone = channel;
        channel->close(ConnectionEnd(ConnectionEnd::Case::stopped), PenChannel::Cause::application);
        channel.reset();
        runUntil([&] { return gone.expired(); });
        pad.reset();
    }

    bool runUntil(const std::function<bool()>& condition) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!condition()) {
            if (std::chrono::steady_clock::now() > deadline) {
                return false;
            }
            main->waitForWork(0.05);
            main->runUntilIdle();
        }
        return true;
    }

    std::shared_ptr<FakeClock> clock = std::make_shared<FakeClock>();
    std::shared_ptr<ManualMainExecutor> main = std::make_shared<ManualMainExecutor>(clock);
    std::shared_ptr<FakeTransportTimers> timers = std::make_shared<FakeTransportTimers>(clock);
    std::shared_ptr<PenChannel> channel;
    std::unique_ptr<ScriptedPad> pad;

  private:
    SamplesReceiver samples_;
};

}  // namespace quillory::testing
