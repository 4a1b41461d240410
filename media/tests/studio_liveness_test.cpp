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
    // Connected, and the connect's own events forgotten.
    void connectAndForget() {
        makePeer();
        connect();
        std::lock_guard lock(mutex);
        events.clear();
    }

    // Connected, frames decoded, and the connect's own events forgotten.
    void streamUntilFramesFlow() {
        connectAndForget();
        if (HasFatalFailure()) {
            return;
        }
        startSource();
        ASSERT_TRUE(waitFor([this] { return frames.size() >= 15; }, 5));
    }
};

TEST_F(StudioLivenessTest, AShortBlackoutRecoversWithoutFailure) {
    streamUntilFramesFlow();
    if (HasFatalFailure()) {
        return;
    }
    {
        std::lock_guard lock(mutex);
        events.clear();
    }
    receiver->setBlackout(true);
    ASSERT_TRUE(waitFor([this] { return !events.empty(); }, 5));
    receiver->setBlackout(false);
    ASSERT_TRUE(waitFor([this] { return events.size() >= 2 || !failures.empty(); }, 5));
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
    {
        std::lock_guard lock(mutex);
        events.clear();
    }
    receiver->setBlackout(true);
    ASSERT_TRUE(waitFor([this] { return !events.empty(); }, 5));
    const std::int64_t recovering = static_cast<std::int64_t>(uptimeNanoseconds());
    ASSERT_TRUE(waitFor([this] { return !failures.empty(); }, 5));
    const std::int64_t failed = static_cast<std::int64_t>(uptimeNanoseconds());
    receiver->setBlackout(false);
    stopSource();
    std::lock_guard lock(mutex);
    EXPECT_THAT(events, ElementsAre("recovering 1"));
    EXPECT_THAT(failures, ElementsAre("The display stream was interrupted."));
    EXPECT_NEAR(static_cast<double>(failed - recovering) / 1e9, 3.0, 0.3);
}

// A still screen sends no media: the receiver's reports are the only signs of life. A standard
// receiver sends them 0.5 to 1.5 s apart at random, and a busy network delays some; this
// receiver's session spreads them 0.6 to 1.8 s apart.
TEST_F(StudioLivenessTest, AStillScreenWithStandardReportsStaysConnected) {
    configureReceiver = [](VideoReceiver& tablet) { tablet.setReportInterval(1'200'000'000); };
    streamUntilFramesFlow();
    if (HasFatalFailure()) {
        return;
    }
    stopSource();
    {
        std::lock_guard lock(mutex);
        events.clear();
    }
    // The wait is for an event that must not come.
    EXPECT_FALSE(waitFor([this] { return !events.empty() || !failures.empty(); }, 20));
    std::lock_guard lock(mutex);
    EXPECT_THAT(events, IsEmpty());
    EXPECT_THAT(failures, IsEmpty());
}

TEST_F(StudioLivenessTest, ATabletLostBeforeItsFirstReportFailsAfterTheGrace) {
    configureReceiver = [](VideoReceiver& tablet) { tablet.blackOutAfterHandshake(); };
    connectAndForget();
    if (HasFatalFailure()) {
        return;
    }
    ASSERT_TRUE(waitFor([this] { return !failures.empty(); }, 10));
    std::lock_guard lock(mutex);
    EXPECT_THAT(events, ElementsAre("recovering 1"));
    EXPECT_THAT(failures, ElementsAre("The display stream was interrupted."));
}

}  // namespace
}  // namespace quillory
