#include "app/interface/settings_model.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QTemporaryDir>
#include <memory>

#include "app/session/testing/fake_session.h"
#include "app/shell/mac_login_item.h"

namespace quillory {
namespace {

const QDateTime now = QDateTime(QDate(2026, 3, 1), QTime(12, 0), Qt::UTC);

class SettingsModelTest : public ::testing::Test {
  protected:
    SettingsModelTest()
        : model_([] { return now; }, {[this] {
                                          ++asked_;
                                          return accessibility_;
                                      },
                                      [this] { return screenRecording_; }}) {
        model_.setSession(&session_);
    }

    FakeUpdates* updates() { return session_.fakeShell()->fakeUpdates(); }

    bool accessibility_ = true;
    bool screenRecording_ = true;
    int asked_ = 0;
    FakeSession session_;
    SettingsModel model_;
};

TEST_F(SettingsModelTest, PillTextEnabledStateAndTooltip) {
    struct {
        const char* pending;
        bool canCheck;
        qint64 secondsAgo;  // negative: never checked
        const char* text;
        const char* tooltip;
    } const cases[] = {
        {"", true, -1, "Check for Updates", "Not checked yet"},
        {"2.1", false, 5 * 60, "Install 2.1", "Checked 5 minutes ago"},
        {"", true, 60, "Check for Updates", "Checked 1 minute ago"},
        {"", true, 3 * 3600 + 59, "Check for Updates", "Checked 3 hours ago"},
        {"", true, 3600, "Check for Updates", "Checked 1 hour ago"},
        {"", true, 4 * 86400, "Check for Updates", "Checked 4 days ago"},
        {"", true, 10, "Check for Updates", "Checked just now"},
        {"", true, -3600, "Check for Updates", "Not checked yet"},
    };
    for (const auto& c : cases) {
        updates()->publishPendingVersion(QString::fromLatin1(c.pending));
        updates()->publishCanCheck(c.canCheck);
        updates()->publishLastChecked(c.secondsAgo >= 0 ? now.addSecs(-c.secondsAgo) : QDateTime());
        SCOPED_TRACE(c.tooltip);
        EXPECT_EQ(model_.updatePillText(), QString::fromLatin1(c.text));
        EXPECT_EQ(model_.updatePillEnabled(), c.canCheck);
        EXPECT_EQ(model_.lastCheckedText(), QString::fromLatin1(c.tooltip));
    }
    // A clock set back behind the last check is not "in an hour".
    EXPECT_EQ(SettingsModel::relativeText(now.addSecs(3600), now), QStringLiteral("just now"));
}

TEST_F(SettingsModelTest, PillChecksOnlyWhileItCan) {
    updates()->publishCanCheck(false);
    model_.updatePillClicked();
    EXPECT_TRUE(updates()->calls().isEmpty());
    updates()->publishCanCheck(true);
    model_.updatePillClicked();
    EXPECT_EQ(updates()->calls(), QStringList{QStringLiteral("checkForUpdates")});
}

TEST_F(SettingsModelTest, PermissionTrailingPrefersReopenThenTheBadge) {
    EXPECT_EQ(SettingsModel::permissionTrailing(true, true), QStringLiteral("reopen"));
    EXPECT_EQ(SettingsModel::permissionTrailing(true, false), QStringLiteral("reopen"));
    EXPECT_EQ(SettingsModel::permissionTrailing(false, true), QStringLiteral("allowed"));
    EXPECT_EQ(SettingsModel::permissionTrailing(false, false), QStringLiteral("allow"));

    session_.fakeShell()->setScreenCaptureAllowedAtLaunch(false);
    model_.permissions()->refresh();
    EXPECT_EQ(model_.screenRecordingTrailing(), QStringLiteral("reopen"));
    accessibility_ = false;
    model_.permissions()->refresh();
    EXPECT_EQ(model_.accessibilityTrailing(), QStringLiteral("allow"));
}

TEST_F(SettingsModelTest, PollsWhileShownAndRefreshesOnActivation) {
    EXPECT_FALSE(model_.permissions()->pollTimer().isActive());
    model_.setActive(true);
    EXPECT_TRUE(model_.permissions()->pollTimer().isActive());
    model_.setActive(false);
    EXPECT_FALSE(model_.permissions()->pollTimer().isActive());

    const int before = asked_;
    model_.refreshOnActivation();
    EXPECT_EQ(asked_, before + 1);
    EXPECT_EQ(session_.fakeShell()->fakeLoginItem()->calls(),
              QStringList{QStringLiteral("refresh")});
}

TEST_F(SettingsModelTest, VersionComesFromTheUpdaterAndTheDomainIsNeverEmpty) {
    EXPECT_EQ(model_.version(), updates()->appVersionString());
    model_.setSession(nullptr);
    EXPECT_EQ(model_.version(), QStringLiteral("?"));
    EXPECT_FALSE(SettingsModel::websiteDomain().isEmpty());
    EXPECT_FALSE(SettingsModel::websiteDomain().contains(QLatin1Char('/')));
}

// The settings window's switch over the real login item, in folders of the test's own.
TEST(SettingsLoginWiringTest, TheSwitchWritesAndRemovesTheAutostartEntry) {
    QTemporaryDir folder;
    MacLoginItem::Locations locations;
    locations.userFolder = std::filesystem::path(folder.filePath("autostart").toStdString());
    locations.systemFolders = {std::filesystem::path(folder.filePath("xdg").toStdString())};
    // The entry must name a program that exists to count as enabled.
    locations.executable = QCoreApplication::applicationFilePath().toStdString();
    MacLoginItem item(locations);
    FakeSession session;

    QQmlEngine engine;
    engine.addImportPath(QStringLiteral("qrc:/qt/qml"));
    QQmlComponent component(
        &engine, QUrl(QStringLiteral("qrc:/qt/qml/QuilloryInterface/qml/MacSettings.qml")));
    ASSERT_TRUE(component.isReady()) << component.errorString().toStdString();
    std::unique_ptr<QObject> view(component.createWithInitialProperties(
        {{"session", QVariant::fromValue<QObject*>(&session)},
         {"loginItem", QVariant::fromValue<QObject*>(&item)}}));
    ASSERT_TRUE(view);
    auto* toggle = view->findChild<QQuickItem*>(QStringLiteral("loginSwitch"));
    ASSERT_TRUE(toggle);
    const QString entry = folder.filePath("autostart/quillory.desktop");

    EXPECT_FALSE(toggle->property("checked").toBool());
    QMetaObject::invokeMethod(toggle, "toggled", Q_ARG(bool, true));
    EXPECT_TRUE(QFile::exists(entry));
    EXPECT_TRUE(item.enabled());
    EXPECT_TRUE(toggle->property("checked").toBool());

    QMetaObject::invokeMethod(toggle, "toggled", Q_ARG(bool, false));
    EXPECT_FALSE(QFile::exists(entry));
    EXPECT_FALSE(toggle->property("checked").toBool());
    EXPECT_TRUE(item.error().isEmpty());
}

}  // namespace
}  // namespace quillory
