#include "platform/webrtc/probe_results.h"

#include <gtest/gtest.h>

namespace quillory {
namespace {

constexpr std::int64_t millisecond = 1'000'000;

// A cluster of `count` packets of `bytes` from `first` on, one every `sentGap`; the feedback
// says each arrived `arrivalGap` microseconds after the one before, except those `lost`.
struct Cluster {
    std::uint16_t first = 0;
    std::size_t count = 10;
    std::size_t bytes = 1000;
    std::int64_t sentGap = millisecond;
    std::int64_t arrivalGap = 1000;
};

TransportFeedback send(ProbeResults& results, const Cluster& cluster, int id,
                       const std::vector<std::size_t>& lost = {}) {
    TransportFeedback feedback{.baseSequence = cluster.first, .packetCount = cluster.count};
    for (std::size_t index = 0; index < cluster.count; ++index) {
        const auto sequence = static_cast<std::uint16_t>(cluster.first + index);
        results.sent(id, sequence, cluster.bytes,
                     static_cast<std::int64_t>(index) * cluster.sentGap);
        if (std::find(lost.begin(), lost.end(), index) == lost.end()) {
            feedback.received.push_back(
                {sequence, 5'000'000 + static_cast<std::int64_t>(index) * cluster.arrivalGap});
        }
    }
    return feedback;
}

// 1000 bytes a millisecond is 8 Mbit/s.
TEST(ProbeResultsTest, TakesTheLowerOfTheSendAndTheReceiveRate) {
    ProbeResults results;
    auto feedback = send(results, {.first = 65530}, 1);
    auto measured = results.feedback(feedback);
    ASSERT_EQ(measured.size(), 1u);
    EXPECT_EQ(measured[0].cluster, 1);
    EXPECT_NEAR(measured[0].bitsPerSecond, 8e6, 1e3);
    EXPECT_FALSE(measured[0].pathLimited);

    // Arriving at half the pace: the path's limit, of which most is taken.
    feedback = send(results, {.first = 100, .arrivalGap = 2000}, 2);
    measured = results.feedback(feedback);
    ASSERT_EQ(measured.size(), 1u);
    EXPECT_NEAR(measured[0].bitsPerSecond, 4e6 * ProbeResults::limitedUse, 1e3);
    EXPECT_TRUE(measured[0].pathLimited);
}

// A probe packet lost counts as no loss of the stream; a stream packet lost in between does.
// The stream's packets inside a cluster are measured with it.
TEST(ProbeResultsTest, StreamPacketsBetweenCountAndLostProbesAreNoStreamLoss) {
    ProbeResults results;
    const Cluster cluster{.first = 10};
    TransportFeedback feedback = send(results, cluster, 7, {3});
    results.otherSent(20, 1000, 10 * millisecond);
    feedback.packetCount += 1;
    TransportFeedback stream = feedback;
    results.countProbesReceived(stream);
    EXPECT_EQ(stream.received.size(), feedback.received.size() + 1);

    ProbeResults between;
    for (std::uint16_t index = 0; index < 6; ++index) {
        between.sent(3, static_cast<std::uint16_t>(2 * index), 1000, 2 * index * millisecond);
        between.otherSent(static_cast<std::uint16_t>(2 * index + 1), 1000,
                          (2 * index + 1) * millisecond);
    }
    TransportFeedback both{.baseSequence = 0, .packetCount = 11};
    for (std::uint16_t index = 0; index < 11; ++index) {
        both.received.push_back({index, 1000 * index});
    }
    const auto measured = between.feedback(both);
    ASSERT_EQ(measured.size(), 1u);
    EXPECT_NEAR(measured[0].bitsPerSecond, 8e6, 1e3);
}

TEST(ProbeResultsTest, IncompleteOrTooSmallClustersGiveNothing) {
    ProbeResults results;
    auto feedback = send(results, {.first = 0, .count = 3}, 1);
    EXPECT_TRUE(results.feedback(feedback).empty());
    // Feedback that does not yet cover the whole cluster waits for the rest.
    feedback = send(results, {.first = 50}, 2);
    feedback.packetCount = 5;
    feedback.received.resize(5);
    EXPECT_TRUE(results.feedback(feedback).empty());
    // Most packets lost: too few arrivals to time.
    feedback = send(results, {.first = 70}, 3, {0, 1, 2, 3, 4, 5, 6});
    EXPECT_TRUE(results.feedback(feedback).empty());
}

// One reading for every caller: near its aim a probe got through, short of it a busy sender sent
// it; the path's slowing reads its limit, unless it reads it well below the estimate.
TEST(ProbeReadingTest, OneShareDecidesWhatAResultSays) {
    EXPECT_EQ(readProbe({.bitsPerSecond = 3.7e6}, 4e6, 2e6), ProbeReading::gotThrough);
    EXPECT_EQ(readProbe({.bitsPerSecond = 3.0e6}, 4e6, 2e6), ProbeReading::sentShort);
    EXPECT_EQ(readProbe({.bitsPerSecond = 2.5e6, .pathLimited = true}, 4e6, 2e6),
              ProbeReading::limitReading);
    EXPECT_EQ(readProbe({.bitsPerSecond = 1.7e6, .pathLimited = true}, 4e6, 2e6),
              ProbeReading::misread);
}

}  // namespace
}  // namespace quillory
