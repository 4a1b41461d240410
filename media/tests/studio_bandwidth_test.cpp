#include <gtest/gtest.h>

#include <cstring>
#include <optional>

#include "media/tests/studio_loopback_fixture.h"
#include "tests/support/udp_relay.h"

namespace quillory {
namespace {

using StudioBandwidthTest = StudioLoopbackFixture;

std::optional<double> valueOf(const StudioStatisticsReport& report, const std::string& type,
                              const std::string& key) {
    for (const StudioStatistics& entry : report.statistics) {
        if (entry.type == type && entry.values.contains(key)) {
            if (const auto* number = std::get_if<double>(&entry.values.at(key))) {
                return *number;
            }
        }
    }
    return std::nullopt;
}

// On a clean loopback path the estimate leaves 2 Mbit/s by the start-up ramp (twice 1.5 ×, then
// 2 ×), shows on the selected pair and reaches the encoder as its target.
TEST_F(StudioBandwidthTest, TransportFeedbackRampsTheEstimateIntoStatisticsAndTheEncoder) {
    makePeer();
    connect();
    if (HasFatalFailure()) {
        return;
    }
    startSource();
    const bool ramped = waitFor(
        [this] {
            return !reports.empty() &&
                   valueOf(reports.back(), "candidate-pair", "availableOutgoingBitrate")
                           .value_or(0) >= 6'000'000;
        },
        10);
    stopSource();
    ASSERT_TRUE(ramped);

    std::lock_guard lock(mutex);
    const StudioStatisticsReport& last = reports.back();
    const double available = *valueOf(last, "candidate-pair", "availableOutgoingBitrate");
    EXPECT_LE(available, 16'000'000);
    EXPECT_GE(valueOf(last, "outbound-rtp", "targetBitrate").value_or(0), 6'000'000);
    EXPECT_LE(valueOf(last, "outbound-rtp", "targetBitrate").value_or(0), available);
    // Before the first feedback there is no estimate to report.
    EXPECT_FALSE(
        valueOf(reports.front(), "candidate-pair", "availableOutgoingBitrate").value_or(0) >
        2'000'000);
}

// The loopback peer and receiver with the relay between them, fed content that fills whatever
// rate it is given: a noise band under the barcode.
class StudioRelayTest : public StudioLoopbackFixture {
  protected:
    void connectThroughRelay(const testing::UdpRelay::Shaping& shaping) {
        relay = testing::UdpRelay::create(11);
        ASSERT_TRUE(relay);
        relay->setShaping(shaping);
        makePeer();
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
        startNoisySource();
    }

    // Noise defeats the encoder's prediction, so the stream needs every bit the estimate allows.
    void startNoisySource() {
        startSource(
            [this, state = std::uint64_t{0x9e3779b97f4a7c15u}](PixelBuffer& buffer) mutable {
                const auto stride = static_cast<std::size_t>(buffer.strideY());
                for (std::size_t row = 0; row < static_cast<std::size_t>(height); ++row) {
                    std::uint8_t* line = buffer.dataY() + row * stride;
                    for (std::size_t x = 0; x + 8 <= static_cast<std::size_t>(width); x += 8) {
                        state ^= state << 13;
                        state ^= state >> 7;
                        state ^= state << 17;
                        std::memcpy(line + x, &state, 8);
                    }
                }
            });
    }

    // The estimate of every report that has one, with the report's index.
    std::vector<std::pair<double, double>> estimates() {
        std::vector<std::pair<double, double>> out;
        for (std::size_t index = 0; index < reports.size(); ++index) {
            if (auto value =
                    valueOf(reports[index], "candidate-pair", "availableOutgoingBitrate")) {
                out.emplace_back(static_cast<double>(index), *value);
            }
        }
        return out;
    }

    ~StudioRelayTest() override { stopSource(); }

    std::unique_ptr<testing::UdpRelay> relay;
};

TEST_F(StudioRelayTest, StreamsThroughTheRelayAndResumesAfterABlackout) {
    connectThroughRelay({});
    if (HasFatalFailure()) {
        return;
    }
    ASSERT_TRUE(waitFor([this] { return frames.size() >= 30; }, 10));
    relay->setShaping({.blackout = true});
    ASSERT_TRUE(waitFor([this] { return reports.size() >= 4; }, 10));
    std::size_t before = 0;
    {
        std::lock_guard lock(mutex);
        before = frames.size();
    }
    relay->setShaping({});
    ASSERT_TRUE(waitFor([&] { return frames.size() >= before + 30; }, 10));
    stopSource();

    std::lock_guard lock(mutex);
    const auto counters = relay->counters();
    EXPECT_GT(counters.forwardedToAnswerer, 100u);
    EXPECT_GT(counters.forwardedToSender, 0u);
    EXPECT_GT(counters.blackoutDrops, 0u);
    for (const auto& [index, estimate] : estimates()) {
        EXPECT_GE(estimate, 300'000) << index;
        EXPECT_LE(estimate, 16'000'000) << index;
    }
}

}  // namespace
}  // namespace quillory
