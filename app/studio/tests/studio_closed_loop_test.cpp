#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include "app/studio/tests/studio_closed_loop_fixture.h"

namespace quillory {
namespace {

using StudioClosedLoopTest = StudioClosedLoopFixture;

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
