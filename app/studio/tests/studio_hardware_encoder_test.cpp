// The encoder's machinery over a scripted codec and a clock that moves only when told.
#include "app/studio/studio_hardware_encoder.h"

#include <gtest/gtest.h>

#include <mutex>
#include <thread>
#include <utility>

#include "app/studio/studio_hardware_encoder_factory.h"
#include "app/studio/tests/fake_studio_video_codec.h"
#include "media/interactive_h264_factory.h"
#include "platform/clock/testing/fake_clock.h"

namespace quillory {
namespace {

using testing::FakeCodecControl;
using Action = FakeCodecControl::Action;

constexpr int frameWidth = 64;
constexpr int frameHeight = 48;

class StudioHardwareEncoderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        factory = std::make_unique<StudioHardwareEncoderFactory>(
            [this](const std::string& message) {
                std::lock_guard lock(mutex);
                failures.push_back(message);
            },
            clock, codec->opener());
        factory->feedback()->setOnUpdate([this](const StudioEncoderFeedback& report) {
            std::lock_guard lock(mutex);
            pushed.push_back(report);
        });
        encoder = std::static_pointer_cast<StudioHardwareEncoder>(
            factory->createEncoder(InteractiveH264Factory::codecList()[1]));
        ASSERT_TRUE(encoder);
        encoder->setCallback([this](const EncodedImage& image, const H264CodecSpecificInfo&) {
            std::lock_guard lock(mutex);
            images.push_back(image);
            return true;
        });
    }

    int start(int width = frameWidth, int height = frameHeight, std::uint32_t kbps = 1000) {
        return encoder->startEncode({width, height, kbps, 60, 1});
    }

    VideoFrame frame(std::uint32_t rtp) {
        return VideoFrame::whole(PixelBuffer::allocate(frameWidth, frameHeight), rtp * 1'000'000,
                                 rtp);
    }

    int submit(const VideoFrame& raw, bool keyframe = false) {
        const VideoFrameType types[] = {keyframe ? VideoFrameType::key : VideoFrameType::delta};
        return encoder->encode(raw, nullptr, types);
    }

    // Every chain of queue work here (output, pump, discard and pump again) is at most a few
    // items deep.
    void settle() {
        for (int i = 0; i < 4; ++i) {
            ASSERT_TRUE(encoder->waitForQueue());
        }
    }

    // Starts with a codec that holds its frames and puts two in.
    void startWithFullCodec() {
        codec->setFallback(Action::hold);
        ASSERT_EQ(start(), videoCodecOk);
        submit(frame(1));
        settle();
        submit(frame(2));
        settle();
        ASSERT_EQ(encoder->framesInCodec(), 2);
    }

    double metric(const std::string& key) { return factory->metrics()->snapshot().value(key); }

    std::vector<std::string> takeFailures() {
        std::lock_guard lock(mutex);
        return std::exchange(failures, {});
    }
    std::vector<EncodedImage> outputImages() {
        std::lock_guard lock(mutex);
        return images;
    }

    std::shared_ptr<FakeClock> clock = std::make_shared<FakeClock>();
    std::shared_ptr<FakeCodecControl> codec = std::make_shared<FakeCodecControl>();
    std::unique_ptr<StudioHardwareEncoderFactory> factory;
    std::shared_ptr<StudioHardwareEncoder> encoder;
    std::mutex mutex;
    std::vector<std::string> failures;
    std::vector<EncodedImage> images;
    std::vector<StudioEncoderFeedback> pushed;
};

TEST_F(StudioHardwareEncoderTest, FirstFrameAfterStartIsKeyThenDelta) {
    ASSERT_EQ(start(), videoCodecOk);
    submit(frame(1));
    settle();
    submit(frame(2));
    settle();
    const auto out = outputImages();
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0].frameType, VideoFrameType::key);
    EXPECT_EQ(out[0].rtpTimestamp, 1u);
    EXPECT_EQ(out[0].encodedWidth, frameWidth);
    EXPECT_EQ(out[1].frameType, VideoFrameType::delta);
    EXPECT_EQ(out[1].qp, -1);
    // A frame of the encoder's size goes in without a copy.
    EXPECT_EQ(metric("encoderOutputFrames"), 2);
    EXPECT_EQ(encoder->implementationName(), "quillory-x264-low-delay");
}

