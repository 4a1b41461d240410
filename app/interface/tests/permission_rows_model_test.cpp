#include "app/interface/permission_rows_model.h"

#include <gtest/gtest.h>

#include <QSignalSpy>

#include "app/interface/quick_controls_model.h"
#include "app/session/testing/fake_session.h"

namespace quillory {
namespace {

class PermissionRowsTest : public ::testing::Test {
  protected:
    PermissionRowsModel::Probes probes() {
        return {[this] {
                    ++asked_;
                    return accessibility_;
                },
                [this] { return screenRecording_; }};
    }

    bool accessibility_ = true;
    bool screenRecording_ = true;
    int asked_ = 0;
    FakeSession session_;
};

TEST_F(PermissionRowsTest, RowsShowWhatNeedsAction) {
    struct {
        bool showGranted, accessibility, screenRecording, atLaunch;
        bool card, accessibilityRow, screenRow, divider, relaunch;
    } const cases[] = {
        {false, true, true, true, false, false, false, false, false},
        {false, true, false, true, true, false, true, false, false},
        {false, false, true, true, true, true, false, false, false},
        {false, false, false, true, true, true, true, true, false},
        {false, true, true, false, true, false, true, false, true},  // granted after launch
        {true, true, true, true, true, true, true, true, false},
    };
    for (const auto& c : cases) {
        accessibility_ = c.accessibility;
        screenRecording_ = c.screenRecording;
        session_.fakeShell()->setScreenCaptureAllowedAtLaunch(c.atLaunch);
        PermissionRowsModel rows(probes());
        rows.setSession(&session_);
        rows.setShowGranted(c.showGranted);
        SCOPED_TRACE(testing::Message()
                     << c.showGranted << c.accessibility << c.screenRecording << c.atLaunch);
        EXPECT_EQ(rows.cardVisible(), c.card);
        EXPECT_EQ(rows.accessibilityRowVisible(), c.accessibilityRow);
        EXPECT_EQ(rows.screenRecordingRowVisible(), c.screenRow);
        EXPECT_EQ(rows.dividerVisible(), c.divider);
        EXPECT_EQ(rows.needsRelaunch(), c.relaunch);
    }
}

TEST_F(PermissionRowsTest, PollsOnlyWhileActiveAndAnnouncesOnlyChanges) {
    PermissionRowsModel rows(probes());
    EXPECT_EQ(asked_, 1);  // the read at creation
    EXPECT_FALSE(rows.pollTimer().isActive());
    QSignalSpy changed(&rows, &PermissionRowsModel::accessibilityChanged);

    rows.setActive(true);
    EXPECT_EQ(asked_, 2);
    EXPECT_TRUE(rows.pollTimer().isActive());
    EXPECT_EQ(rows.pollTimer().interval(), 1500);
    rows.refresh();  // an equal answer
    EXPECT_EQ(changed.count(), 0);
    accessibility_ = false;
    rows.refresh();
    EXPECT_EQ(changed.count(), 1);
    EXPECT_TRUE(rows.cardVisible());

    accessibility_ = true;
    rows.setActive(false);  // one more read, then no polling
    EXPECT_FALSE(rows.pollTimer().isActive());
    EXPECT_TRUE(rows.accessibility());
    EXPECT_EQ(changed.count(), 2);
}

TEST_F(PermissionRowsTest, ActionsReachTheSessionAndTheGuide) {
    PermissionRowsModel rows(probes());
    rows.setSession(&session_);
    rows.allowAccessibility();
    EXPECT_EQ(session_.calls(), QStringList{"requestInputAccess"});
    rows.allowScreenRecording();  // granted: no guide
    EXPECT_TRUE(session_.fakeShell()->calls().isEmpty());
    screenRecording_ = false;
    rows.allowScreenRecording();
    rows.reopen();
    EXPECT_EQ(session_.fakeShell()->calls(),
              (QStringList{"showPermissionGuide:screenRecording", "relaunchApplication"}));
}

TEST_F(PermissionRowsTest, AllowLeavesTheFailureReasonOnTheCard) {
    accessibility_ = false;
    PermissionRowsModel rows(probes());
    rows.setSession(&session_);
    QuickControlsModel controls;
    controls.setProbes({[this] { return accessibility_; }, [] { return true; }});
    controls.setSession(&session_);
    session_.set({{"connectionState", "failed"}, {"failureMessage", "The link timed out."}});
    rows.allowAccessibility();
    // What the session does when access is still missing.
    session_.setStatus(QStringLiteral("Allow Quillory to control this computer."));
    EXPECT_EQ(controls.waitingDetail(), "The link timed out.");
}

}  // namespace
}  // namespace quillory
