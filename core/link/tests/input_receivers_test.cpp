#include "core/link/input_receivers.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/dispatch/serial_queue.h"

namespace quillory {
namespace {

std::vector<PenSample> batch(std::uint64_t first, std::size_t count) {
    std::vector<PenSample> samples(count);
    for (auto& sample : samples) {
        sample.sequence = first++;
    }
    return samples;
}

DesktopAction releaseAll() {
    DesktopAction action;
    action.kind = DesktopAction::Kind::releaseAll;
    return action;
}

// Records what reaches the receivers, as text, in order.
struct Receivers {
    std::vector<std::string> seen;
    int ended = 0;

    void installOn(InputReceivers& inbound) {
        inbound.install(
            [this](const std::vector<PenSample>& samples) {
                seen.push_back("samples " + std::to_string(samples.front().sequence) + "+" +
                               std::to_string(samples.size()));
            },
            [this](const DesktopAction&) { seen.push_back("action"); },
            [this] { seen.push_back("cancelled"); }, [this] { ++ended; });
    }
};

class InputReceiversTest : public ::testing::Test {
  protected:
    // The receivers belong to the transport queue; each step runs there.
    template <typename Step>
    void onQueue(Step step) {
        ASSERT_TRUE(queue.sync(step));
    }

    SerialQueue queue{"com.quillory.transport"};
    InputReceivers inbound{queue};
    Receivers receivers;
};

TEST_F(InputReceiversTest, HeldInputIsHandedOverInOrderWithBatchesInARowJoined) {
    onQueue([&] {
        inbound.deliverSamples(batch(1, 2));
        inbound.deliverSamples(batch(3, 3));
        inbound.deliverAction(releaseAll());
        inbound.deliverSamples({});
        inbound.deliverSamples(batch(6, 1));
        receivers.installOn(inbound);
        inbound.deliverSamples(batch(7, 2));
    });
    EXPECT_EQ(receivers.seen, (std::vector<std::string>{"samples 1+5", "action", "cancelled",
                                                        "samples 6+1", "samples 7+2"}));
    EXPECT_EQ(inbound.discarded(), 0u);
}

TEST_F(InputReceiversTest, InputPastTheBoundsIsCountedAndWhatIsHeldAtTheEndToo) {
    onQueue([&] {
        inbound.deliverSamples(batch(1, InputReceivers::maxHeldSamples));
        inbound.deliverSamples(batch(600, 3));
        EXPECT_EQ(inbound.discarded(), 3u);
        // Entries are bounded too: a held batch and actions up to the limit, then nothing.
        for (std::size_t entry = 1; entry < InputReceivers::maxHeldInputs + 5; ++entry) {
            inbound.deliverAction(releaseAll());
        }
        receivers.installOn(inbound);
    });
    ASSERT_EQ(receivers.seen.size(), InputReceivers::maxHeldInputs);
    EXPECT_EQ(receivers.seen.front(), "samples 1+512");

    InputReceivers unheard{queue};
    onQueue([&] {
        unheard.deliverSamples(batch(1, 10));
        unheard.end();
    });
    EXPECT_EQ(unheard.discarded(), 10u);
}

TEST_F(InputReceiversTest, TheEndedReceiverRunsOnceAndNothingIsDeliveredAfterIt) {
    onQueue([&] {
        receivers.installOn(inbound);
        inbound.end();
        inbound.end();
        inbound.deliverSamples(batch(1, 1));
    });
    EXPECT_EQ(receivers.ended, 1);
    EXPECT_TRUE(receivers.seen.empty());
}

}  // namespace
}  // namespace quillory
