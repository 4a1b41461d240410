#include "app/interface/quick_controls_model.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QVariantMap>

#include "app/session/testing/fake_session.h"
#include "platform/clock/testing/fake_clock.h"

namespace quillory {
namespace {

class QuickControlsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        model_.setClock(clock_);
        model_.setProbes({[this] { return inputAccess_; }, [this] { return screenCapture_; }});
        model_.setLocale(QLocale(QLocale::English, QLocale::UnitedStates));
        model_.setSession(&session_);
    }

    void showCode(const QString& code = QStringLiteral("123456")) {
        session_.set({{"connectionState", "pairing"}, {"canApprove", true}, {"pairingCode", code}});
    }

    std::shared_ptr<FakeClock> clock_ = std::make_shared<FakeClock>();
    bool inputAccess_ = true;
    bool screenCapture_ = true;
    FakeSession session_;
    QuickControlsModel model_;
};

struct WaitingCase {
    const char* name;
    QVariantMap state;
    QString computerName;
    const char* title;
    const char* detail;
    const char* tint;
    const char* button;
    bool stopWaiting;
};

TEST_F(QuickControlsTest, WaitingCardFollowsTheFirstMatchingState) {
    const QString failure = QStringLiteral("The apps couldn’t verify this connection.");
    const WaitingCase cases[] = {
        {"failed while recovering",
         {{"connectionState", "failed"}, {"recovering", true}, {"listening", true}},
         "Desk",
         "Couldn’t connect",
         "The apps couldn’t verify this connection.",
         "destructive",
         "Try again",
         true},
        {"failed while not listening",
         {{"connectionState", "failed"}},
         "Desk",
         "Couldn’t connect",
         "The apps couldn’t verify this connection.",
         "destructive",
         "Try again",
         false},
        {"connecting wins over recovering",
         {{"connectionState", "pairing"}, {"recovering", true}, {"listening", true}},
         "Desk",
         "Connecting your iPad",
         "Checking it’s a device you trust.",
         "warning",
         "",
         true},
        {"a named tablet keeps its name",
         {{"recovering", true}, {"listening", true}, {"peerName", "Ada's pad"}},
         "Desk",
         "Waiting for Ada's pad",
         "It reconnects by itself when Quillory is open on the iPad.",
         "warning",
         "",
         true},
        {"listening",
         {{"listening", true}},
         "Desk",
         "Open Quillory on your iPad",
         "Then choose Desk. Same Wi-Fi, nothing else to set up.",
         "accent",
         "",
         false},
        {"no computer name",
         {{"listening", true}},
         "",
         "Open Quillory on your iPad",
         "Then choose Mac. Same Wi-Fi, nothing else to set up.",
         "accent",
         "",
         false},
        {"not listening",
         {},
         "Desk",
         "Not accepting connections",
         "Allow connections so your iPad can find this computer.",
         "accent",
         "Allow connections",
         false},
    };
    for (const WaitingCase& c : cases) {
        SCOPED_TRACE(c.name);
        FakeSession session;
        session.publishFailureMessage(failure);
        session.set(c.state);
        model_.setComputerName(c.computerName);
        model_.setSession(&session);
        EXPECT_EQ(model_.card(), "waiting");
        EXPECT_EQ(model_.waitingTitle(), QString::fromUtf8(c.title));
        EXPECT_EQ(model_.waitingDetail(), QString::fromUtf8(c.detail));
        EXPECT_EQ(model_.waitingTint(), c.tint);
        EXPECT_EQ(model_.waitingIcon(), QString(c.tint) == "destructive" ? "warning" : "tablet");
        EXPECT_EQ(model_.primaryButton(), c.button);
        EXPECT_EQ(model_.stopWaitingVisible(), c.stopWaiting);
        model_.setSession(&session_);
    }
}

TEST_F(QuickControlsTest, PairingCardUsesTheBareNameAndTheApprovals) {
    showCode();
    EXPECT_EQ(model_.card(), "pairing");
    EXPECT_EQ(model_.pairingTitle(), "Connect to iPad");
    EXPECT_EQ(model_.thisMacStatus(), "Ready");
    EXPECT_EQ(model_.peerStatus(), "Waiting…");
    session_.set({{"pairingApproved", true}, {"peerApproved", true}, {"peerName", "%1 <b>x</b>"}});
    EXPECT_EQ(model_.pairingTitle(), "Connect to %1 <b>x</b>");
    EXPECT_EQ(model_.confirmTitle(), "Confirmed");
    EXPECT_EQ(model_.thisMacStatus(), "Confirmed on this computer");
    EXPECT_EQ(model_.peerStatus(), "Confirmed on your iPad");
    EXPECT_FALSE(model_.confirmEnabled());
}

