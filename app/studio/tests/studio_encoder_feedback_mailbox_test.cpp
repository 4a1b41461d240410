#include "app/studio/studio_encoder_feedback_mailbox.h"

#include <gtest/gtest.h>

#include "app/studio/studio_hardware_encoder_factory.h"
#include "media/interactive_h264_factory.h"
#include "platform/clock/testing/fake_clock.h"

namespace quillory {
namespace {

class StudioEncoderFeedbackMailboxTest : public ::testing::Test {
  protected:
    void SetUp() override {
        mailbox.setOnUpdate([this](const StudioEncoderFeedback& report) {
            // A handler may ask the mailbox again: its lock is free by now.
            EXPECT_TRUE(mailbox.isCurrent(report.epoch));
            pushed.push_back(report);
        });
        mailbox.openEpoch(epoch, 1280, 720, 4'000'000, 60);
    }

    void drop(bool keyframe, int fps = 60) { mailbox.recordCompletion(epoch, fps, true, keyframe); }

    std::shared_ptr<FakeClock> clock = std::make_shared<FakeClock>(10'000'000'000);
    StudioEncoderFeedbackMailbox mailbox{clock};
    Uuid epoch = Uuid::random();
    std::vector<StudioEncoderFeedback> pushed;
};

TEST_F(StudioEncoderFeedbackMailboxTest, ThirdKeyframeDropInARowPushesOneReportWithTheWindow) {
    mailbox.recordSubmission(epoch);
    drop(true);
    drop(true);
    clock->advance(0.5);
    drop(true);
    drop(true);
    ASSERT_EQ(pushed.size(), 1u);
    EXPECT_EQ(pushed[0].consecutiveKeyframeDrops, 3);
    EXPECT_EQ(pushed[0].windowStart, 10.0);
    EXPECT_EQ(pushed[0].observedAt, 10.5);
    EXPECT_EQ(pushed[0].dropped, 3);
    EXPECT_EQ(pushed[0].submitted, 1);

    // An output ends the run; a new run pushes again on its third drop.
    mailbox.recordCompletion(epoch, 60, false, false);
    drop(true);
    drop(true);
    EXPECT_EQ(pushed.size(), 1u);
    drop(true);
    EXPECT_EQ(pushed.size(), 2u);
    // A dropped frame that was no keyframe ends a run too.
    drop(false);
    drop(true);
    drop(true);
    EXPECT_EQ(pushed.size(), 2u);
}

TEST_F(StudioEncoderFeedbackMailboxTest, BitrateChangePushesAReportWithoutAWindow) {
    mailbox.recordSubmission(epoch);
    drop(true);
    drop(true);
    mailbox.updateBitrate(2'000'000, epoch);
    ASSERT_EQ(pushed.size(), 1u);
    EXPECT_FALSE(pushed[0].windowStart);
    EXPECT_EQ(pushed[0].submitted, 0);
    EXPECT_EQ(pushed[0].dropped, 0);
    EXPECT_EQ(pushed[0].bitrate, 2'000'000);
    EXPECT_EQ(pushed[0].consecutiveKeyframeDrops, 2);
    // The window itself goes on.
    const auto window = mailbox.beginWindow();
    ASSERT_TRUE(window);
    EXPECT_EQ(window->dropped, 2);
}

TEST_F(StudioEncoderFeedbackMailboxTest, WindowsJoinWithoutAGapAndKeepTheKeyframeRun) {
    drop(true);
    clock->advance(1.0);
    const auto first = mailbox.beginWindow();
    clock->advance(1.0);
    mailbox.recordCompletion(epoch, 60, false, false);
    const auto second = mailbox.beginWindow();
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->consecutiveKeyframeDrops, 1);
    EXPECT_EQ(second->windowStart, first->observedAt);
    EXPECT_EQ(second->dropped, 0);
    EXPECT_EQ(second->output, 1);
}

TEST_F(StudioEncoderFeedbackMailboxTest, ClosedEpochGivesNothingAndIgnoresItsOperations) {
    const Uuid other = Uuid::random();
    mailbox.closeEpoch(other);
    EXPECT_TRUE(mailbox.isCurrent(epoch));
    mailbox.closeEpoch(epoch);
    EXPECT_FALSE(mailbox.isCurrent(epoch));
    EXPECT_FALSE(mailbox.beginWindow());
    mailbox.updateBitrate(1, epoch);
    EXPECT_TRUE(pushed.empty());

    const Uuid next = Uuid::random();
    mailbox.openEpoch(next, 640, 360, 1'000'000, 30);
    mailbox.recordSubmission(epoch);
    mailbox.recordCompletion(epoch, 30, false, false);
    const auto window = mailbox.beginWindow();
    ASSERT_TRUE(window);
    EXPECT_EQ(window->epoch, next);
    EXPECT_EQ(window->submitted, 0);
    EXPECT_EQ(window->output, 0);
}

TEST_F(StudioEncoderFeedbackMailboxTest, FrameRateChangeRestartsTheCountsAndIgnoresTheOldRate) {
    mailbox.recordSubmission(epoch);
    drop(true);
    clock->advance(2.0);
    mailbox.updateFramesPerSecond(30, epoch);
    drop(true, 60);
    mailbox.recordCompletion(epoch, 60, false, false);
    mailbox.recordCompletion(epoch, 30, false, false);
    const auto window = mailbox.beginWindow();
    ASSERT_TRUE(window);
    EXPECT_EQ(window->framesPerSecond, 30);
    EXPECT_EQ(window->epochStartedAt, 12.0);
    EXPECT_EQ(window->windowStart, 12.0);
    EXPECT_EQ(window->submitted, 0);
    EXPECT_EQ(window->dropped, 0);
    EXPECT_EQ(window->output, 1);
    EXPECT_EQ(window->consecutiveKeyframeDrops, 0);
}

TEST(StudioHardwareEncoderFactoryTest, CodecMatchingIgnoresTheLevelAndLetterCase) {
    struct Case {
        const char* name;
        std::map<std::string, std::string> parameters;
        bool matches;
    };
    const Case cases[] = {
        {"listed", {{"profile-level-id", "42e034"}, {"packetization-mode", "1"}}, true},
        {"another level", {{"profile-level-id", "42e01f"}, {"packetization-mode", "1"}}, true},
        {"upper case", {{"profile-level-id", "42E034"}, {"packetization-mode", "1"}}, true},
        {"mode 0", {{"profile-level-id", "42e034"}, {"packetization-mode", "0"}}, false},
        {"no mode", {{"profile-level-id", "42e034"}}, false},
        {"no profile", {{"packetization-mode", "1"}}, false},
        {"not hexadecimal", {{"profile-level-id", "42g034"}, {"packetization-mode", "1"}}, false},
    };
    const VideoCodecInfo baseline = InteractiveH264Factory::codecList()[1];
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(StudioHardwareEncoderFactory::codecMatches({"H264", c.parameters}, baseline),
                  c.matches);
    }
    const VideoCodecInfo high{"H264",
                              {{"profile-level-id", "640c34"}, {"packetization-mode", "1"}}};
    EXPECT_FALSE(StudioHardwareEncoderFactory::codecMatches(high, baseline));
}

TEST(StudioHardwareEncoderFactoryTest, MakesEncodersOnlyForAListedH264Codec) {
    StudioHardwareEncoderFactory factory([](const std::string&) {}, std::make_shared<FakeClock>());
    EXPECT_EQ(factory.supportedCodecs(), InteractiveH264Factory::codecList());
    const std::map<std::string, std::string> answered{{"profile-level-id", "42e01f"},
                                                      {"packetization-mode", "1"}};
    EXPECT_FALSE(factory.createEncoder({"VP8", answered}));
    EXPECT_FALSE(factory.createEncoder({"H264", {{"packetization-mode", "1"}}}));
    EXPECT_FALSE(factory.createEncoder({"H264", {{"profile-level-id", "42e034"}}}));
    auto encoder = factory.createEncoder({"H264", answered});
    ASSERT_TRUE(encoder);
    EXPECT_EQ(encoder->resolutionAlignment(), 2);
    EXPECT_TRUE(encoder->supportsNativeHandle());
}

}  // namespace
}  // namespace quillory
