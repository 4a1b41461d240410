#include "app/updates/updater.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <filesystem>

#include "app/updates/mac_updates.h"
#include "app/updates/tests/test_https_server.h"
#include "platform/defaults/testing/memory_user_defaults.h"
#include "protocol/base64.h"

namespace quillory {
namespace {

namespace fs = std::filesystem;
using testing::ScriptedReply;
using testing::TestHttpsServer;

QByteArray signatureOf(const crypto::Ed25519SigningKey& key, const QByteArray& bytes) {
    const crypto::Signature signature =
        key.sign(ByteView(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                          static_cast<std::size_t>(bytes.size())));
    return QByteArray::fromStdString(base64Encode(signature));
}

QByteArray flipped(QByteArray bytes, qsizetype at) {
    bytes[at] = static_cast<char>(bytes[at] ^ 0x01);
    return bytes;
}

void writeFile(const fs::path& path, const QByteArray& contents, bool executable = false) {
    fs::create_directories(path.parent_path());
    QFile file(QString::fromStdString(path.string()));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(contents);
    file.close();
    if (executable) {
        ::chmod(path.c_str(), 0755);
    }
}

QByteArray readFile(const fs::path& path) {
    QFile file(QString::fromStdString(path.string()));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A release tree whose program prints its version.
void makeTree(const fs::path& root, const QByteArray& version) {
    writeFile(root / "quillory-release", version + "\n");
    writeFile(root / "bin" / "quillory", "#!/bin/sh\necho " + version + "\n", true);
}

QByteArray tarOf(const fs::path& tree) {
    QProcess tar;
    tar.start(QStringLiteral("tar"),
              {QStringLiteral("-czf"), QStringLiteral("-"), QStringLiteral("-C"),
               QString::fromStdString(tree.string()), QStringLiteral(".")});
    tar.waitForFinished(-1);
    return tar.readAllStandardOutput();
}

class UpdaterTest : public ::testing::Test {
  protected:
    void SetUp() override {
        downloads_ = fs::path(temp_.path().toStdString()) / "cache" / "updates";
        installs_ = fs::path(temp_.path().toStdString()) / "opt";
        makeTree(installs_ / "quillory", "0.1.0");
    }

    QByteArray feedItem(const QByteArray& version, const QString& archivePath,
                        const QByteArray& archive, qint64 length = -1) {
        return "<item><title>Quillory " + version +
               "</title><description>Faster pens.</description>"
               "<link>https://localhost/download</link><q:version>" +
               version + "</q:version><enclosure url=\"" + server_.url(archivePath).toEncoded() +
               "\" length=\"" + QByteArray::number(length < 0 ? archive.size() : length) +
               "\" q:signature=\"" + signatureOf(key_, archive) + "\"/></item>";
    }

    // Publishes a signed feed with these items.
    QByteArray publish(const QByteArray& items) {
        const QByteArray feed =
            "<?xml version=\"1.0\"?><rss version=\"2.0\" xmlns:q=\"urn:quillory:update:1\">"
            "<channel><title>Quillory</title>" +
            items + "</channel></rss>";
        server_.script("/feed.xml", {200, feed});
        server_.script("/feed.xml.sig", {200, signatureOf(key_, feed)});
        return feed;
    }

    QByteArray publishRelease(const QByteArray& version) {
        const fs::path tree =
            fs::path(temp_.path().toStdString()) / ("release-" + version.toStdString());
        makeTree(tree, version);
        const QByteArray archive = tarOf(tree);
        server_.script("/quillory-" + QString::fromLatin1(version) + ".tar.gz", {200, archive});
        publish(
            feedItem(version, "/quillory-" + QString::fromLatin1(version) + ".tar.gz", archive));
        return archive;
    }

    UpdaterConfiguration configuration() {
        UpdaterConfiguration c;
        c.feedUrl = server_.url("/feed.xml");
        c.publicKey.assign(key_.publicKey().begin(), key_.publicKey().end());
        c.runningVersion = "0.1.0";
        c.defaults = defaults_;
        c.downloadFolder = downloads_;
        c.executable = installs_ / "quillory" / "bin" / "quillory";
        c.network.trustedCertificates = server_.trusted();
        c.network.transferTimeout = std::chrono::seconds(20);
        c.now = [this] { return now_; };
        return c;
    }

    bool downloadsEmpty() const { return !fs::exists(downloads_) || fs::is_empty(downloads_); }

    QTemporaryDir temp_;
    TestHttpsServer server_;
    crypto::Ed25519SigningKey key_ = crypto::Ed25519SigningKey::generate();
    std::shared_ptr<MemoryUserDefaults> defaults_ = std::make_shared<MemoryUserDefaults>();
    QDateTime now_ = QDateTime(QDate(2026, 5, 1), QTime(12, 0), Qt::UTC);
    fs::path downloads_;
    fs::path installs_;
};

// Runs a user-initiated check; the message of a failure, or "" for a find, "none" for none.
QString check(Updater& updater, bool userInitiated = true) {
    QSignalSpy found(&updater, &Updater::updateFound);
    QSignalSpy none(&updater, &Updater::updateNotFound);
    QSignalSpy failed(&updater, &Updater::checkFailed);
    QSignalSpy canCheck(&updater, &Updater::canCheckForUpdatesChanged);
    if (userInitiated) {
        updater.checkForUpdates();
    } else {
        updater.tick(QDateTime(QDate(2030, 1, 1), QTime(0, 0), Qt::UTC));
    }
    EXPECT_FALSE(updater.canCheckForUpdates());
    while (found.isEmpty() && none.isEmpty() && failed.isEmpty()) {
        if (!canCheck.wait(30000)) {
            return QStringLiteral("timed out");
        }
    }
    EXPECT_TRUE(updater.canCheckForUpdates());
    if (!failed.isEmpty()) {
        EXPECT_EQ(failed.first().at(1).toBool(), userInitiated);
        return failed.first().at(0).toString();
    }
    return found.isEmpty() ? QStringLiteral("none") : QString();
}

TEST_F(UpdaterTest, FindsTheNewestSignedVersion) {
    publishRelease("0.2.0");
    Updater updater(configuration());
    QSignalSpy found(&updater, &Updater::updateFound);
    EXPECT_EQ(check(updater), "");
    ASSERT_EQ(found.size(), 1);
    EXPECT_EQ(found.first().at(0).value<UpdateItem>().version, "0.2.0");
    EXPECT_EQ(updater.lastUpdateCheckDate(), now_);
    EXPECT_TRUE(defaults_->stringValue("updates.lastChecked").has_value());
}

TEST_F(UpdaterTest, RefusesFeedsThatAreNotSignedByTheKey) {
    const QByteArray feed = publish(feedItem("0.2.0", "/a.tar.gz", "archive"));
    const QByteArray signature = signatureOf(key_, feed);
    const QByteArray badSignature =
        QByteArray::fromBase64(signature).toBase64().replace(0, 1, signature[0] == 'A' ? "B" : "A");
    const struct {
        const char* name;
        ScriptedReply feed;
        ScriptedReply signature;
    } cases[] = {
        {"flipped feed byte", {200, flipped(feed, feed.size() / 2)}, {200, signature}},
        {"flipped signature", {200, feed}, {200, badSignature}},
        {"another key",
         {200, feed},
         {200, signatureOf(crypto::Ed25519SigningKey::generate(), feed)}},
        {"no signature", {200, feed}, {404, "missing"}},
        {"feed cut mid-element", {200, feed, {}, true}, {200, signature}},
    };
    for (const auto& c : cases) {
        server_.script("/feed.xml", c.feed);
        server_.script("/feed.xml.sig", c.signature);
        Updater updater(configuration());
        QSignalSpy lastChecked(&updater, &Updater::lastUpdateCheckDateChanged);
        EXPECT_NE(check(updater), "") << c.name;
        EXPECT_NE(check(updater), "none") << c.name;
        EXPECT_TRUE(lastChecked.isEmpty()) << c.name;
        EXPECT_FALSE(updater.lastUpdateCheckDate().isValid()) << c.name;
    }
}

TEST_F(UpdaterTest, AReplayedOldFeedOffersNothing) {
    const struct {
        const char* versions[2];
    } cases[] = {{{"0.1.0", "0.0.9"}}, {{"0.1", "0.1.0.0"}}};
    for (const auto& c : cases) {
        publish(feedItem(c.versions[0], "/a.tar.gz", "a") +
                feedItem(c.versions[1], "/b.tar.gz", "b"));
        Updater updater(configuration());
        EXPECT_EQ(check(updater), "none") << c.versions[0];
    }
}

TEST_F(UpdaterTest, NetworkFailuresEndTheCheckWithAnError) {
    const QByteArray feed = publish(feedItem("0.2.0", "/a.tar.gz", "archive"));
    const struct {
        const char* name;
        ScriptedReply feed;
        std::optional<QList<QSslCertificate>> trusted;
        std::chrono::milliseconds timeout;
        QUrl url;
    } cases[] = {
        {"redirect to http",
         {302, {}, "http://localhost/feed.xml"},
         {},
         std::chrono::seconds(20),
         {}},
        {"oversized feed",
         {200, QByteArray(Updater::feedLimit + 1, 'x')},
         {},
         std::chrono::seconds(20),
         {}},
        {"stall", {200, {}, {}, false, true}, {}, std::chrono::milliseconds(300), {}},
        {"untrusted certificate",
         {200, feed},
         TestHttpsServer::anotherCa(),
         std::chrono::seconds(20),
         {}},
        {"refused connection",
         {200, feed},
         {},
         std::chrono::seconds(20),
         QUrl("https://127.0.0.1:1/feed.xml")},
        {"http feed", {200, feed}, {}, std::chrono::seconds(20), QUrl("http://localhost/feed.xml")},
    };
    for (const auto& c : cases) {
        server_.script("/feed.xml", c.feed);
        UpdaterConfiguration configuration = this->configuration();
        if (c.trusted) {
            configuration.network.trustedCertificates = c.trusted;
        }
        if (c.url.isValid()) {
            configuration.feedUrl = c.url;
        }
        configuration.network.transferTimeout = c.timeout;
        Updater updater(std::move(configuration));
        for (const bool userInitiated : {true, false}) {
            const QString result = check(updater, userInitiated);
            EXPECT_NE(result, "") << c.name;
            EXPECT_NE(result, "none") << c.name;
            EXPECT_NE(result, "timed out") << c.name;
            if (!userInitiated) {
                continue;
            }
            updater.setAutomaticallyChecksForUpdates(true);
        }
        EXPECT_FALSE(updater.lastUpdateCheckDate().isValid()) << c.name;
    }
}

TEST_F(UpdaterTest, FollowsHttpsRedirects) {
    const QByteArray feed = publish(feedItem("0.2.0", "/a.tar.gz", "archive"));
    server_.script("/old-feed.xml", {302, {}, server_.url("/feed.xml").toEncoded()});
    server_.script("/old-feed.xml.sig", {200, signatureOf(key_, feed)});
    UpdaterConfiguration configuration = this->configuration();
    configuration.feedUrl = server_.url("/old-feed.xml");
    Updater updater(std::move(configuration));
    EXPECT_EQ(check(updater), "");
}

TEST_F(UpdaterTest, SchedulesADailyCheckOnceTurnedOn) {
    publishRelease("0.2.0");
    Updater updater(configuration());
    QSignalSpy found(&updater, &Updater::updateFound);
    updater.tick(now_);
    EXPECT_TRUE(updater.canCheckForUpdates()) << "off until the user turns them on";
    EXPECT_FALSE(updater.nextScheduledCheck().isValid());

    updater.setAutomaticallyChecksForUpdates(true);
    EXPECT_EQ(defaults_->boolValue("updates.automaticChecks"), true);
    updater.tick(now_);
    EXPECT_FALSE(updater.canCheckForUpdates()) << "never checked: due at once";
    ASSERT_TRUE(found.wait(30000));
    EXPECT_FALSE(found.first().at(1).toBool());
    EXPECT_EQ(updater.nextScheduledCheck(), now_.addSecs(24 * 3600));

    updater.tick(now_.addSecs(23 * 3600));
    EXPECT_TRUE(updater.canCheckForUpdates()) << "not yet due";
    updater.tick(now_.addSecs(24 * 3600));
    EXPECT_FALSE(updater.canCheckForUpdates()) << "due after 24 h";
    ASSERT_TRUE(found.wait(30000));
}

TEST_F(UpdaterTest, SettingsComeFromTheDefaults) {
    defaults_->set("updates.automaticChecks", true);
    defaults_->set("updates.automaticInstalls", true);
    defaults_->set("updates.lastChecked", now_.toString(Qt::ISODateWithMs).toStdString());
    Updater updater(configuration());
    EXPECT_TRUE(updater.automaticallyChecksForUpdates());
    EXPECT_TRUE(updater.automaticallyDownloadsUpdates());
    EXPECT_EQ(updater.lastUpdateCheckDate(), now_);
    updater.start();
    EXPECT_EQ(updater.nextScheduledCheck(), now_.addSecs(24 * 3600));
}

// Installs what the feed offers; the message of a failure, or "".
QString install(Updater& updater, const UpdateItem& item) {
    QSignalSpy installed(&updater, &Updater::installed);
    QSignalSpy failed(&updater, &Updater::installFailed);
    updater.installUpdate(item);
    if (!QTest::qWaitFor([&] { return !installed.isEmpty() || !failed.isEmpty(); }, 30000)) {
        return QStringLiteral("timed out");
    }
    return failed.isEmpty() ? QString() : failed.first().at(0).toString();
}

UpdateItem foundItem(Updater& updater) {
    QSignalSpy found(&updater, &Updater::updateFound);
    EXPECT_EQ(check(updater), "");
    return found.isEmpty() ? UpdateItem{} : found.first().at(0).value<UpdateItem>();
}

TEST_F(UpdaterTest, InstallsAVerifiedReleaseInPlace) {
    publishRelease("0.2.0");
    Updater updater(configuration());
    const UpdateItem item = foundItem(updater);
    EXPECT_TRUE(updater.canInstall());
    EXPECT_EQ(install(updater, item), "");
    QProcess program;
    program.start(QString::fromStdString((installs_ / "quillory" / "bin" / "quillory").string()));
    program.waitForFinished();
    EXPECT_EQ(program.readAllStandardOutput().trimmed(), "0.2.0");
    EXPECT_TRUE(downloadsEmpty());

    // The next start removes the replaced tree.
    int leftovers = 0;
    for (const auto& entry : fs::directory_iterator(installs_)) {
        leftovers += entry.path().filename() != "quillory";
    }
    EXPECT_EQ(leftovers, 1);
    Updater(configuration()).start();
    EXPECT_EQ(std::distance(fs::directory_iterator(installs_), fs::directory_iterator()), 1);
}

TEST_F(UpdaterTest, RefusedArchivesInstallNothing) {
    const QByteArray archive = publishRelease("0.2.0");
    Updater updater(configuration());
    const UpdateItem good = foundItem(updater);
    UpdateItem wrongSignature = good;
    wrongSignature.signature = Bytes(64, 1);
    UpdateItem tooLong = good;
    tooLong.length += 1;
    UpdateItem tooShort = good;
    tooShort.length -= 1;
    const struct {
        const char* name;
        ScriptedReply reply;
        UpdateItem item;
    } cases[] = {
        {"flipped byte", {200, flipped(archive, archive.size() / 2)}, good},
        {"wrong signature", {200, archive}, wrongSignature},
        {"length too long", {200, archive}, tooLong},
        {"length too short", {200, archive}, tooShort},
        {"cut mid-body", {200, archive, {}, true}, good},
    };
    for (const auto& c : cases) {
        server_.script(good.archiveUrl.path(), c.reply);
        EXPECT_NE(install(updater, c.item), "") << c.name;
        EXPECT_EQ(readFile(installs_ / "quillory" / "quillory-release"), "0.1.0\n") << c.name;
        EXPECT_TRUE(downloadsEmpty()) << c.name;
    }
}

TEST_F(UpdaterTest, TreesThatDoNotMatchTheReleaseStayAsTheyAre) {
    const fs::path tree = fs::path(temp_.path().toStdString()) / "mismatch";
    makeTree(tree, "0.3.0");
    const QByteArray mismatched = tarOf(tree);
    fs::remove(tree / "quillory-release");
    const QByteArray missing = tarOf(tree);
    for (const QByteArray& archive : {mismatched, missing}) {
        server_.script("/a.tar.gz", {200, archive});
        publish(feedItem("0.2.0", "/a.tar.gz", archive));
        Updater updater(configuration());
        EXPECT_NE(install(updater, foundItem(updater)), "");
        EXPECT_EQ(readFile(installs_ / "quillory" / "quillory-release"), "0.1.0\n");
        EXPECT_EQ(std::distance(fs::directory_iterator(installs_), fs::directory_iterator()), 1);
    }
}

TEST_F(UpdaterTest, ATreeThatCannotBeReplacedIsNotInstallable) {
    UpdaterConfiguration elsewhere = configuration();
    elsewhere.executable = installs_ / "quillory" / "quillory";
    EXPECT_FALSE(Updater(elsewhere).canInstall());
    ::chmod(installs_.c_str(), 0555);
    EXPECT_EQ(Updater(configuration()).canInstall(), ::geteuid() == 0);
    ::chmod(installs_.c_str(), 0755);
}

TEST_F(UpdaterTest, AutomaticInstallsDownloadInTheBackgroundAndExchangeAtQuit) {
    publishRelease("0.2.0");
    Updater updater(configuration());
    updater.setAutomaticallyChecksForUpdates(true);
    updater.setAutomaticallyDownloadsUpdates(true);
    QSignalSpy found(&updater, &Updater::updateFound);
    updater.tick(now_);
    ASSERT_TRUE(QTest::qWaitFor([&] { return updater.hasDownloadedUpdate(); }, 30000));
    EXPECT_TRUE(found.isEmpty()) << "nothing to show: it goes in at quit";
    EXPECT_EQ(readFile(installs_ / "quillory" / "quillory-release"), "0.1.0\n");
    EXPECT_TRUE(updater.installDownloadedUpdate());
    EXPECT_EQ(readFile(installs_ / "quillory" / "quillory-release"), "0.2.0\n");
    EXPECT_TRUE(downloadsEmpty());
    EXPECT_FALSE(updater.installDownloadedUpdate()) << "once";
}

// The dialog's "Install and Relaunch": relaunching only once the new tree is in place.
TEST_F(UpdaterTest, MacUpdatesRelaunchesOnlyAfterAnInstall) {
    const QByteArray good = publishRelease("0.2.0");
    const fs::path tree = fs::path(temp_.path().toStdString()) / "mismatch";
    makeTree(tree, "0.3.0");
    const QByteArray mismatched = tarOf(tree);
    for (const bool installable : {false, true}) {
        server_.script("/quillory-0.2.0.tar.gz", {200, installable ? good : mismatched});
        publish(feedItem("0.2.0", "/quillory-0.2.0.tar.gz", installable ? good : mismatched));
        MacUpdatesEnvironment environment;
        environment.info = {
            {"SUFeedURL", server_.url("/feed.xml").toString()},
            {"SUPublicEDKey", QString::fromStdString(base64Encode(key_.publicKey()))},
            {"CFBundleShortVersionString", "0.1.0"},
            {"CFBundleVersion", "1"}};
        environment.defaults = defaults_;
        environment.downloadFolder = downloads_;
        environment.executable = installs_ / "quillory" / "bin" / "quillory";
        environment.network.trustedCertificates = server_.trusted();
        int relaunches = 0;
        environment.relaunch = [&relaunches] { ++relaunches; };
        MacUpdates updates(std::move(environment));
        updates.startUpdater();
        QSignalSpy found(updates.updater(), &Updater::updateFound);
        updates.checkForUpdates();
        ASSERT_TRUE(found.wait(30000));
        ASSERT_TRUE(updates.dialog()->installable());
        QSignalSpy installed(updates.updater(), &Updater::installed);
        QSignalSpy failed(updates.updater(), &Updater::installFailed);
        updates.dialog()->install();
        EXPECT_EQ(updates.dialog()->stage(), UpdateDialogModel::Stage::downloading);
        ASSERT_TRUE(
            QTest::qWaitFor([&] { return !installed.isEmpty() || !failed.isEmpty(); }, 30000));
        EXPECT_EQ(updates.relaunching(), installable);
        EXPECT_EQ(relaunches, installable ? 1 : 0);
        EXPECT_EQ(updates.dialog()->stage(), installable ? UpdateDialogModel::Stage::downloading
                                                         : UpdateDialogModel::Stage::error);
        EXPECT_EQ(readFile(installs_ / "quillory" / "quillory-release"),
                  installable ? "0.2.0\n" : "0.1.0\n");
    }
}

QByteArray runSigner(const QStringList& arguments, int* exitCode = nullptr) {
    QProcess signer;
    signer.start(QStringLiteral(QUILLORY_UPDATE_SIGN), arguments);
    signer.waitForFinished(-1);
    if (exitCode) {
        *exitCode = signer.exitCode();
    }
    return signer.readAllStandardOutput().trimmed();
}

TEST_F(UpdaterTest, AcceptsWhatTheSigningToolSigns) {
    const QString seed = temp_.filePath(QStringLiteral("keys/release.seed"));
    const QByteArray publicKey = runSigner({QStringLiteral("keygen"), seed});
    ASSERT_EQ(QByteArray::fromBase64(publicKey).size(), 32);
    struct stat status {};
    ASSERT_EQ(::stat(seed.toLocal8Bit().constData(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0600u);
    int exitCode = 0;
    runSigner({QStringLiteral("keygen"), seed}, &exitCode);
    EXPECT_NE(exitCode, 0) << "an existing key is never replaced";

    const fs::path tree = fs::path(temp_.path().toStdString()) / "release";
    makeTree(tree, "0.2.0");
    const QByteArray archive = tarOf(tree);
    writeFile(fs::path(temp_.path().toStdString()) / "a.tar.gz", archive);
    const QByteArray archiveSignature =
        runSigner({QStringLiteral("sign"), seed, temp_.filePath(QStringLiteral("a.tar.gz"))});
    const QByteArray feed =
        "<rss version=\"2.0\" xmlns:q=\"urn:quillory:update:1\"><channel><item>"
        "<title>Quillory 0.2.0</title><link>https://localhost/download</link>"
        "<q:version>0.2.0</q:version><enclosure url=\"" +
        server_.url("/a.tar.gz").toEncoded() + "\" length=\"" + QByteArray::number(archive.size()) +
        "\" q:signature=\"" + archiveSignature + "\"/></item></channel></rss>";
    writeFile(fs::path(temp_.path().toStdString()) / "feed.xml", feed);
    server_.script("/a.tar.gz", {200, archive});
    server_.script("/feed.xml", {200, feed});
    server_.script("/feed.xml.sig",
                   {200, runSigner({QStringLiteral("sign"), seed, temp_.filePath("feed.xml")})});

    UpdaterConfiguration configuration = this->configuration();
    const QByteArray key = QByteArray::fromBase64(publicKey);
    configuration.publicKey.assign(key.begin(), key.end());
    Updater updater(configuration);
    EXPECT_EQ(install(updater, foundItem(updater)), "");
    EXPECT_EQ(readFile(installs_ / "quillory" / "quillory-release"), "0.2.0\n");

    // The fixture's own key did not sign this feed.
    Updater another(this->configuration());
    EXPECT_EQ(check(another), "The update feed is not signed by Quillory's key");
}

}  // namespace
}  // namespace quillory
