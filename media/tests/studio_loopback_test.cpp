#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "media/tests/studio_loopback_fixture.h"

namespace quillory {
namespace {

using StudioLoopbackTest = StudioLoopbackFixture;

TEST_F(StudioLoopbackTest, BarcodedFramesArriveInOrder) {
    makePeer();
    connect();
    if (HasFatalFailure()) {
        return;
    }
    startSource();
    ASSERT_TRUE(waitFor([this] { return sent >= 90 && reports.size() >= 3; }, 10));
    stopSource();
    waitFor([this] { return frames.size() >= sent; }, 2);
    std::lock_guard lock(mutex);
    std::cerr << "offer:\n" << *offer << "\nframes " << frames.size() << " of " << sent << "\n";
    EXPECT_GE(frames.size() * 100, sent * 95u);
    for (const auto& entry : reports.back().statistics) {
        std::cerr << entry.type << " " << entry.id << " " << entry.timestampMicroseconds << "\n";
        for (const auto& [name, value] : entry.values) {
            std::cerr << "   " << name << " = ";
            std::visit([](const auto& v) { std::cerr << v; }, value);
            std::cerr << "\n";
        }
    }
    for (const auto& interval : intervals) {
        if (interval) {
            std::cerr << "interval fps " << interval->fps << " qp " << interval->meanQP.value_or(-1)
                      << " queue " << interval->queueMS.value_or(-1) << " rtx "
                      << interval->retransmissionFraction.value_or(-1) << "\n";
        } else {
            std::cerr << "interval none\n";
        }
    }
}

}  // namespace
}  // namespace quillory
