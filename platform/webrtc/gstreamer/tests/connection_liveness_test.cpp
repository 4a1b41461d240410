#include "platform/webrtc/gstreamer/connection_liveness.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>
#include <vector>

namespace quillory {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using State = PeerConnectionState;

constexpr std::int64_t second = 1'000'000'000;

// Runs a timeline of events (webrtcbin states, RTCP arrivals, checks every 250 ms) and collects
// what would be reported.
struct Timeline {
    ConnectionLiveness liveness;
    std::vector<State> reported;
    double limit = 1.5;

    void note(std::optional<State> state) {
        if (state) {
            reported.push_back(*state);
        }
    }
    void webrtc(State state) { note(liveness.webrtcChanged(state)); }
    // RTCP every `every` seconds from `from` to `to`, checks every 250 ms throughout.
    void run(double from, double to, std::optional<double> every) {
        for (double at = from; at < to; at += 0.05) {
            const auto now = static_cast<std::int64_t>(at * second);
            if (every && std::fmod(at - from + 1e-9, *every) < 0.05) {
                note(liveness.feedbackArrived(now));
            }
            if (std::fmod(at + 1e-9, 0.25) < 0.05) {
                note(liveness.check(now, limit));
            }
        }
    }
};

TEST(ConnectionLivenessTest, SilenceLongerThanTheLimitDisconnectsAndRtcpReconnects) {
    Timeline timeline;
    timeline.webrtc(State::connecting);
    timeline.webrtc(State::connected);
    timeline.run(0, 3, 0.3);
    timeline.run(3, 5, std::nullopt);  // two seconds of silence
    timeline.run(5, 7, 0.3);
    EXPECT_THAT(timeline.reported, ElementsAre(State::connecting, State::connected,
                                               State::disconnected, State::connected));
}

TEST(ConnectionLivenessTest, SilenceWithinTheLimitChangesNothing) {
    for (const double limit : {1.5, 2.5}) {
        SCOPED_TRACE(limit);
        Timeline timeline;
        timeline.limit = limit;
        timeline.webrtc(State::connected);
        timeline.run(0, 2, 0.3);
        timeline.run(2, 2 + limit - 0.4, std::nullopt);
        timeline.run(2 + limit - 0.4, 6, 0.3);
        EXPECT_THAT(timeline.reported, ElementsAre(State::connected));
    }
}

TEST(ConnectionLivenessTest, NoWatchBeforeTheFirstRtcp) {
    Timeline timeline;
    timeline.webrtc(State::connected);
    timeline.run(0, 10, std::nullopt);
    EXPECT_THAT(timeline.reported, ElementsAre(State::connected));
}

TEST(ConnectionLivenessTest, WebrtcStatesOtherThanConnectedPassStraightThrough) {
    Timeline timeline;
    timeline.webrtc(State::connected);
    timeline.run(0, 1, 0.3);
    timeline.run(1, 4, std::nullopt);
    timeline.webrtc(State::failed);
    timeline.run(4, 5, 0.3);  // RTCP after failure reports nothing
    EXPECT_THAT(timeline.reported,
                ElementsAre(State::connected, State::disconnected, State::failed));
}

TEST(ConnectionLivenessTest, ASilentLinkThatWebrtcCallsConnectedAgainStaysDisconnected) {
    Timeline timeline;
    timeline.webrtc(State::connected);
    timeline.run(0, 1, 0.3);
    timeline.run(1, 3, std::nullopt);
    timeline.webrtc(State::disconnected);
    timeline.webrtc(State::connected);
    // webrtcbin's own disconnect passes through; its reconnect does not end the silence.
    EXPECT_THAT(timeline.reported,
                ElementsAre(State::connected, State::disconnected, State::disconnected));
    timeline.run(3, 4, 0.3);
    EXPECT_EQ(timeline.reported.back(), State::connected);
}

}  // namespace
}  // namespace quillory