// Constrained High where the answer picked it, which at one rate shows the picture better.
TEST(StudioHardwareEncoderProfileTest, EncodesTheProfileTheAnswerPicked) {
    const auto& codecs = InteractiveH264Factory::codecList();
    for (const auto& [codec, expected] : {std::pair{codecs[0], H264Profile::constrainedHigh},
                                          std::pair{codecs[1], H264Profile::constrainedBaseline}}) {
        SCOPED_TRACE(codec.parameters.at("profile-level-id"));
        const auto control = std::make_shared<FakeCodecControl>();
        StudioHardwareEncoderFactory factory([](const std::string&) {},
                                             std::make_shared<FakeClock>(), control->opener());
        const auto encoder = factory.createEncoder(codec);
        ASSERT_EQ(encoder->startEncode({frameWidth, frameHeight, 1000, 60, 1}), videoCodecOk);
        EXPECT_EQ(control->profiles(), std::vector<H264Profile>{expected});
        encoder->releaseEncoder();
    }
}

TEST(StudioHardwareEncoderTraceTest, AnAttachedTraceSeesTheEncoderStages) {
    auto clock = std::make_shared<FakeClock>();
    auto codec = std::make_shared<FakeCodecControl>();
    StudioHardwareEncoderFactory factory([](const std::string&) {}, clock, codec->opener());
    auto trace = std::make_shared<StudioPerformanceTrace>(64, 16, 0.0);
    factory.setTrace(trace);
    auto encoder = std::static_pointer_cast<StudioHardwareEncoder>(
        factory.createEncoder(InteractiveH264Factory::codecList()[0]));
    ASSERT_EQ(encoder->startEncode({frameWidth, frameHeight, 1000, 60, 1}), videoCodecOk);
    const VideoFrameType delta[] = {VideoFrameType::delta};
    codec->script({Action::drop});
    for (std::uint32_t rtp = 7; rtp <= 8; ++rtp) {
        encoder->encode(VideoFrame::whole(PixelBuffer::allocate(frameWidth, frameHeight), 0, rtp),
                        nullptr, delta);
        ASSERT_TRUE(encoder->waitForQueue());
    }
    encoder->setBitrate(0, 60);
    using Stage = StudioPerformanceTrace::Stage;
    std::vector<Stage> stages;
    for (const auto& event : trace->snapshot().recentEvents) {
        stages.push_back(event.stage);
    }
    EXPECT_EQ(stages, (std::vector<Stage>{
                          Stage::encoderCreating, Stage::encoderPrepared, Stage::encodeSubmitted,
                          Stage::encodeCompleted, Stage::encoderDrop, Stage::encodeSubmitted,
                          Stage::encodeCompleted, Stage::encodedOutput, Stage::encoderAllocation}));
    EXPECT_EQ(trace->snapshot().recentEvents[7].rtpTimestamp, 8u);
    EXPECT_EQ(encoder->profile(), "640c34");
}

TEST_F(StudioHardwareEncoderTest, FramesOfAnotherSizeAreScaledIntoTheEncodersSize) {
    ASSERT_EQ(start(), videoCodecOk);
    const VideoFrame same = frame(1);
    VideoFrame larger =
        VideoFrame::whole(PixelBuffer::allocate(frameWidth * 2, frameHeight * 2), 2'000'000, 2);
    submit(same);
    settle();
    submit(larger);
    settle();
    const auto encoded = codec->encoded();
    ASSERT_EQ(encoded.size(), 2u);
    EXPECT_EQ(encoded[0].buffer, same.buffer.get());
    EXPECT_NE(encoded[1].buffer, larger.buffer.get());
    EXPECT_EQ(encoded[1].width, frameWidth);
    EXPECT_EQ(encoded[1].height, frameHeight);
}

