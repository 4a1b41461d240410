#include "platform/webrtc/transport_feedback_loss.h"

#include <gtest/gtest.h>

#include <vector>

namespace quillory {
namespace {

enum class Chunks { runLength, oneBit, twoBit };

// The control information of one feedback message reporting `arrived` from `base` on, written
// with one kind of chunk.
std::vector<std::uint8_t> feedback(std::uint16_t base, const std::vector<bool>& arrived,
                                   Chunks kind = Chunks::runLength) {
    std::vector<std::uint8_t> fci = {static_cast<std::uint8_t>(base >> 8),
                                     static_cast<std::uint8_t>(base),
                                     static_cast<std::uint8_t>(arrived.size() >> 8),
                                     static_cast<std::uint8_t>(arrived.size()),
                                     0,
                                     0,
                                     0,
                                     1};
    const auto put = [&fci](unsigned chunk) {
        fci.push_back(static_cast<std::uint8_t>(chunk >> 8));
        fci.push_back(static_cast<std::uint8_t>(chunk));
    };
    for (std::size_t at = 0; at < arrived.size();) {
        if (kind == Chunks::runLength) {
            std::size_t run = 1;
            while (at + run < arrived.size() && arrived[at + run] == arrived[at]) {
                ++run;
            }
            put((arrived[at] ? 1u : 0u) << 13 | static_cast<unsigned>(run));
            at += run;
        } else {
            const int symbols = kind == Chunks::oneBit ? 14 : 7;
            unsigned chunk = kind == Chunks::oneBit ? 0x8000u : 0xc000u;
            for (int index = 0; index < symbols; ++index, ++at) {
                const bool received = at < arrived.size() && arrived[at];
                const int shift = kind == Chunks::oneBit ? 13 - index : 2 * (6 - index);
                // A two-bit vector marks a large delta (2) as received too.
                chunk |= (received ? (kind == Chunks::oneBit ? 1u : 2u) : 0u) << shift;
            }
            put(chunk);
        }
    }
    return fci;
}

// Whether the message was read; a read one is counted.
bool add(TransportFeedbackLoss& loss, const std::vector<std::uint8_t>& fci) {
    const auto parsed = parseTransportFeedback(fci);
    if (parsed) {
        loss.add(*parsed);
    }
    return parsed.has_value();
}

std::vector<bool> pattern(std::initializer_list<std::pair<bool, int>> runs) {
    std::vector<bool> out;
    for (const auto& [received, count] : runs) {
        out.insert(out.end(), static_cast<std::size_t>(count), received);
    }
    return out;
}

TEST(TransportFeedbackLoss, EveryChunkKindReadsTheSameLoss) {
    const auto arrived = pattern({{true, 10}, {false, 5}, {true, 5}});
    for (const Chunks kind : {Chunks::runLength, Chunks::oneBit, Chunks::twoBit}) {
        TransportFeedbackLoss loss;
        ASSERT_TRUE(add(loss, feedback(100, arrived, kind)));
        EXPECT_DOUBLE_EQ(loss.takeLossPercent().value_or(-1), 25.0);
        EXPECT_FALSE(loss.takeLossPercent()) << "taking resets the count";
    }
}

// Each case feeds (base, packets all received) messages in turn and expects the loss over them.
TEST(TransportFeedbackLoss, CountsWhatTheFeedbackMovedPastOnce) {
    struct Case {
        const char* name;
        std::vector<std::pair<std::uint16_t, int>> messages;
        double lossPercent;
    };
    const std::vector<Case> cases = {
        {"packets between two messages are lost", {{0, 10}, {15, 5}}, 25.0},
        {"an overlapping message counts nothing twice", {{0, 10}, {5, 10}}, 0.0},
        {"an old message adds nothing", {{20, 10}, {0, 10}}, 0.0},
        {"numbers wrap without a gap", {{65530, 10}, {4, 4}}, 0.0},
        {"a restart of the numbering is no loss", {{0, 10}, {30000, 10}}, 0.0},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        TransportFeedbackLoss loss;
        for (const auto& [base, count] : test.messages) {
            ASSERT_TRUE(add(loss, feedback(base, pattern({{true, count}}))));
        }
        EXPECT_DOUBLE_EQ(loss.takeLossPercent().value_or(-1), test.lossPercent);
    }
}

TEST(TransportFeedbackLoss, MalformedMessagesCountNothing) {
    auto truncated = feedback(0, pattern({{true, 20}, {false, 20}}));
    truncated.resize(truncated.size() - 2);
    auto empty = feedback(0, {});
    const std::vector<std::vector<std::uint8_t>> malformed = {{}, {0, 1, 0, 4}, truncated, empty};
    TransportFeedbackLoss loss;
    for (const auto& fci : malformed) {
        EXPECT_FALSE(add(loss, fci));
    }
    EXPECT_FALSE(loss.takeLossPercent());
}

TEST(TransportFeedback, ReadsArrivalTimesFromTheReferenceAndSmallAndLargeDeltas) {
    // Packets 10 and 12 of 10-12 arrived: 1 ms after the 64 ms reference, then 2 ms before that.
    std::vector<std::uint8_t> fci = {0,    10,   0,    3,    0,    0, 1, 7,
                                     0xd2, 0x00, 0x04, 0xff, 0xf8, 0, 0, 0};
    const auto timed = parseTransportFeedback(fci);
    ASSERT_TRUE(timed);
    EXPECT_EQ(timed->packetCount, 3u);
    ASSERT_EQ(timed->received.size(), 2u);
    EXPECT_EQ(timed->received[0].sequence, 10);
    EXPECT_EQ(timed->received[0].arrivalMicroseconds, 65'000);
    EXPECT_EQ(timed->received[1].sequence, 12);
    EXPECT_EQ(timed->received[1].arrivalMicroseconds, 63'000);
    // Without all its deltas the message still says what arrived, but not when.
    fci.resize(12);
    const auto untimed = parseTransportFeedback(fci);
    ASSERT_TRUE(untimed);
    EXPECT_EQ(untimed->received.size(), 2u);
    EXPECT_FALSE(untimed->received[1].arrivalMicroseconds);
}

}  // namespace
}  // namespace quillory
