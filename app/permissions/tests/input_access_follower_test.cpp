#include "app/permissions/input_access_follower.h"

#include <gtest/gtest.h>

#include "app/desktop-control/desktop_input_controller.h"
#include "app/desktop-control/tests/worker_fixture.h"
#include "app/permissions/testing/fake_permission_probe.h"
#include "platform/dispatch/testing/manual_executor.h"
#include "platform/input/recording_input_sink.h"

namespace quillory {
namespace {

using testing::Phase;

// Desktop input started on XTest; the opener hands out what the test chose.
class InputAccessFollowerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        MainQueue::install(main_);
        auto environment = testing::testEnvironment(old_, std::make_shared<FakeClock>(1'000'000),
                                                    std::make_shared<FakeDesktop>());
        environment.backend = {InputBackendKind::xtest, "/dev/uinput is not writable"};
        environment.openBackend = [this](Rect area) {
            areas_.push_back(area);
            return InputBackend{next_, {nextKind_, "reopened"}};
        };
        controller_ = std::make_unique<DesktopInputController>(std::move(environment));
        follower_ = std::make_unique<InputAccessFollower>(*controller_, probe_,
                                                          [this] { return writable_; });
        connection_ = controller_->beginPresentation();
        controller_->setControlDesktop(true);
    }
    void TearDown() override { controller_.reset(); }

    void draw(std::uint64_t sequence) {
        controller_->worker()->submit({testing::sample(sequence, Phase::began)}, connection_);
        controller_->worker()->drain();
    }

    std::shared_ptr<ManualExecutor> main_ = std::make_shared<ManualExecutor>();
    std::shared_ptr<RecordingInputSink> old_ = std::make_shared<RecordingInputSink>();
    std::shared_ptr<RecordingInputSink> next_ = std::make_shared<RecordingInputSink>();
    InputBackendKind nextKind_ = InputBackendKind::uinput;
    bool writable_ = true;
    std::vector<Rect> areas_;
    FakePermissionProbe probe_;
    std::unique_ptr<DesktopInputController> controller_;
    std::unique_ptr<InputAccessFollower> follower_;
    Uuid connection_;
};

TEST_F(InputAccessFollowerTest, AGrantMovesInputOntoUinputOnce) {
    follower_->accessObserved(false);
    EXPECT_TRUE(areas_.empty());
    draw(1);
    ASSERT_TRUE(old_->buttonDown());
    follower_->accessObserved(true);
    follower_->accessObserved(true);
    ASSERT_EQ(areas_.size(), 1u);
    EXPECT_EQ(areas_[0], (Rect{0, 0, 1920, 1080}));
    EXPECT_EQ(controller_->backend().kind, InputBackendKind::uinput);
    EXPECT_TRUE(old_->allUp());
    const auto oldCount = old_->count();
    draw(2);
    EXPECT_EQ(old_->count(), oldCount);
    EXPECT_TRUE(next_->buttonDown());
    EXPECT_FALSE(probe_.relaunchNeeded());
}

TEST_F(InputAccessFollowerTest, WithoutUinputTheOldSinkStaysAndARelaunchIsOffered) {
    nextKind_ = InputBackendKind::xtest;
    follower_->accessObserved(true);
    EXPECT_EQ(areas_.size(), 1u);
    EXPECT_EQ(controller_->backend().kind, InputBackendKind::xtest);
    EXPECT_TRUE(probe_.relaunchNeeded());
    draw(1);
    EXPECT_TRUE(old_->buttonDown());
    EXPECT_EQ(next_->count(), 0u);
}

TEST_F(InputAccessFollowerTest, NothingToReopenWhenUinputStaysClosed) {
    writable_ = false;
    follower_->accessObserved(true);  // XTEST standing in, where the kernel has no uinput
    writable_ = true;
    follower_->accessObserved(true);  // no change of access
    EXPECT_TRUE(areas_.empty());
    follower_->accessObserved(false);
    follower_->accessObserved(true);
    EXPECT_EQ(areas_.size(), 1u);
}

}  // namespace
}  // namespace quillory