TEST_F(StudioHardwareEncoderTest, NewerFramesReplaceTheWaitingOneWhileTwoAreInTheCodec) {
    for (const bool thirdWantsKey : {false, true}) {
        SCOPED_TRACE(thirdWantsKey);
        const double replacedBefore = metric("encoderReplacedRawFrames");
        startWithFullCodec();
        const std::size_t encodedBefore = codec->encoded().size();
        submit(frame(3), thirdWantsKey);
        submit(frame(4));
        const VideoFrame last = frame(5);
        submit(last);
        settle();
        EXPECT_EQ(codec->encoded().size(), encodedBefore);
        EXPECT_EQ(metric("encoderReplacedRawFrames") - replacedBefore, 2);

        codec->release(1);
        settle();
        const auto encoded = codec->encoded();
        ASSERT_EQ(encoded.size(), encodedBefore + 1);
        EXPECT_EQ(encoded.back().buffer, last.buffer.get());
        EXPECT_EQ(encoded.back().keyframe, thirdWantsKey);
        encoder->releaseEncoder();
    }
}

TEST_F(StudioHardwareEncoderTest, FrameThatWaitedTwoIntervalsIsDiscardedAndItsKeyRequestCarried) {
    struct Case {
        double waited;
        bool discarded;
    };
    // Two intervals at 60 frames/s are 33.3 ms.
    for (const Case c : {Case{0.040, true}, Case{0.030, false}}) {
        SCOPED_TRACE(c.waited);
        const double discardedBefore = metric("encoderDiscardedRawFrames");
        startWithFullCodec();
        submit(frame(3), true);
        clock->advance(c.waited);
        codec->setFallback(Action::output);
        codec->release(1);
        settle();
        submit(frame(4));
        settle();
        EXPECT_EQ(metric("encoderDiscardedRawFrames") - discardedBefore, c.discarded ? 1 : 0);
        const auto encoded = codec->encoded();
        ASSERT_GE(encoded.size(), 3u);
        // Either frame 3 went in as a keyframe, or frame 4 inherited its request.
        const auto& third = encoded[encoded.size() - (c.discarded ? 1 : 2)];
        EXPECT_TRUE(third.keyframe);
        if (!c.discarded) {
            EXPECT_FALSE(encoded.back().keyframe);
        }
        EXPECT_GE(metric("encoderRawQueueMaximumMS"), c.waited * 1000 - 1e-6);
        encoder->releaseEncoder();
    }
}

TEST_F(StudioHardwareEncoderTest, ZeroBitrateDiscardsEveryFrameUntilARateComes) {
    ASSERT_EQ(start(), videoCodecOk);
    EXPECT_EQ(encoder->setBitrate(0, 30), videoCodecOk);
    submit(frame(1));
    settle();
    submit(frame(2));
    settle();
    EXPECT_TRUE(codec->encoded().empty());
    EXPECT_EQ(metric("encoderDiscardedRawFrames"), 2);
    EXPECT_EQ(factory->metrics()->snapshot().setting("encoderAllocatedBitrateBps"), 0);

    EXPECT_EQ(encoder->setBitrate(500, 30), videoCodecOk);
    submit(frame(3));
    settle();
    const auto encoded = codec->encoded();
    ASSERT_EQ(encoded.size(), 1u);
    // The first frame's keyframe request survived the discards.
    EXPECT_TRUE(encoded[0].keyframe);
    EXPECT_EQ(codec->bitrates().back(), 500u);
    // A paused rate is no sign of an encoder that cannot keep up.
    const auto window = factory->feedback()->beginWindow();
    ASSERT_TRUE(window);
    EXPECT_EQ(window->dropped, 0);
    std::lock_guard lock(mutex);
    ASSERT_EQ(pushed.size(), 2u);
    EXPECT_EQ(pushed[0].bitrate, 0);
    EXPECT_EQ(pushed[1].bitrate, 500'000);
}

TEST_F(StudioHardwareEncoderTest, OutputsOfAnEarlierGenerationChangeNothing) {
    startWithFullCodec();
    // Both come out only when the encoder tears down.
    codec->releaseQuietly(2);
    EXPECT_EQ(encoder->releaseEncoder(), videoCodecOk);
    EXPECT_EQ(submit(frame(3)), videoCodecError);
    EXPECT_TRUE(outputImages().empty());
    EXPECT_EQ(metric("encoderOutputFrames"), 0);

    codec->setFallback(Action::output);
    ASSERT_EQ(start(), videoCodecOk);
    EXPECT_EQ(encoder->framesInCodec(), 0);
    submit(frame(4));
    settle();
    const auto out = outputImages();
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].rtpTimestamp, 4u);
    EXPECT_EQ(out[0].frameType, VideoFrameType::key);
    const auto window = factory->feedback()->beginWindow();
    ASSERT_TRUE(window);
    EXPECT_EQ(window->output, 1);
    EXPECT_EQ(window->submitted, 1);
}

