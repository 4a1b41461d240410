#include "platform/webrtc/gstreamer/picture_loss_watch.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>

namespace quillory {
namespace {

constexpr std::int64_t millisecond = 1'000'000;

std::optional<std::int64_t> inMilliseconds(const std::optional<std::int64_t>& at) {
    return at ? std::optional(*at / millisecond) : std::nullopt;
}

// A keyframe repairs only pictures after the one that followed the gap: if the picture right
// after the gap counted, its round trip would allow the second loss at once.
TEST(PictureLossWatchTest, OnlyAKeyframeOfALaterPictureRepairsALoss) {
    PictureLossWatch watch;
    watch.askOnLoss();
    ASSERT_TRUE(watch.packetLost());
    EXPECT_TRUE(watch.pictureLost(false, 0).now);
    // Decoded before any packet after the gap came: it may still be broken.
    watch.keyframeDepayloaded(5);
    watch.pictureDecoded(5, 10 * millisecond);
    watch.packetArrived(10);
    watch.keyframeDepayloaded(10);
    watch.pictureDecoded(10, 50 * millisecond);

    ASSERT_TRUE(watch.packetLost());
    watch.packetArrived(20);
    const PictureLossWatch::Request kept = watch.pictureLost(false, 100 * millisecond);
    EXPECT_FALSE(kept.now);
    EXPECT_EQ(inMilliseconds(kept.retryAt), 300);

    // A keyframe of a later picture repairs the kept loss, so its retry asks nothing.
    watch.keyframeDepayloaded(30);
    watch.pictureDecoded(30, 250 * millisecond);
    const PictureLossWatch::Request retried = watch.pictureLost(true, 300 * millisecond);
    EXPECT_FALSE(retried.now);
    EXPECT_FALSE(retried.retryAt);
    EXPECT_EQ(watch.requests(), 1u);
}

// A keyframe that repeats the time of the picture before it leaves the decoder a frame later:
// it still marks that picture and still repairs the loss.
TEST(PictureLossWatchTest, AKeyframeTheDecoderMovesOnStillCounts) {
    PictureLossWatch watch;
    watch.askOnLoss();
    ASSERT_TRUE(watch.packetLost());
    watch.packetArrived(10);
    EXPECT_TRUE(watch.pictureLost(false, 0).now);
    ASSERT_TRUE(watch.packetLost());
    watch.packetArrived(20);
    const PictureLossWatch::Request kept = watch.pictureLost(false, 100 * millisecond);
    ASSERT_EQ(inMilliseconds(kept.retryAt), 300);

    watch.pictureDecoded(30, 240 * millisecond);
    EXPECT_FALSE(watch.takeKeyframe(30));
    watch.keyframeDepayloaded(30);
    watch.pictureDecoded(46, 250 * millisecond);
    EXPECT_TRUE(watch.takeKeyframe(46));
    EXPECT_FALSE(watch.takeKeyframe(63));
    const PictureLossWatch::Request retried = watch.pictureLost(true, 300 * millisecond);
    EXPECT_FALSE(retried.now);
    EXPECT_EQ(watch.requests(), 1u);
}

TEST(PictureLossWatchTest, AsksOnlyWhenToldAndSchedulesOneRetryAtATime) {
    PictureLossWatch watch;
    EXPECT_FALSE(watch.packetLost());
    watch.askOnLoss();
    ASSERT_TRUE(watch.packetLost());
    EXPECT_TRUE(watch.pictureLost(false, 0).now);
    EXPECT_EQ(inMilliseconds(watch.pictureLost(false, 100 * millisecond).retryAt), 300);
    // A second loss while the retry is scheduled waits for the same retry.
    const PictureLossWatch::Request again = watch.pictureLost(false, 200 * millisecond);
    EXPECT_FALSE(again.now);
    EXPECT_FALSE(again.retryAt);
    EXPECT_TRUE(watch.pictureLost(true, 300 * millisecond).now);
    // Two went out in the last second: the next loss is kept, with a retry of its own.
    const PictureLossWatch::Request kept = watch.pictureLost(false, 700 * millisecond);
    EXPECT_FALSE(kept.now);
    EXPECT_EQ(inMilliseconds(kept.retryAt), 1000);
    EXPECT_EQ(watch.requests(), 2u);
}

TEST(PictureLossWatchTest, APictureIsAKeyframeOnceAndOnlyTheLatestAreKept) {
    PictureLossWatch watch;
    for (std::uint64_t picture = 0; picture < 100; ++picture) {
        watch.keyframeDepayloaded(picture);
    }
    EXPECT_FALSE(watch.takeKeyframe(0));
    EXPECT_TRUE(watch.takeKeyframe(99));
    EXPECT_FALSE(watch.takeKeyframe(99));
}

}  // namespace
}  // namespace quillory
