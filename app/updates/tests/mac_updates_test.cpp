#include "app/updates/mac_updates.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTemporaryDir>

#include "app/updates/tests/test_https_server.h"
#include "platform/defaults/testing/memory_user_defaults.h"
#include "protocol/base64.h"

namespace quillory {
namespace {

const QString publicKeyText = QString::fromStdString(base64Encode(Bytes(32, 9)));

MacUpdatesEnvironment environment(const QString& feed, const QString& key) {
    MacUpdatesEnvironment e;
    e.info = {{"SUFeedURL", feed},
              {"SUPublicEDKey", key},
              {"CFBundleShortVersionString", "0.1.0"},
              {"CFBundleVersion", "1"}};
    e.defaults = std::make_shared<MemoryUserDefaults>();
    e.applicationActive = [] { return false; };
    return e;
}

TEST(MacUpdatesTest, StartsOnlyWithAnHttpsFeedAndA32ByteKey) {
    const struct {
        const char* feed;
        QString key;
        bool available;
    } cases[] = {
        {"https://example.org/feed.xml", publicKeyText, true},
        {"  https://example.org/feed.xml\n", " " + publicKeyText + "\n", true},
        {"http://example.org/feed.xml", publicKeyText, false},
        {"example.org/feed.xml", publicKeyText, false},
        {"https://example.org/feed.xml", "$(QUILLORY_UPDATE_PUBLIC_KEY)", false},
        {"https://example.org/feed.xml", QString::fromStdString(base64Encode(Bytes(31, 9))), false},
        {"https://example.org/feed.xml", "not base64!", false},
        {"https://example.org/feed.xml", "", false},
        {"", publicKeyText, false},
        {"$(QUILLORY_UPDATE_FEED_URL)", publicKeyText, false},
    };
    for (const auto& c : cases) {
        MacUpdates updates(environment(QString::fromLatin1(c.feed), c.key));
        EXPECT_EQ(updates.hasUpdateFeed(), c.available) << c.feed << " " << c.key.toStdString();
        updates.startUpdater();
        EXPECT_EQ(updates.available(), c.available) << c.feed;
        EXPECT_EQ(updates.updater() != nullptr, c.available) << c.feed;
    }
}

TEST(MacUpdatesTest, StartsOnce) {
    MacUpdates updates(environment("https://example.org/feed.xml", publicKeyText));
    QSignalSpy available(&updates, &UpdatesControl::availableChanged);
    updates.startUpdater();
    Updater* first = updates.updater();
    updates.startUpdater();
    EXPECT_EQ(updates.updater(), first);
    EXPECT_EQ(available.size(), 1);
    EXPECT_TRUE(updates.canCheck());
}

TEST(MacUpdatesTest, VersionStringMarksMissingValues) {
    MacUpdatesEnvironment e = environment({}, {});
    EXPECT_EQ(MacUpdates(e).appVersionString(), "0.1.0 (1)");
    e.info.remove("CFBundleVersion");
    e.info["CFBundleShortVersionString"] = "  ";
    EXPECT_EQ(MacUpdates(e).appVersionString(), "? (?)");
}

TEST(MacUpdatesTest, SettingsWriteThroughBothWaysWithoutRepeats) {
    MacUpdatesEnvironment e = environment("https://example.org/feed.xml", publicKeyText);
    auto defaults = e.defaults;
    MacUpdates updates(e);
    updates.startUpdater();
    QSignalSpy checks(&updates, &UpdatesControl::automaticChecksChanged);
    QSignalSpy installs(&updates, &UpdatesControl::automaticInstallsChanged);

    updates.setAutomaticChecks(true);
    EXPECT_TRUE(updates.updater()->automaticallyChecksForUpdates());
    EXPECT_EQ(defaults->boolValue("updates.automaticChecks"), true);
    EXPECT_EQ(checks.size(), 1);
    updates.setAutomaticChecks(true);
    EXPECT_EQ(checks.size(), 1);

    updates.updater()->setAutomaticallyDownloadsUpdates(true);
    EXPECT_TRUE(updates.automaticInstalls());
    EXPECT_EQ(installs.size(), 1);
    updates.syncFromUpdater();
    EXPECT_EQ(installs.size(), 1);
    EXPECT_EQ(checks.size(), 1);
}

// The user driver's answers, with a server that offers 0.2.0.
class MacUpdatesDriverTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const QByteArray archive = "archive";
        const QByteArray feed =
            "<rss version=\"2.0\" xmlns:q=\"urn:quillory:update:1\"><channel><item>"
            "<title>Quillory 0.2.0</title><description>Notes</description>"
            "<link>https://localhost/download</link><q:version>0.2.0</q:version>"
            "<enclosure url=\"https://localhost/a.tar.gz\" length=\"7\" q:signature=\"" +
            sign(archive) + "\"/></item></channel></rss>";
        server_.script("/feed.xml", {200, feed});
        server_.script("/feed.xml.sig", {200, sign(feed)});
    }

