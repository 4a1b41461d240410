#include "platform/webrtc/gstreamer/ice_gathering_wait.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>

#include "platform/webrtc/gstreamer/gst_webrtc_setup.h"

namespace quillory {
namespace {

// The wait inside an owner, as the transports hold it, over a webrtcbin that never gathers.
struct Owner {
    explicit Owner(SerialQueue& queue) : wait(queue) {}
    ~Owner() {
        wait.close();
        gst_object_unref(webrtc);
    }
    GstElement* webrtc =
        GST_ELEMENT(gst_object_ref_sink(gst_element_factory_make("webrtcbin", nullptr)));
    IceGatheringWait wait;
};

class IceGatheringWaitTest : public testing::Test {
  protected:
    void SetUp() override {
        if (!gstreamerWebRtcAvailable()) {
            GTEST_SKIP() << "GStreamer's WebRTC elements are missing";
        }
        owner_ = std::make_shared<Owner>(queue_);
        owner_->wait.watch(owner_->webrtc,
                           std::shared_ptr<IceGatheringWait>(owner_, &owner_->wait));
    }

    // Runs on the queue after everything due within `seconds`.
    void passOnQueue(double seconds) {
        std::promise<void> passed;
        Timer timer = queue_.after(seconds, [&passed] { passed.set_value(); });
        ASSERT_EQ(passed.get_future().wait_for(std::chrono::seconds(10)),
                  std::future_status::ready);
    }

    SerialQueue queue_{"test.gathering"};
    std::shared_ptr<Owner> owner_;
};

TEST_F(IceGatheringWaitTest, TheDeadlineEndsAWaitThatGatheringDoesNotOnceOnTheQueue) {
    IceGatheringWait& wait = owner_->wait;
    EXPECT_EQ(wait.state(), IceGatheringState::fresh);
    std::atomic<int> finished = 0;
    std::atomic<bool> onQueue = false;
    ASSERT_TRUE(wait.start(0.01, [&] {
        onQueue = queue_.isCurrent();
        ++finished;
    }));
    EXPECT_EQ(wait.state(), IceGatheringState::gathering);
    passOnQueue(0.05);
    EXPECT_EQ(finished.load(), 1);
    EXPECT_TRUE(onQueue.load());
    wait.gathered();
    EXPECT_EQ(wait.state(), IceGatheringState::complete);
}

TEST_F(IceGatheringWaitTest, ClosingDropsThePendingWaitAndRefusesNewOnes) {
    IceGatheringWait& wait = owner_->wait;
    std::atomic<int> finished = 0;
    ASSERT_TRUE(wait.start(0.01, [&] { ++finished; }));
    wait.close();
    EXPECT_FALSE(wait.start(0.01, [&] { ++finished; }));
    passOnQueue(0.05);
    EXPECT_EQ(finished.load(), 0);
}

}  // namespace
}  // namespace quillory