TEST_F(StudioHardwareEncoderTest, StartFailuresReportTheirTexts) {
    struct Case {
        const char* name;
        int width;
        std::uint32_t kbps;
        std::optional<VideoError> openError;
        std::string text;
    };
    const Case cases[] = {
        {"zero width", 0, 1000, std::nullopt,
         "Video encoding could not start because the frame dimensions are invalid."},
        {"open fails", frameWidth, 1000, VideoError{-22, "Invalid argument"},
         "Hardware video encoding could not start. Compression session creation failed "
         "(libavcodec error -22)."},
        {"zero rate", frameWidth, 0, std::nullopt,
         "Hardware video encoding could not start. The initial video bitrate was zero."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.openError) {
            codec->failNextOpen(*c.openError);
        }
        EXPECT_EQ(start(c.width, frameHeight, c.kbps), videoCodecError);
        EXPECT_EQ(takeFailures(), std::vector<std::string>{c.text});
        EXPECT_EQ(submit(frame(1)), videoCodecError);
    }
    EXPECT_EQ(factory->metrics()->snapshot().setting("encoderLastFailureOSStatus"), -22);
}

TEST_F(StudioHardwareEncoderTest, PresentationTimesFollowTheCadence) {
    factory->cadence()->setFramesPerSecond(30);
    ASSERT_EQ(start(), videoCodecOk);
    for (std::uint32_t i = 1; i <= 3; ++i) {
        submit(frame(i));
        settle();
    }
    factory->cadence()->setFramesPerSecond(60);
    for (std::uint32_t i = 4; i <= 5; ++i) {
        submit(frame(i));
        settle();
    }
    factory->cadence()->setFramesPerSecond(0);
    submit(frame(6));
    settle();
    std::vector<std::int64_t> pts;
    for (const auto& encoded : codec->encoded()) {
        pts.push_back(encoded.pts);
    }
    EXPECT_EQ(pts, (std::vector<std::int64_t>{0, 20, 40, 60, 70, 80}));
    // A cadence below 1 runs at 60, which the codec already has.
    EXPECT_EQ(codec->framesPerSecondChanges(), std::vector<int>{60});
    EXPECT_EQ(factory->metrics()->snapshot().setting("encoderExpectedFPS"), 60);
}