    QByteArray sign(const QByteArray& bytes) const {
        return QByteArray::fromStdString(base64Encode(
            key_.sign(ByteView(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                               static_cast<std::size_t>(bytes.size())))));
    }

    std::unique_ptr<MacUpdates> make(bool active) {
        MacUpdatesEnvironment e =
            environment(server_.url("/feed.xml").toString(),
                        QString::fromStdString(base64Encode(key_.publicKey())));
        e.network.trustedCertificates = server_.trusted();
        e.applicationActive = [active] { return active; };
        e.now = [] { return QDateTime(QDate(2026, 5, 1), QTime(12, 0), Qt::UTC); };
        auto updates = std::make_unique<MacUpdates>(std::move(e));
        updates->startUpdater();
        return updates;
    }

    testing::TestHttpsServer server_;
    crypto::Ed25519SigningKey key_ = crypto::Ed25519SigningKey::generate();
};

TEST_F(MacUpdatesDriverTest, ShowsTheDialogOrAMarker) {
    const struct {
        bool userInitiated;
        bool active;
        bool dialog;
        bool activates;
    } cases[] = {
        {true, false, true, true},
        {true, true, true, true},
        {false, true, true, false},
        {false, false, false, false},
    };
    for (const auto& c : cases) {
        auto updates = make(c.active);
        QSignalSpy present(updates->dialog(), &UpdateDialogModel::presentRequested);
        QSignalSpy found(updates->updater(), &Updater::updateFound);
        if (c.userInitiated) {
            updates->checkForUpdates();
        } else {
            updates->setAutomaticChecks(true);
            updates->updater()->tick(QDateTime::currentDateTimeUtc());
        }
        ASSERT_TRUE(found.wait(30000));
        EXPECT_EQ(updates->dialog()->visible(), c.dialog);
        EXPECT_EQ(present.size(), c.dialog ? 1 : 0);
        if (c.dialog) {
            EXPECT_EQ(present.first().at(0).toBool(), c.activates);
            EXPECT_EQ(updates->dialog()->version(), "0.2.0");
            EXPECT_EQ(updates->pendingVersion(), "");
        } else {
            EXPECT_EQ(updates->pendingVersion(), "0.2.0");
        }
    }
}

TEST_F(MacUpdatesDriverTest, AttentionAndTheSessionEndClearTheMarker) {
    auto updates = make(false);
    updates->setAutomaticChecks(true);
    QSignalSpy found(updates->updater(), &Updater::updateFound);
    updates->updater()->tick(QDateTime::currentDateTimeUtc());
    ASSERT_TRUE(found.wait(30000));
    ASSERT_EQ(updates->pendingVersion(), "0.2.0");

    // The banner opens the update: the dialog shows it, the marker goes.
    updates->checkForUpdates();
    EXPECT_EQ(updates->pendingVersion(), "");
    EXPECT_TRUE(updates->dialog()->visible());
    EXPECT_EQ(updates->dialog()->stage(), UpdateDialogModel::Stage::update);
    EXPECT_TRUE(updates->canCheck()) << "it showed the waiting update without checking";
    updates->dialog()->dismiss();
    EXPECT_FALSE(updates->dialog()->visible());
    EXPECT_FALSE(updates->relaunching());
}

TEST_F(MacUpdatesDriverTest, AUserCheckThatFindsNothingSaysSo) {
    server_.script("/feed.xml", {200, "<rss version=\"2.0\"><channel/></rss>"});
    server_.script("/feed.xml.sig", {200, sign("<rss version=\"2.0\"><channel/></rss>")});
    auto updates = make(false);
    QSignalSpy none(updates->updater(), &Updater::updateNotFound);
    updates->checkForUpdates();
    ASSERT_TRUE(none.wait(30000));
    EXPECT_EQ(updates->dialog()->stage(), UpdateDialogModel::Stage::upToDate);
    EXPECT_TRUE(updates->dialog()->visible());
}

}  // namespace
}  // namespace quillory
