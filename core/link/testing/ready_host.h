#pragma once

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <system_error>

#include "core/link/pen_channel.h"
#include "core/link/testing/memory_trust_store.h"
#include "core/link/testing/scripted_pad.h"
#include "platform/dispatch/main_queue.h"
#include "platform/dispatch/testing/manual_executor.h"

namespace quillory::testing {

// A host channel brought to ready by a scripted tablet, for the fuzz target and the benchmark.
// The calling thread is the main queue's thread. Waits are generous: a loaded machine running
// sanitizers is slow, and a real hang still shows.
class ReadyHost {
  public:
    using SamplesReceiver = std::function<void(const std::vector<PenSample>&)>;
    static constexpr std::chrono::seconds patience{60};

    explicit ReadyHost(SamplesReceiver samples = {}) : samples_(std::move(samples)) {
        MainQueue::install(main);
    }
    ~ReadyHost() { shutdown(); }

    // Nothing once the host is ready, else which step failed and why.
    std::optional<std::string> open() {
        using Kind = SessionPayload::Kind;
        const auto began = std::chrono::steady_clock::now();
        int fds[2];
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) {
            return std::string("socketpair: ") + std::strerror(errno);
        }
        pad = std::make_unique<ScriptedPad>(fds[1], patience);
        try {
            channel = PenChannel::create(StreamConnection(fds[0]), SessionRole::mac, "Host",
                                         memoryStore(), Uuid::random(), std::nullopt, true,
                                         {timers, clock, std::nullopt, std::nullopt});
        } catch (const std::system_error& error) {
            return std::string("the transport queue did not start: ") + error.what();
        }
        if (!channel) {
            return "the host channel could not be created";
        }
        bool pairing = false;
        bool ready = false;
        channel->onPairing = [&pairing](const std::string&, const std::string&) { pairing = true; };
        channel->onReady = [&ready] { ready = true; };
        channel->setInputReceivers(samples_, {}, {}, {});
        channel->start();
        const std::pair<const char*, std::function<bool()>> steps[] = {
            {"exchanging commits", [&] { return pad->exchangeCommits(); }},
            {"sending the tablet's hello", [&] { return pad->sendHello(pad->hello()); }},
            {"reading the host's hello", [&] { return pad->readHello(); }},
            {"reading \"unknown\"", [&] { return pad->expect(Kind::unknown); }},
            {"sending \"unknown\"", [&] { return pad->send(Kind::unknown); }},
            {"waiting for the code", [&] { return runUntil([&] { return pairing; }); }},
            {"approving on the host", [&] { return channel->approve(); }},
            {"reading \"approve\"", [&] { return pad->expect(Kind::approve); }},
            {"sending \"approve\"", [&] { return pad->send(Kind::approve); }},
            {"reading \"saved\"", [&] { return pad->expect(Kind::saved); }},
            {"sending \"saved\"", [&] { return pad->send(Kind::saved); }},
            {"waiting for ready", [&] { return runUntil([&] { return ready; }); }},
        };
        for (const auto& [name, step] : steps) {
            if (!step()) {
                channel->onPairing = nullptr;
                channel->onReady = nullptr;
                return std::string("the host did not get ready, ") + name + " failed after " +
                       std::to_string(secondsSince(began)) + " s; tablet: " +
                       (pad->raw.failure().empty() ? "no error" : pad->raw.failure()) +
                       "; host: " + state();
            }
        }
        channel->onPairing = nullptr;
        channel->onReady = nullptr;
        return std::nullopt;
    }

    // How the host channel stands, for reports.
    std::string state() const {
        if (!channel) {
            return "none";
        }
        const auto cause = channel->closedCause();
        return cause ? std::string("closed, ") + PenChannel::Termination::rawValue(*cause) : "open";
    }

    // Closes the channel and waits until it is gone; false when it stays (a leak).
    bool shutdown() {
        if (!channel) {
            return true;
        }
        std::weak_ptr<PenChannel> gone = channel;
        channel->close(ConnectionEnd(ConnectionEnd::Case::stopped), PenChannel::Cause::application);
        channel.reset();
        const bool released = runUntil([&] { return gone.expired(); });
        pad.reset();
        return released;
    }

    // Runs main-queue work until the condition holds or the host channel has closed.
    bool runUntil(const std::function<bool()>& condition) {
        const auto deadline = std::chrono::steady_clock::now() + patience;
        while (!condition()) {
            if (std::chrono::steady_clock::now() > deadline ||
                (channel && channel->closedCause())) {
                main->runUntilIdle();
                return condition();
            }
            main->waitForWork(0.05);
            main->runUntilIdle();
        }
        return true;
    }

    std::shared_ptr<FakeClock> clock = std::make_shared<FakeClock>();
    std::shared_ptr<ManualExecutor> main = std::make_shared<ManualExecutor>(clock);
    // The transport's timers, moved by hand like the main queue's.
    std::shared_ptr<ManualExecutor> timers = std::make_shared<ManualExecutor>(clock);
    std::shared_ptr<PenChannel> channel;
    std::unique_ptr<ScriptedPad> pad;

  private:
    static double secondsSince(std::chrono::steady_clock::time_point start) {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }

    SamplesReceiver samples_;
};

}  // namespace quillory::testing