TEST_F(QuickControlsTest, ConfirmWaitsOneSecondAfterEachNewCode) {
    showCode();
    EXPECT_TRUE(model_.codeTimer().isActive());
    EXPECT_EQ(model_.codeTimer().interval(), 1000);
    clock_->advance(0.9);
    model_.confirm();
    EXPECT_FALSE(model_.confirmEnabled());
    EXPECT_FALSE(session_.calls().contains("approvePairing"));

    clock_->advance(0.1);
    QSignalSpy changed(&model_, &QuickControlsModel::changed);
    model_.refresh();  // what the timer does
    EXPECT_TRUE(model_.confirmEnabled());
    EXPECT_EQ(changed.count(), 1);

    showCode(QStringLiteral("654321"));  // a new code: another second
    EXPECT_FALSE(model_.confirmEnabled());
    model_.confirm();
    EXPECT_FALSE(session_.calls().contains("approvePairing"));
    clock_->advance(1.0);
    model_.confirm();
    model_.confirm();  // approved now: the second press does nothing
    EXPECT_EQ(session_.calls().count("approvePairing"), 1);
    EXPECT_FALSE(session_.calls().contains("closeUnverified"));
}

TEST_F(QuickControlsTest, ConfirmNeedsTheSessionToBeAbleToApprove) {
    showCode();
    session_.publishCanApprove(false);
    clock_->advance(2);
    model_.refresh();
    EXPECT_FALSE(model_.confirmEnabled());
    model_.confirm();
    EXPECT_TRUE(session_.calls().isEmpty());
}

TEST_F(QuickControlsTest, ARefusedApprovalEndsTheChannelAsUnverifiedOnce) {
    session_.answerApprove(false);
    showCode();
    clock_->advance(1);
    model_.confirm();
    EXPECT_EQ(session_.calls(), (QStringList{"approvePairing", "closeUnverified"}));
}

TEST_F(QuickControlsTest, LatencyDetailInEachCaseAndLocale) {
    const std::pair<QVariant, const char*> cases[] = {
        {12.34, "12.3 ms round trip"},
        {"measuring", "Measuring… round trip"},
        {"timedOut", "No reply round trip"},
        {"unsupported", "Update companion round trip"},
    };
    for (const auto& [latency, text] : cases) {
        session_.set({{"latency", latency}});
        EXPECT_EQ(model_.tabletDetail(), QString::fromUtf8(text));
    }
    session_.set({{"latency", 12.34}});
    model_.setLocale(QLocale(QStringLiteral("de_DE")));
    EXPECT_EQ(model_.tabletDetail(), "12,3 ms round trip");
}

TEST_F(QuickControlsTest, StudioRowOffersReopenOnlyForAGrantAfterLaunch) {
    FakeStudio* studio = session_.fakeStudio();
    EXPECT_EQ(model_.studioRow(), "");
    studio->publishActive(true);
    EXPECT_EQ(model_.studioDetail(), "Sharing your screen");
    studio->publishStatus(QStringLiteral("Starting Studio…"));
    EXPECT_EQ(model_.studioDetail(), "Starting Studio…");
    model_.studioAction();
    EXPECT_EQ(studio->calls(), QStringList{"stop"});
    EXPECT_EQ(model_.studioRow(), "");

    studio->publishFailure(QStringLiteral("Capture ended"));
    struct {
        bool atLaunch, now;
        const char* button;
    } const grants[] = {{true, true, "OK"}, {false, false, "OK"}, {false, true, "Reopen"}};
    for (const auto& grant : grants) {
        session_.fakeShell()->setScreenCaptureAllowedAtLaunch(grant.atLaunch);
        screenCapture_ = grant.now;
        model_.refresh();
        EXPECT_EQ(model_.studioRow(), "stopped");
        EXPECT_EQ(model_.studioButton(), grant.button);
    }
    model_.studioAction();
    EXPECT_EQ(session_.fakeShell()->calls(), QStringList{"relaunchApplication"});
    screenCapture_ = false;
    model_.refresh();
    model_.studioAction();  // "OK"
    EXPECT_EQ(studio->failure(), "");
    EXPECT_EQ(model_.studioRow(), "");
}

