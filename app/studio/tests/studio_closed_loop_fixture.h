#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "app/studio/tests/studio_closed_loop.h"
#include "media/tests/studio_loopback_fixture.h"
#include "tests/support/busy_frame.h"
#include "tests/support/udp_relay.h"

namespace quillory {

// The Studio encoder factory and the adaptation policy in the loop over real transports, with
// or without the shaping relay between them, fed by frames that use whatever rate they are given.
class StudioClosedLoopFixture : public StudioLoopbackFixture {
  protected:
    struct PolicyState {
        StudioOperatingPoint target;
        StudioOperatingPoint top;
        bool confirmed = false;
        std::string reason;
    };

    void SetUp() override {
        sourceWidth = 1920;
        sourceHeight = 1080;
        sourceFramesPerSecond = 60;
        requestedAt = uptimeSeconds();
        factory = std::make_shared<StudioHardwareEncoderFactory>(
            [this](const std::string& message) { note([&] { failures.push_back(message); }); },
            std::make_shared<SystemClock>());
        if (trace) {
            factory->setTrace(trace);
        }
        if (throughRelay) {
            relay = testing::UdpRelay::create(23);
            ASSERT_TRUE(relay);
            relay->setShaping(initialShaping);
        }
        makePeer(factory);
        runOnMain([this] {
            wireStudioLoop(peer, factory, main);
            // Each change of point with the reason the policy gave for it.
            peer->onOperatingPointChanged = [this, wired = peer->onOperatingPointChanged](
                                                const StudioOperatingPoint& point,
                                                std::function<void(bool)> completion) {
                control->post([this, point] {
                    const auto& policy = peer->operatingPolicy();
                    const std::string reason = policy && policy->assessment()
                                                   ? policy->assessment()->reason
                                                   : std::string();
                    note([&] { changes.emplace_back(uptimeSeconds(), point, reason); });
                });
                wired(point, std::move(completion));
            };
        });
        start();
        if (HasFatalFailure()) {
            return;
        }
        if (relay) {
            {
                std::lock_guard lock(mutex);
                offer = relay->rewriteOffer(*offer);
            }
            deliverAnswer(relay->rewriteAnswer(answerOffer()));
        } else {
            deliverAnswer(answerOffer());
        }
        ASSERT_TRUE(waitFor([this] { return connected || !failures.empty(); }, 15));
        ASSERT_TRUE(connected) << failures.front();
        startSource([index = std::uint32_t{0}](PixelBuffer& buffer) mutable {
            testing::paintBusyFrame(index++, buffer);
        });
    }

    void TearDown() override { stopSource(); }

    PolicyState policy() {
        PolicyState state;
        runOn(*control, [&] {
            if (const auto& policy = peer->operatingPolicy()) {
                state.target = policy->target();
                state.top = policy->candidates().back();
                state.confirmed = policy->confirmed();
                state.reason = policy->assessment() ? policy->assessment()->reason : "";
            }
        });
        return state;
    }

    // Checks the policy after each statistics report until `done` holds or the time is up;
    // returns the seconds it took.
    std::optional<double> policyUntil(const std::function<bool(const PolicyState&)>& done,
                                      double seconds) {
        const double from = uptimeSeconds();
        while (uptimeSeconds() - from < seconds) {
            std::size_t seen = 0;
            {
                std::lock_guard lock(mutex);
                seen = reports.size();
            }
            if (done(policy())) {
                return uptimeSeconds() - from;
            }
            waitFor([&] { return reports.size() > seen || !failures.empty(); }, 2);
            if (std::lock_guard lock(mutex); !failures.empty()) {
                ADD_FAILURE() << failures.front();
                return std::nullopt;
            }
        }
        return std::nullopt;
    }

    // Seconds from `since` to the first change of point after it that `matches`, waiting up to
    // `seconds` for one.
    std::optional<double> changeAfter(
        double since, double seconds,
        const std::function<bool(const StudioOperatingPoint&, const std::string&)>& matches) {
        std::optional<double> found;
        waitFor(
            [&] {
                for (const auto& [at, point, reason] : changes) {
                    if (at >= since && matches(point, reason)) {
                        found = at - since;
                        return true;
                    }
                }
                return !failures.empty();
            },
            seconds);
        return found;
    }

    // The decoded frames since `from` on the uptime clock, and the longest gap between them.
    std::pair<std::vector<Received>, double> decodedSince(double from) {
        std::lock_guard lock(mutex);
        std::vector<Received> since;
        for (const Received& frame : frames) {
            if (static_cast<double>(frame.decodedAt) / 1e9 >= from) {
                since.push_back(frame);
            }
        }
        double gap = 0;
        for (std::size_t index = 1; index < since.size(); ++index) {
            gap = std::max(
                gap,
                static_cast<double>(since[index].decodedAt - since[index - 1].decodedAt) / 1e9);
        }
        return {since, gap};
    }

    // Set before SetUp: whether the shaping relay stands between the peers and how it starts,
    // and a trace for the factory.
    bool throughRelay = true;
    testing::UdpRelay::Shaping initialShaping;
    std::shared_ptr<StudioPerformanceTrace> trace;

    double requestedAt = 0;
    std::shared_ptr<StudioHardwareEncoderFactory> factory;
    std::unique_ptr<testing::UdpRelay> relay;
    std::vector<std::tuple<double, StudioOperatingPoint, std::string>> changes;
};

}  // namespace quillory
