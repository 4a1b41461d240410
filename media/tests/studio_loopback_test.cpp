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
    ASSERT_TRUE(waitFor([this] { return sent >= 90; }, 10));
    stopSource();
    waitFor([this] { return frames.size() >= sent; }, 2);
    std::lock_guard lock(mutex);
    std::cerr << "offer:\n" << *offer << "\nframes " << frames.size() << " of " << sent << "\n";
    EXPECT_GE(frames.size() * 100, sent * 95u);
}

}  // namespace
}  // namespace quillory