TEST_F(QuickControlsTest, UpdateRowsFollowTheUpdater) {
    FakeUpdates* updates = session_.fakeShell()->fakeUpdates();
    EXPECT_FALSE(model_.checkForUpdatesVisible());
    updates->publishPendingVersion(QStringLiteral("2.1"));  // while not available
    EXPECT_EQ(model_.updateBanner(), "Update available: Quillory 2.1");
    updates->publishAvailable(true);
    EXPECT_FALSE(model_.checkForUpdatesVisible());
    updates->publishPendingVersion({});
    EXPECT_TRUE(model_.checkForUpdatesVisible());
    EXPECT_FALSE(model_.checkForUpdatesEnabled());
    updates->publishCanCheck(true);
    EXPECT_TRUE(model_.checkForUpdatesEnabled());

    QStringList order;
    QObject::connect(&model_, &QuickControlsModel::closePopoverRequested,
                     [&] { order << "close"; });
    QObject::connect(&model_, &QuickControlsModel::openUtilityRequested,
                     [&](const QString& id) { order << id; });
    model_.openWindow(QStringLiteral("settings"));
    model_.checkForUpdates();
    EXPECT_EQ(order, (QStringList{"close", "settings", "close"}));
    EXPECT_EQ(updates->calls(), QStringList{"checkForUpdates"});
    updates->publishAvailable(false);
    model_.checkForUpdates();  // the panel still closes; nothing is checked
    EXPECT_EQ(order.count("close"), 3);
    EXPECT_EQ(updates->calls().size(), 1);
}

TEST_F(QuickControlsTest, SignalWordAndDotHaveTheirOwnOrder) {
    struct {
        QVariantMap state;
        const char* dot;
        const char* word;
    } const cases[] = {
        {{{"connectionState", "failed"}, {"recovering", true}}, "pending", "Failed"},
        {{{"connectionState", "failed"}}, "idle", "Failed"},
        {{{"connectionState", "pairing"}, {"connected", true}}, "live", "Pairing"},
        {{{"connectionState", "idle"}, {"recovering", true}}, "pending", "Reconnecting"},
        {{{"connectionState", "connected"}, {"connected", true}}, "live", "Connected"},
        {{{"listening", true}}, "idle", "Ready"},
        {{}, "idle", "Offline"},
    };
    for (const auto& c : cases) {
        FakeSession session;
        session.set(c.state);
        model_.setSession(&session);
        EXPECT_EQ(model_.signalDot(), c.dot) << c.word;
        EXPECT_EQ(model_.signalWord(), c.word);
        EXPECT_EQ(model_.signalFailed(), QString(c.word) == "Failed");
        model_.setSession(&session_);
    }
}

TEST_F(QuickControlsTest, DesktopControlDetailAndTint) {
    struct {
        bool preference, access, penTest, live;
        const char* detail;
        const char* tint;
    } const cases[] = {
        {false, true, false, false, "Pen input is paused", ""},
        {true, false, false, false, "Needs Desktop control access: allow it below", "warning"},
        {true, true, true, false, "Paused while Pen test is open", "warning"},
        {true, true, false, true, "The pen controls this computer", "accent"},
    };
    session_.set({{"activePeer", "ab12"}});
    for (const auto& c : cases) {
        SCOPED_TRACE(c.detail);
        session_.setDesktopControlEnabled(QStringLiteral("ab12"), c.preference);
        inputAccess_ = c.access;
        session_.set({{"pencilTestActive", c.penTest}});
        session_.fakeInput()->setControlDesktop(c.live);
        model_.refresh();
        EXPECT_EQ(model_.desktopControlOn(), c.preference);
        EXPECT_EQ(model_.desktopControlDetail(), c.detail);
        EXPECT_EQ(model_.desktopControlTint(), c.tint);
    }
}

TEST_F(QuickControlsTest, SwitchWithoutATabletStoresNothingAndShowsOff) {
    model_.setDesktopControl(true);
    EXPECT_EQ(session_.calls(), QStringList{"setDesktopControl:true"});
    EXPECT_FALSE(model_.desktopControlOn());
    // A later preference of the active tablet still shows.
    session_.setDesktopControlEnabled(QStringLiteral("ab12"), true);
    session_.set({{"activePeer", "ab12"}});
    EXPECT_TRUE(model_.desktopControlOn());
    model_.setDesktopControl(false);
    EXPECT_FALSE(model_.desktopControlOn());
}

TEST_F(QuickControlsTest, ChangedFiresOnlyWhenSomethingShownDiffers) {
    QSignalSpy changed(&model_, &QuickControlsModel::changed);
    model_.refresh();
    session_.setStatus(QStringLiteral("Allow Quillory …"));  // not shown by the panel
    EXPECT_EQ(changed.count(), 0);
    session_.set({{"listening", true}});
    EXPECT_EQ(changed.count(), 1);

    // A stroke's samples are not shown here: nothing is recomputed, the access probe not asked.
    int asked = 0;
    model_.setProbes({[&asked] { return ++asked > 0; }, [] { return true; }});
    asked = 0;
    for (int frame = 0; frame < 60; ++frame) {
        session_.fakeInput()->setPressure(frame / 60.0);
    }
    EXPECT_EQ(asked, 0);
}

}  // namespace
}  // namespace quillory
