#pragma once

#include <QDateTime>
#include <QFile>
#include <QNetworkAccessManager>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>

#include "app/updates/update_feed.h"
#include "app/updates/update_fetch.h"
#include "app/updates/update_installer.h"
#include "platform/crypto/crypto.h"
#include "platform/log/logger.h"

namespace quillory {

class UserDefaults;

struct UpdaterConfiguration {
    QUrl feedUrl;
    // The 32-byte Ed25519 key that signs the feed and every archive.
    Bytes publicKey;
    QString runningVersion;
    std::shared_ptr<UserDefaults> defaults;
    // Where archives are downloaded: $XDG_CACHE_HOME/quillory/updates.
    std::filesystem::path downloadFolder;
    // The program's path as read at start-up.
    std::filesystem::path executable;
    // Tests hand their CA and shorter timeouts; the program keeps the system's store.
    FetchPolicy network;
    std::function<QDateTime()> now = [] { return QDateTime::currentDateTimeUtc(); };
};

// The software updater: checks the signed feed, on request or on a daily schedule, and
// downloads, verifies and installs a newer release. Lives on the main thread.
class Updater : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool canCheckForUpdates READ canCheckForUpdates NOTIFY canCheckForUpdatesChanged)
    Q_PROPERTY(
        QDateTime lastUpdateCheckDate READ lastUpdateCheckDate NOTIFY lastUpdateCheckDateChanged)
    Q_PROPERTY(bool automaticallyChecksForUpdates READ automaticallyChecksForUpdates WRITE
                   setAutomaticallyChecksForUpdates NOTIFY automaticallyChecksForUpdatesChanged)
    Q_PROPERTY(bool automaticallyDownloadsUpdates READ automaticallyDownloadsUpdates WRITE
                   setAutomaticallyDownloadsUpdates NOTIFY automaticallyDownloadsUpdatesChanged)

  public:
    static constexpr qint64 feedLimit = 1 << 20;
    static constexpr qint64 archiveLimit = qint64{512} << 20;
    static constexpr std::chrono::hours checkInterval{24};

    explicit Updater(UpdaterConfiguration configuration, QObject* parent = nullptr);

    // Removes trees replaced by an earlier install and starts the schedule.
    void start();

    bool canCheckForUpdates() const { return canCheck_; }
    QDateTime lastUpdateCheckDate() const { return lastChecked_; }
    bool automaticallyChecksForUpdates() const { return automaticChecks_; }
    bool automaticallyDownloadsUpdates() const { return automaticInstalls_; }
    void setAutomaticallyChecksForUpdates(bool on);
    void setAutomaticallyDownloadsUpdates(bool on);

    // A check the user asked for; ignored while one runs.
    void checkForUpdates();
    // Runs a scheduled check when one is due at `now`, and sets the timer for the next.
    void tick(const QDateTime& now);
    // When the timer will next fire; invalid while it is off.
    QDateTime nextScheduledCheck() const { return nextCheck_; }

    // Whether the running tree can be replaced; else updates are offered as "Download…".
    bool canInstall() const { return installer_.installableRoot().has_value(); }
    // Downloads, verifies and installs `item`; `installed` or `installFailed` follows.
    void installUpdate(const UpdateItem& item);
    // Whether a background download is verified and waits for the quit path.
    bool hasDownloadedUpdate() const { return readyToInstall_.has_value(); }
    // With automatic installs: exchanges the tree for an update downloaded in the background.
    // For the quit path; true when installed.
    bool installDownloadedUpdate();

  signals:
    void canCheckForUpdatesChanged();
    void lastUpdateCheckDateChanged();
    void automaticallyChecksForUpdatesChanged();
    void automaticallyDownloadsUpdatesChanged();

    void updateFound(const quillory::UpdateItem& item, bool userInitiated);
    void updateNotFound(bool userInitiated);
    void checkFailed(const QString& message, bool userInitiated);
    void downloadProgress(qint64 received, qint64 total);
    void installFailed(const QString& message);
    // The new tree is in place; quit and relaunch.
    void installed();

  private:
    void startCheck(bool userInitiated);
    void feedFetched(FetchResult feed, bool userInitiated);
    void signatureFetched(const QByteArray& feed, FetchResult signature, bool userInitiated);
    void endCheck(bool userInitiated);
    void fail(const QString& message, bool userInitiated);
    void setCanCheck(bool value);
    void schedule(const QDateTime& now);
    // Downloads and verifies; `done` hears the archive's path or nothing after `failed`.
    void download(const UpdateItem& item,
                  std::function<void(std::optional<std::filesystem::path>, QString)> done);

    UpdaterConfiguration configuration_;
    Logger log_{"com.quillory.mac", "updates"};
    QNetworkAccessManager network_;
    UpdateInstaller installer_;
    QTimer timer_;
    QDateTime nextCheck_;
    QDateTime lastAttempt_;
    bool canCheck_ = true;
    QDateTime lastChecked_;
    bool automaticChecks_ = false;
    bool automaticInstalls_ = false;
    bool downloading_ = false;
    // An update downloaded and verified in the background, waiting for the quit path.
    std::optional<std::pair<UpdateItem, std::filesystem::path>> readyToInstall_;
};

}  // namespace quillory
