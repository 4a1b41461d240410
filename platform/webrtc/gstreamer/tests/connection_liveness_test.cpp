#include "platform/webrtc/gstreamer/connection_liveness.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "platform/dispatch/testing/manual_executor.h"

namespace quillory {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using State = PeerConnectionState;

constexpr double checkPeriod = 0.25;
constexpr double disconnectGrace = 3.0;

std::int64_t nanoseconds(double seconds) {
    return static_cast<std::int64_t>(seconds * 1e9);
}

// A receiver's report times: the next one 0.5 to 1.5 s after the last, at random, each delayed
// on its way by up to `transit` seconds.
std::vector<double> standardReports(double from, double to, double transit, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> interval(0.5, 1.5);
    std::uniform_real_distribution<double> delay(0.0, transit);
    std::vector<double> times;
    for (double sent = from + interval(random); sent < to; sent += interval(random)) {
        times.push_back(sent + delay(random));
    }
    std::sort(times.begin(), times.end());
    return times;
}

// Runs webrtcbin's states and RTCP arrivals against a liveness check every 250 ms and notes what
// is reported, and when.
struct Timeline {
    std::vector<std::pair<double, State>> webrtc;
    std::vector<double> rtcp;
    double end = 0;

    std::vector<std::pair<double, State>> run() const {
        ConnectionLiveness liveness;
        std::vector<std::pair<double, State>> reported;
        const auto note = [&](double at, std::optional<State> state) {
            if (state) {
                reported.emplace_back(at, *state);
            }
        };
        std::size_t nextState = 0;
        std::size_t nextRtcp = 0;
        for (int tick = 0; tick * checkPeriod <= end; ++tick) {
            const double at = tick * checkPeriod;
            for (; nextState < webrtc.size() && webrtc[nextState].first <= at; ++nextState) {
                note(webrtc[nextState].first,
                     liveness.webrtcChanged(webrtc[nextState].second, nanoseconds(at)));
            }
            for (; nextRtcp < rtcp.size() && rtcp[nextRtcp] <= at; ++nextRtcp) {
                note(rtcp[nextRtcp], liveness.rtcpArrived(nanoseconds(rtcp[nextRtcp])));
            }
            note(at, liveness.check(nanoseconds(at)));
        }
        return reported;
    }
};

std::vector<double> every(double period, double from, double to) {
    std::vector<double> times;
    for (double at = from; at < to; at += period) {
        times.push_back(at);
    }
    return times;
}

std::vector<double> joined(std::vector<double> first, const std::vector<double>& second) {
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

TEST(ConnectionLivenessTest, ReportsFollowTheOtherSidesSignsOfLife) {
    struct Case {
        std::string name;
        Timeline timeline;
        std::vector<State> expected;
        // A disconnect must be reported within this long after the last sign of life.
        double lastSign = -1;
    };
    const std::vector<std::pair<double, State>> connectedAtOnce = {{0.0, State::connected}};
    std::vector<Case> cases = {
        {"the slowest reports, one held up 0.4 s",
         {connectedAtOnce, joined(every(1.5, 0.5, 6), joined({6.9}, every(1.5, 7.5, 20))), 20},
         {State::connected}},
        {"dead before the first report",
         {connectedAtOnce, {}, 10},
         {State::connected, State::disconnected},
         0.0},
        {"dead after ten reports",
         {connectedAtOnce, every(1.0, 1, 11), 20},
         {State::connected, State::disconnected},
         10.0},
        {"silent for 3 s, then back",
         {connectedAtOnce, joined(every(1.0, 1, 5), every(1.0, 8, 12)), 12},
         {State::connected, State::disconnected, State::connected}},
        {"webrtcbin's states pass through; RTCP after failure reports nothing",
         {{{0.0, State::connecting}, {0.5, State::connected}, {4.0, State::failed}},
          every(1.0, 1, 8),
          8},
         {State::connecting, State::connected, State::failed}},
        // webrtcbin's own disconnect passes through; its reconnect does not end the silence.
        {"a silent link that webrtcbin calls connected again",
         {{{0.0, State::connected}, {5.0, State::disconnected}, {5.5, State::connected}},
          joined(every(1.0, 0.5, 1.6), every(1.0, 7, 9)),
          9},
         {State::connected, State::disconnected, State::disconnected, State::connected}},
    };
    // A still screen: no media, only the receiver's randomised reports, some held up on the way
    // by a busy network.
    for (unsigned seed = 1; seed <= 20; ++seed) {
        cases.push_back({"standard reports for 20 s, seed " + std::to_string(seed),
                         {connectedAtOnce, standardReports(0, 20, 0.3, seed), 20},
                         {State::connected}});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto reported = c.timeline.run();
        std::vector<State> states;
        for (const auto& [at, state] : reported) {
            states.push_back(state);
        }
        EXPECT_THAT(states, ElementsAreArray(c.expected));
        if (c.lastSign >= 0 && !reported.empty()) {
            EXPECT_EQ(reported.back().second, State::disconnected);
            EXPECT_LE(reported.back().first - c.lastSign, disconnectGrace);
        }
    }
}

// The liveness timer decides "disconnected"; before its state reaches the queue, the RTCP thread
// decides "connected" and posts first.
TEST(ConnectionStateReporterTest, AStateOvertakenOnItsWayToTheQueueIsDropped) {
    auto queue = std::make_shared<ManualExecutor>();
    std::function<void()> betweenDecisionAndPost;
    std::vector<State> delivered;
    auto reporter = ConnectionStateReporter::create(
        [&](std::function<void()> work) {
            if (auto interleaved = std::exchange(betweenDecisionAndPost, {})) {
                interleaved();
            }
            queue->post(std::move(work));
        },
        [&](State state) { delivered.push_back(state); });

    reporter->webrtcChanged(State::connected, nanoseconds(0));
    queue->runUntilIdle();
    betweenDecisionAndPost = [&] { reporter->rtcpArrived(nanoseconds(3.1)); };
    reporter->check(nanoseconds(3.0));
    queue->runUntilIdle();
    EXPECT_THAT(delivered, ElementsAre(State::connected, State::connected));
}

}  // namespace
}  // namespace quillory
