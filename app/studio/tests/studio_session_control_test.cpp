#include "app/studio/studio_session_control.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "app/studio/tests/mac_studio_session_fixture.h"

namespace quillory {
namespace {

using ::testing::ElementsAre;

class StudioSessionControlTest : public MacStudioSessionFixture {
  protected:
    void SetUp() override {
        MacStudioSessionFixture::SetUp();
        control = std::make_unique<StudioSessionControl>(session);
        QObject::connect(control.get(), &StudioControl::statusChanged, [this] {
            changes.push_back("status " + control->status().toStdString());
        });
        QObject::connect(control.get(), &StudioControl::activeChanged,
                         [this] { changes.push_back(control->active() ? "active" : "idle"); });
        QObject::connect(control.get(), &StudioControl::failureChanged, [this] {
            changes.push_back("failure " + control->failure().toStdString());
        });
    }
    void TearDown() override {
        control.reset();
        MacStudioSessionFixture::TearDown();
    }

    std::unique_ptr<StudioSessionControl> control;
    std::vector<std::string> changes;
};

TEST_F(StudioSessionControlTest, PublishesEachValueAndForwardsToTheOwnersFunctions) {
    std::vector<StudioSignal::Kind> forwarded;
    control->setHooks(
        {.send = [&](const StudioSignal& signal) { forwarded.push_back(signal.kind); }});
    control->handle(StudioSignal{.id = Uuid::random(), .kind = StudioSignal::Kind::request});
    run();
    deliverContent(false);
    EXPECT_THAT(changes, ElementsAre("active", "status Starting Studio…", "idle", "status ",
                                     "failure Quillory could not read this computer's displays "
                                     "and windows. Try Studio again."));
    EXPECT_THAT(forwarded, ElementsAre(StudioSignal::Kind::failure));

    // A failure the user cleared stays cleared while other values change.
    control->clearFailure();
    changes.clear();
    control->stop();
    EXPECT_TRUE(control->failure().isEmpty());
    EXPECT_TRUE(changes.empty());
}

TEST_F(StudioSessionControlTest, TheSessionAsksTheOwnerForTheAddressAtEachCall) {
    EXPECT_FALSE(session->localAddress);
    std::optional<std::string> address = "10.0.0.5";
    control->setHooks({.localAddress = [&] { return address; }});
    EXPECT_EQ(session->localAddress(), address);
    address.reset();
    EXPECT_FALSE(session->localAddress());
    control.reset();
    EXPECT_FALSE(session->localAddress);
}

}  // namespace
}  // namespace quillory
