#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "media/tests/studio_loopback_fixture.h"

namespace quillory {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// webrtcbin alone stays "connected" long after the other side went quiet; the transport's
// watch on the other side's RTCP turns a silent link into a disconnect and back.
class StudioLivenessTest : public StudioLoopbackFixture {
  public:
    // Connected, frames decoded, and the connect's own events forgotten.
    void streamUntilFramesFlow() {
        makePeer();
        connect();
        if (HasFatalFailure()) {
            return;
        }
        startSource();
        ASSERT_TRUE(waitFor([this] { return frames.size() >= 15; }, 5));
        std::lock_guard lock(mutex);
        events.clear();
    }
};

TEST_F(StudioLivenessTest, AShortBlackoutRecoversWithoutFailure) {
    streamUntilFramesFlow();
    if (HasFatalFailure()) {
        return;
    }
    receiver->setBlackout(true);
    // Longer than the 1.5 s of silence that counts as a disconnect (a 1 s blackout stays below
    // it), shorter than the 3 s grace. The wait is for a failure that must not come.
    EXPECT_FALSE(waitFor([this] { return !failures.empty(); }, 2.2));
    receiver->setBlackout(false);
    ASSERT_TRUE(waitFor([this] { return events.size() >= 2; }, 4));
    const std::size_t framesBefore = frames.size();
    EXPECT_TRUE(waitFor([&] { return frames.size() >= framesBefore + 15; }, 3));
    stopSource();
    std::lock_guard lock(mutex);
    EXPECT_THAT(events, ElementsAre("recovering 1", "recovering 0"));
    EXPECT_THAT(failures, IsEmpty());
}

TEST_F(StudioLivenessTest, ALongBlackoutIsReportedAsInterrupted) {
    streamUntilFramesFlow();
    if (HasFatalFailure()) {
        return;
    }
    const std::int64_t blackout = static_cast<std::int64_t>(uptimeNanoseconds());
    receiver->setBlackout(true);
    ASSERT_TRUE(waitFor([this] { return !events.empty(); }, 2.0));
    const std::int64_t recovering = static_cast<std::int64_t>(uptimeNanoseconds());
    ASSERT_TRUE(waitFor([this] { return !failures.empty(); }, 4.0));
    const std::int64_t failed = static_cast<std::int64_t>(uptimeNanoseconds());
    receiver->setBlackout(false);
    stopSource();
    std::lock_guard lock(mutex);
    EXPECT_THAT(events, ElementsAre("recovering 1"));
    EXPECT_THAT(failures, ElementsAre("The display stream was interrupted."));
    EXPECT_LT(recovering - blackout, 2'000'000'000);
    EXPECT_NEAR(static_cast<double>(failed - recovering) / 1e9, 3.0, 0.3);
}

}  // namespace
}  // namespace quillory
