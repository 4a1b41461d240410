#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <variant>
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
                    // Not the latest assessment: a report evaluated since the change was handed
                    // to the main thread would give its own reason.
                    const auto& policy = peer->operatingPolicy();
                    const std::string reason = policy ? policy->changeReason() : std::string();
                    note([&] {
                        const double at = uptimeSeconds();
                        changes.emplace_back(at, point, reason);
                        char line[96];
                        std::snprintf(line, sizeof line, "%.3f change to %dx%d@%d: %s", at,
                                      point.size.width, point.size.height, point.framesPerSecond,
                                      reason.c_str());
                        trail.emplace_back(at, line);
                    });
                });
                wired(point, std::move(completion));
            };
            // After each report, the estimate and what the policy made of it, read on the control
            // queue right behind the observation the report brought.
            peer->onStatistics = [this, wired = peer->onStatistics](
                                     const StudioStatisticsReport& report,
                                     const std::optional<StudioMediaInterval>& interval) {
                wired(report, interval);
                std::optional<double> estimate;
                for (const StudioStatistics& entry : report.statistics) {
                    const auto found = entry.values.find("availableOutgoingBitrate");
                    if (entry.type == "candidate-pair" && found != entry.values.end() &&
                        std::holds_alternative<double>(found->second)) {
                        estimate = std::get<double>(found->second);
                    }
                }
                control->post([this, estimate] {
                    const double at = uptimeSeconds();
                    const auto& policy = peer->operatingPolicy();
                    note([&] {
                        taken.push_back(at);
                        if (policy && policy->assessment()) {
                            trail.emplace_back(at, traceLine(at, estimate, *policy->assessment()));
                        }
                    });
                });
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

    // The peer's hooks write this fixture's lists: they end, and whatever they posted has run,
    // before the lists go.
    void TearDown() override {
        stopSource();
        runOnMain([this] {
            if (peer) {
                peer->close();
            }
        });
        runOn(*control, [] {});
    }

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

    // One line of the trail: the estimate, the interval and the encoder's counts the policy was
    // given, and what it decided.
    static std::string traceLine(double at, std::optional<double> estimate,
                                 const StudioAdaptationAssessment& a) {
        const auto text = [](const std::optional<double>& value, double scale, const char* unit) {
            char buffer[32];
            if (!value) {
                return std::string("-");
            }
            std::snprintf(buffer, sizeof buffer, "%.1f%s", *value * scale, unit);
            return std::string(buffer);
        };
        char line[512];
        std::snprintf(
            line, sizeof line,
            "%.4f estimate %s allocation %.2fM %s interval %s frames %d qp %s queue %s retx %s "
            "encoder %dx%d@%d (target %dx%d@%d) submitted %d dropped %d out %d: %s, %s",
            at, text(estimate, 1e-6, "M").c_str(), static_cast<double>(a.allocatedBitrateBps) / 1e6,
            a.evidenceValidity.value_or("-").c_str(), text(a.intervalSeconds, 1, "s").c_str(),
            a.intervalFrames.value_or(-1), text(a.meanQP, 1, "").c_str(),
            text(a.packetQueueMS, 1, "ms").c_str(),
            text(a.retransmissionFraction, 100, "%").c_str(), a.observedWidth, a.observedHeight,
            a.observedFPS.value_or(-1), a.targetWidth, a.targetHeight, a.targetFPS.value_or(-1),
            a.submittedFrames, a.droppedFrames, a.outputFrames,
            a.recoveryCondition.value_or("-").c_str(), a.reason.c_str());
        return line;
    }

    // The trail from `from` to `to`: a line for each report and each change of point.
    std::string trailBetween(double from, double to = std::numeric_limits<double>::infinity()) {
        std::lock_guard lock(mutex);
        std::string text;
        for (const auto& [at, line] : trail) {
            if (at >= from && at <= to) {
                text += line + "\n";
            }
        }
        return text;
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

    // As changeAfter, looking until the policy has taken `count` statistics reports after
    // `since` (for a stalled stream, two seconds a report at most).
    std::optional<double> changeWithinReports(
        double since, std::size_t count,
        const std::function<bool(const StudioOperatingPoint&, const std::string&)>& matches) {
        const auto takenSince = [&] {
            return static_cast<std::size_t>(
                std::count_if(taken.begin(), taken.end(), [&](double at) { return at >= since; }));
        };
        waitFor(
            [&] {
                return std::any_of(changes.begin(), changes.end(),
                                   [&](const auto& change) {
                                       const auto& [at, point, reason] = change;
                                       return at >= since && matches(point, reason);
                                   }) ||
                       takenSince() >= count || !failures.empty();
            },
            2.0 * static_cast<double>(count));
        // A point the last report brought is noted on the control queue after a turn on main.
        runOnMain([] {});
        runOn(*control, [] {});
        return changeAfter(since, 0, matches);
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
    // When the policy had taken each statistics report, on the uptime clock.
    std::vector<double> taken;
    std::vector<std::pair<double, std::string>> trail;
};

}  // namespace quillory
