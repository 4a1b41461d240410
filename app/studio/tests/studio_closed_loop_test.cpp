#include "app/studio/tests/studio_closed_loop.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <tuple>

#include "media/tests/studio_loopback_fixture.h"
#include "tests/support/busy_frame.h"
#include "tests/support/udp_relay.h"

namespace quillory {
namespace {

// The Studio encoder factory and the adaptation policy in the loop over real transports, the
// shaping relay between them, fed by frames that use whatever rate they are given.
class StudioClosedLoopTest : public StudioLoopbackFixture {
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
        factory = std::make_shared<StudioHardwareEncoderFactory>(
            [this](const std::string& message) { note([&] { failures.push_back(message); }); },
            std::make_shared<SystemClock>());
        relay = testing::UdpRelay::create(23);
        ASSERT_TRUE(relay);
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
        {
            std::lock_guard lock(mutex);
            offer = relay->rewriteOffer(*offer);
        }
        deliverAnswer(relay->rewriteAnswer(answerOffer()));
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

    std::shared_ptr<StudioHardwareEncoderFactory> factory;
    std::unique_ptr<testing::UdpRelay> relay;
    std::vector<std::tuple<double, StudioOperatingPoint, std::string>> changes;
};

TEST_F(StudioClosedLoopTest, BalancedReachesTheTopYieldsToPressureAndClimbsBackWhenFunded) {
    const double started = uptimeSeconds();
    const auto atTop = [](const PolicyState& state) {
        return state.confirmed && state.target == state.top;
    };
    const auto toTop = policyUntil(atTop, 45);
    ASSERT_TRUE(toTop) << "the stream never reached its top point";
    const PolicyState top = policy();
    EXPECT_EQ(top.top.size.width, 1920);

    relay->setShaping({.lossFraction = 0.02, .rateBps = 1'500'000});
    const auto lowered = policyUntil(
        [&](const PolicyState& state) {
            return state.target.pixelCount() * state.target.framesPerSecond <
                       top.top.pixelCount() * top.top.framesPerSecond &&
                   state.reason.find("pressure") != std::string::npos;
        },
        5);
    ASSERT_TRUE(lowered) << "no lower point under the cap; last reason: " << policy().reason;
    const PolicyState low = policy();
    // Decoded frames follow the lower point within a few seconds.
    ASSERT_TRUE(waitForReportAfter(uptimeSeconds() + 3, 10));
    const auto [underCap, underCapGap] = decodedSince(uptimeSeconds() - 1.5);
    ASSERT_FALSE(underCap.empty()) << "frames stopped under the cap";
    const bool smaller = underCap.back().width < top.top.size.width;
    const bool slower = static_cast<double>(underCap.size()) / 1.5 < top.top.framesPerSecond * 0.8;
    EXPECT_TRUE(smaller || slower) << underCap.back().width << " wide, " << underCap.size()
                                   << " frames in 1.5 s at " << low.target.framesPerSecond;

    relay->setShaping({});
    const double lifted = uptimeSeconds();
    const auto recovered = policyUntil(atTop, 30);
    EXPECT_TRUE(recovered) << "not back at the top; last reason: " << policy().reason;
    {
        std::lock_guard lock(mutex);
        const bool funded = std::any_of(changes.begin(), changes.end(), [&](const auto& change) {
            const auto& [at, point, reason] = change;
            return at >= lifted && point == top.top && reason == "funded-recovery";
        });
        std::string seen;
        for (const auto& [at, point, reason] : changes) {
            seen += " " + std::to_string(at - lifted) + " s " + std::to_string(point.size.width) +
                    "@" + std::to_string(point.framesPerSecond) + " " + reason + ";";
        }
        EXPECT_TRUE(funded) << "the climb to the top was not a funded recovery:" << seen;
    }

    const auto [all, longestGap] = decodedSince(started);
    EXPECT_GT(all.size(), 300u);
    EXPECT_LT(longestGap, 2.0);
    std::printf(
        "time to top %.1f s, lower point after %.1f s (%s), back at top after %.1f s, "
        "longest frame gap %.0f ms\n",
        *toTop, lowered.value_or(-1), low.reason.c_str(), recovered.value_or(-1),
        longestGap * 1000);
}

}  // namespace
}  // namespace quillory
