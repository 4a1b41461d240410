#include "app/studio/studio_encoder_admission.h"

#include <gtest/gtest.h>

namespace quillory {
namespace {

VideoFrame frameAt(std::uint32_t rtpTimestamp) {
    return VideoFrame::whole(PixelBuffer::allocate(16, 16), 0, rtpTimestamp);
}

TEST(StudioEncoderAdmissionTest, AWaitingFrameIsReplacedAndKeepsTheKeyframeItWasOwed) {
    StudioEncoderAdmission admission;
    EXPECT_FALSE(admission.admit(frameAt(1), true, 0).accepted);
    admission.open();
    EXPECT_FALSE(admission.take());  // nothing waits yet

    const auto first = admission.admit(frameAt(1), false, 1);
    EXPECT_TRUE(first.accepted);
    EXPECT_TRUE(first.schedule);
    const auto second = admission.admit(frameAt(2), false, 2);
    ASSERT_TRUE(second.replaced);
    EXPECT_EQ(second.replaced->frame.rtpTimestamp, 1u);
    EXPECT_FALSE(second.schedule);  // the first pass is still claimed

    const auto taken = admission.take();
    ASSERT_TRUE(taken);
    EXPECT_EQ(taken->job.frame.rtpTimestamp, 2u);
    EXPECT_TRUE(taken->keyframe);  // the first frame after open
    EXPECT_EQ(taken->generation, admission.generation());

    admission.admit(frameAt(3), false, 3);
    EXPECT_FALSE(admission.take()->keyframe);
}

TEST(StudioEncoderAdmissionTest, TheCodecHoldsAtMostTwoFramesAndARefusalOwesAKeyframe) {
    StudioEncoderAdmission admission;
    admission.open();
    for (int frame = 0; frame < StudioEncoderAdmission::maximumInCodec; ++frame) {
        admission.admit(frameAt(1), false, 0);
        ASSERT_TRUE(admission.take());
        admission.submitted();
    }
    EXPECT_FALSE(admission.admit(frameAt(2), false, 0).schedule);
    EXPECT_FALSE(admission.claimPump());
    EXPECT_FALSE(admission.take());
    EXPECT_EQ(admission.framesInCodec(), 2);

    admission.refused();
    EXPECT_TRUE(admission.claimPump());
    EXPECT_FALSE(admission.claimPump());
    EXPECT_TRUE(admission.take()->keyframe);
    EXPECT_TRUE(admission.completed());
}

TEST(StudioEncoderAdmissionTest, CloseAndRenewForgetTheWaitingFrame) {
    StudioEncoderAdmission admission;
    admission.open();
    admission.admit(frameAt(1), false, 0);
    admission.close();
    EXPECT_FALSE(admission.claimPump());
    EXPECT_FALSE(admission.admit(frameAt(2), false, 0).accepted);

    const Uuid before = admission.generation();
    admission.open();
    admission.admit(frameAt(3), false, 0);
    admission.submitted();
    admission.renew();
    EXPECT_NE(admission.generation(), before);
    EXPECT_EQ(admission.framesInCodec(), 0);
    EXPECT_FALSE(admission.take());
    EXPECT_FALSE(admission.admit(frameAt(4), false, 0).accepted);
}

}  // namespace
}  // namespace quillory