TEST_F(StudioHardwareEncoderTest, RuntimeFaultsFailOnceOrKeepTheKeyframeArmed) {
    struct Case {
        Action action;
        const char* failure;  // none: the stream goes on
        const char* metricKey;
    };
    const Case cases[] = {
        {Action::drop, nullptr, "encoderNativeDroppedFrames"},
        {Action::missing, nullptr, "encoderMissingOutputFrames"},
        {Action::fail, "Video encoding was interrupted. Try Studio again.", "encoderFailedFrames"},
        {Action::failOutput, "Video encoding was interrupted. Try Studio again.",
         "encoderFailedFrames"},
        {Action::incomplete, "The video encoder returned an incomplete frame. Try Studio again.",
         nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.action));
        const double before = c.metricKey ? metric(c.metricKey) : 0;
        ASSERT_EQ(start(), videoCodecOk);
        codec->script({c.action});
        submit(frame(1));
        settle();
        if (c.metricKey) {
            EXPECT_EQ(metric(c.metricKey) - before, 1);
        }
        if (c.failure) {
            EXPECT_EQ(takeFailures(), std::vector<std::string>{c.failure});
            EXPECT_EQ(submit(frame(2)), videoCodecError);
        } else {
            EXPECT_TRUE(takeFailures().empty());
            submit(frame(2));
            settle();
            // The dropped first frame's keyframe request stays armed.
            EXPECT_TRUE(codec->encoded().back().keyframe);
            EXPECT_EQ(outputImages().back().frameType, VideoFrameType::key);
        }
        encoder->releaseEncoder();
    }
}

TEST_F(StudioHardwareEncoderTest, RejectedCadenceFailsTheStream) {
    ASSERT_EQ(start(), videoCodecOk);
    codec->failNextFramesPerSecond(VideoError{-22, "no"});
    factory->cadence()->setFramesPerSecond(30);
    submit(frame(1));
    settle();
    EXPECT_EQ(takeFailures(),
              std::vector<std::string>{"The video frame rate could not be updated."});
    EXPECT_TRUE(codec->encoded().empty());
}

TEST_F(StudioHardwareEncoderTest, FramesTheEncoderCouldNotTakeCountAsDropsForTheAdaptation) {
    codec->setFallback(Action::hold);
    ASSERT_EQ(start(), videoCodecOk);
    // A slow codec: two frames inside, three more arrive before one comes out.
    for (std::uint32_t i = 1; i <= 5; ++i) {
        submit(frame(i));
        settle();
    }
    codec->release(2);
    settle();
    const auto window = factory->feedback()->beginWindow();
    ASSERT_TRUE(window);
    EXPECT_EQ(window->dropped, 2);
    EXPECT_EQ(window->output, 2);
    EXPECT_EQ(window->submitted, 5);
}

TEST_F(StudioHardwareEncoderTest, ThirdReplacedKeyframeInARowPushesAReport) {
    startWithFullCodec();
    for (std::uint32_t i = 3; i <= 7; ++i) {
        submit(frame(i), true);
    }
    std::lock_guard lock(mutex);
    ASSERT_EQ(pushed.size(), 1u);
    EXPECT_EQ(pushed[0].consecutiveKeyframeDrops, 3);
    EXPECT_TRUE(pushed[0].windowStart.has_value());
}

// Frames from one thread, rates and cadences from another, outputs released from a third.
TEST_F(StudioHardwareEncoderTest, ConcurrentCallersKeepTheCountsConsistent) {
    codec->setFallback(Action::output);
    ASSERT_EQ(start(), videoCodecOk);
    constexpr std::uint32_t frameCount = 300;
    std::thread control([this] {
        for (std::uint32_t i = 0; i < 50; ++i) {
            encoder->setBitrate(500 + i, 60);
            factory->cadence()->setFramesPerSecond(i % 2 == 0 ? 30 : 60);
            (void)factory->feedback()->beginWindow();
        }
    });
    for (std::uint32_t i = 1; i <= frameCount; ++i) {
        ASSERT_EQ(submit(frame(i), i % 50 == 0), videoCodecOk);
    }
    control.join();
    settle();
    EXPECT_LE(encoder->framesInCodec(), 2);
    const auto snapshot = factory->metrics()->snapshot();
    EXPECT_EQ(snapshot.value("encoderSubmittedFrames") +
                  snapshot.value("encoderReplacedRawFrames") +
                  snapshot.value("encoderDiscardedRawFrames"),
              frameCount);
    EXPECT_EQ(snapshot.value("encoderOutputFrames"), snapshot.value("encoderSubmittedFrames"));
    EXPECT_LE(snapshot.value("encoderMaximumInFlight"), 2);
    EXPECT_TRUE(takeFailures().empty());
}

}  // namespace
}  // namespace quillory
