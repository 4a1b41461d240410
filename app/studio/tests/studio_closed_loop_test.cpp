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
    const auto pixelRate = [](const StudioOperatingPoint& point) {
        return point.pixelCount() * point.framesPerSecond;
    };

    relay->setShaping({.lossFraction = 0.02, .rateBps = 1'500'000});
    const double shaped = uptimeSeconds();
    // Counted in statistics reports, a second apart, not in seconds: the first after the cap
    // brings the cut estimate; the last interval at the top, with its low QP and most of the
    // packets and bytes, keeps the evidence's means under the bars until it leaves the 3 s
    // window, with the third; the pressure must then last 1 s, to the fourth. Reports come only
    // about a second apart, so each of the last two may take one report more.
    constexpr std::size_t reportsToStepDown = 6;
    std::string pressure;
    const auto lowered =
        changeWithinReports(shaped, reportsToStepDown,
                            [&](const StudioOperatingPoint& point, const std::string& reason) {
                                const bool match = pixelRate(point) < pixelRate(top.top) &&
                                                   reason.find("pressure") != std::string::npos;
                                if (match) {
                                    pressure = reason;
                                }
                                return match;
                            });
    ASSERT_TRUE(lowered) << "no lower point for pressure under the cap; reports from 3 s before "
                            "the cap at "
                         << shaped << ":\n"
                         << trailBetween(shaped - 3);
    // Decoded frames follow the lower point within a few seconds.
    ASSERT_TRUE(waitForReportAfter(uptimeSeconds() + 3, 10));
    const auto [underCap, underCapGap] = decodedSince(uptimeSeconds() - 1.5);
    ASSERT_FALSE(underCap.empty()) << "frames stopped under the cap";
    const bool smaller = underCap.back().width < top.top.size.width;
    const bool slower = static_cast<double>(underCap.size()) / 1.5 < top.top.framesPerSecond * 0.8;
    EXPECT_TRUE(smaller || slower)
        << underCap.back().width << " wide, " << underCap.size() << " frames in 1.5 s";

    relay->setShaping({});
    const double lifted = uptimeSeconds();
    const auto recovered =
        changeAfter(lifted, 30, [&](const StudioOperatingPoint& point, const std::string& reason) {
            return point == top.top && reason == "funded-recovery";
        });
    EXPECT_TRUE(recovered) << "no funded recovery to the top; since the cap was lifted at "
                           << lifted << ":\n"
                           << trailBetween(lifted);
    if (recovered) {
        EXPECT_TRUE(policyUntil(atTop, 10)) << "the top point was not confirmed";
    }

    const auto [all, longestGap] = decodedSince(started);
    EXPECT_GT(all.size(), 300u);
    double gapFrom = 0;
    for (std::size_t index = 1; index < all.size(); ++index) {
        if (static_cast<double>(all[index].decodedAt - all[index - 1].decodedAt) / 1e9 ==
            longestGap) {
            gapFrom = static_cast<double>(all[index - 1].decodedAt) / 1e9;
        }
    }
    EXPECT_LT(longestGap, 2.0) << "no frame from " << gapFrom << ":\n"
                               << trailBetween(gapFrom - 3, gapFrom + longestGap + 1);

    // Only a new size starts an encoder; a frame-rate step keeps it running, with every frame
    // it took coming out but those still inside it.
    int sizeSteps = 0;
    int rateSteps = 0;
    {
        std::lock_guard lock(mutex);
        ASSERT_FALSE(frames.empty());
        std::pair size{frames.front().width, frames.front().height};
        int rate = std::get<1>(changes.front()).framesPerSecond;
        for (const auto& [at, point, reason] : changes) {
            const std::pair next{point.size.width, point.size.height};
            sizeSteps += next == size ? 0 : 1;
            rateSteps += next == size && point.framesPerSecond != rate ? 1 : 0;
            size = next;
            rate = point.framesPerSecond;
        }
    }
    const auto metrics = factory->metrics()->snapshot();
    EXPECT_LE(metrics.value("encoderSessionStarts"), 1 + sizeSteps);
    EXPECT_LE(metrics.value("encoderSubmittedFrames") - metrics.value("encoderOutputFrames"), 2);
    std::printf(
        "time to top %.1f s, lower point after %.1f s (%s), back at top after %.1f s, "
        "longest frame gap %.0f ms, %.0f encoder starts for %d size and %d frame-rate steps\n",
        *toTop, *lowered, pressure.c_str(), recovered.value_or(-1), longestGap * 1000,
        metrics.value("encoderSessionStarts"), sizeSteps, rateSteps);
}

}  // namespace
}  // namespace quillory
