#include "app/updates/updater.h"

#include <sys/stat.h>

#include <QFile>
#include <algorithm>

#include "platform/defaults/user_defaults.h"

namespace quillory {

namespace fs = std::filesystem;

namespace {

constexpr const char* lastCheckedKey = "updates.lastChecked";
constexpr const char* automaticChecksKey = "updates.automaticChecks";
constexpr const char* automaticInstallsKey = "updates.automaticInstalls";
// A feed's signature is 88 characters of base64; room for line breaks.
constexpr qint64 signatureLimit = 4096;
// When a check is overdue, it waits this long after start so that start-up stays quick.
constexpr std::chrono::seconds overdueDelay{30};
// After a failed scheduled check, the next try waits this long.
constexpr std::chrono::hours retryDelay{1};
// The timer wakes at least this often, so that a suspended machine's clock is read again.
constexpr std::chrono::hours longestWait{1};

QDateTime later(const QDateTime& time, std::chrono::milliseconds by) {
    return time.addMSecs(by.count());
}

QUrl signatureUrl(QUrl feed) {
    feed.setPath(feed.path() + QStringLiteral(".sig"));
    return feed;
}

}  // namespace

Updater::Updater(UpdaterConfiguration configuration, QObject* parent)
    : QObject(parent),
      configuration_(std::move(configuration)),
      installer_(configuration_.executable) {
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::VeryCoarseTimer);
    connect(&timer_, &QTimer::timeout, this, [this] { tick(configuration_.now()); });
    UserDefaults& defaults = *configuration_.defaults;
    if (const auto stored = defaults.stringValue(lastCheckedKey)) {
        lastChecked_ = QDateTime::fromString(QString::fromStdString(*stored), Qt::ISODateWithMs);
    }
    automaticChecks_ = defaults.boolValue(automaticChecksKey).value_or(false);
    automaticInstalls_ = defaults.boolValue(automaticInstallsKey).value_or(false);
}

void Updater::start() {
    installer_.removeReplacedTrees();
    const QDateTime now = configuration_.now();
    schedule(now);
    if (nextCheck_.isValid() && nextCheck_ < later(now, overdueDelay)) {
        nextCheck_ = later(now, overdueDelay);
        timer_.start(overdueDelay);
    }
}

void Updater::setAutomaticallyChecksForUpdates(bool on) {
    if (on == automaticChecks_) {
        return;
    }
    automaticChecks_ = on;
    configuration_.defaults->set(automaticChecksKey, on);
    schedule(configuration_.now());
    emit automaticallyChecksForUpdatesChanged();
}

void Updater::setAutomaticallyDownloadsUpdates(bool on) {
    if (on == automaticInstalls_) {
        return;
    }
    automaticInstalls_ = on;
    configuration_.defaults->set(automaticInstallsKey, on);
    emit automaticallyDownloadsUpdatesChanged();
}

void Updater::checkForUpdates() {
    startCheck(true);
}

void Updater::tick(const QDateTime& now) {
    const bool due = automaticChecks_ && canCheck_ &&
                     (!lastChecked_.isValid() || now >= later(lastChecked_, checkInterval)) &&
                     (!lastAttempt_.isValid() || now >= later(lastAttempt_, retryDelay));
    if (due) {
        startCheck(false);
    }
    schedule(now);
}

void Updater::schedule(const QDateTime& now) {
    if (!automaticChecks_) {
        timer_.stop();
        nextCheck_ = {};
        return;
    }
    QDateTime due = lastChecked_.isValid() ? later(lastChecked_, checkInterval) : now;
    if (lastAttempt_.isValid()) {
        due = std::max(due, later(lastAttempt_, retryDelay));
    }
    nextCheck_ = std::max(due, now);
    const qint64 wait = std::clamp<qint64>(now.msecsTo(nextCheck_), 0,
                                           std::chrono::milliseconds(longestWait).count());
    timer_.start(std::chrono::milliseconds(wait));
}

void Updater::setCanCheck(bool value) {
    if (value != canCheck_) {
        canCheck_ = value;
        emit canCheckForUpdatesChanged();
    }
}

void Updater::startCheck(bool userInitiated) {
    if (!canCheck_) {
        return;
    }
    setCanCheck(false);
    lastAttempt_ = configuration_.now();
    FetchPolicy policy = configuration_.network;
    policy.maxBytes = feedLimit;
    QPointer<Updater> self(this);
    fetchOverHttps(network_, configuration_.feedUrl, policy, nullptr, {},
                   [self, userInitiated](FetchResult result) {
                       if (self) {
                           self->feedFetched(std::move(result), userInitiated);
                       }
                   });
}

void Updater::feedFetched(FetchResult feed, bool userInitiated) {
    if (!feed.error.isEmpty()) {
        fail(QStringLiteral("The update feed could not be read: %1").arg(feed.error),
             userInitiated);
        return;
    }
    FetchPolicy policy = configuration_.network;
    policy.maxBytes = signatureLimit;
    QPointer<Updater> self(this);
    fetchOverHttps(network_, signatureUrl(configuration_.feedUrl), policy, nullptr, {},
                   [self, body = std::move(feed.body), userInitiated](FetchResult signature) {
                       if (self) {
                           self->signatureFetched(body, std::move(signature), userInitiated);
                       }
                   });
}

void Updater::signatureFetched(const QByteArray& feed, FetchResult signature, bool userInitiated) {
    if (!signature.error.isEmpty()) {
        fail(QStringLiteral("The update feed's signature could not be read: %1")
                 .arg(signature.error),
             userInitiated);
        return;
    }
    // Verified before parsing: an unsigned feed could offer an old signed archive as new.
    const ByteView bytes(reinterpret_cast<const std::uint8_t*>(feed.constData()),
                         static_cast<std::size_t>(feed.size()));
    if (!verifyUpdateSignature(configuration_.publicKey, bytes, signature.body)) {
        fail(QStringLiteral("The update feed is not signed by Quillory's key"), userInitiated);
        return;
    }
    const auto parsed = parseUpdateFeed(feed);
    if (!parsed) {
        fail(QStringLiteral("The update feed is malformed"), userInitiated);
        return;
    }
    for (const QString& line : parsed->skipped) {
        log_.info("%s", qPrintable(line));
    }
    lastChecked_ = configuration_.now();
    configuration_.defaults->set(lastCheckedKey,
                                 lastChecked_.toString(Qt::ISODateWithMs).toStdString());
    emit lastUpdateCheckDateChanged();
    const auto newest = newestUpdate(parsed->items, configuration_.runningVersion);
    endCheck(userInitiated);
    if (!newest) {
        emit updateNotFound(userInitiated);
        return;
    }
    log_.info("Found version %s", qPrintable(newest->version));
    if (!userInitiated && automaticInstalls_ && canInstall()) {
        QPointer<Updater> self(this);
        download(*newest, [self, item = *newest](std::optional<fs::path> archive, QString error) {
            if (!self) {
                return;
            }
            if (archive) {
                self->readyToInstall_.emplace(item, *archive);
            } else {
                self->log_.error("Background download failed: %s", qPrintable(error));
            }
        });
        return;
    }
    emit updateFound(*newest, userInitiated);
}

void Updater::fail(const QString& message, bool userInitiated) {
    log_.error("%s", qPrintable(message));
    endCheck(userInitiated);
    emit checkFailed(message, userInitiated);
}

void Updater::endCheck(bool) {
    setCanCheck(true);
    schedule(configuration_.now());
}

void Updater::download(const UpdateItem& item,
                       std::function<void(std::optional<fs::path>, QString)> done) {
    if (downloading_) {
        done(std::nullopt, QStringLiteral("An update is already downloading"));
        return;
    }
    std::error_code error;
    fs::create_directories(configuration_.downloadFolder, error);
    const fs::path path =
        configuration_.downloadFolder / ("quillory-" + item.version.toStdString() + ".tar.gz");
    auto file = std::make_shared<QFile>(QString::fromStdString(path.string()));
    if (!file->open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        done(std::nullopt,
             QStringLiteral("Could not save the update: %1").arg(file->errorString()));
        return;
    }
    file->setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    downloading_ = true;
    FetchPolicy policy = configuration_.network;
    policy.maxBytes = std::min(item.length, archiveLimit);
    QPointer<Updater> self(this);
    fetchOverHttps(
        network_, item.archiveUrl, policy, file.get(),
        [self](qint64 received, qint64 total) {
            if (self) {
                emit self->downloadProgress(received, total);
            }
        },
        [self, file, path, item, done](FetchResult result) {
            file->close();
            QString problem = result.error;
            if (problem.isEmpty() && result.received != item.length) {
                problem = QStringLiteral("The update is not the length the feed names");
            }
            if (problem.isEmpty() && file->open(QIODevice::ReadOnly)) {
                const uchar* bytes = file->map(0, file->size());
                if (bytes == nullptr ||
                    !crypto::ed25519Verify(self ? self->configuration_.publicKey : Bytes{},
                                           ByteView(bytes, static_cast<std::size_t>(file->size())),
                                           item.signature)) {
                    problem = QStringLiteral("The update is not signed by Quillory's key");
                }
                file->close();
            }
            if (!problem.isEmpty()) {
                std::error_code ignored;
                fs::remove(path, ignored);
            }
            if (!self) {
                return;
            }
            self->downloading_ = false;
            if (problem.isEmpty()) {
                done(path, {});
            } else {
                done(std::nullopt, problem);
            }
        });
}

void Updater::installUpdate(const UpdateItem& item) {
    if (!canInstall()) {
        emit installFailed(QStringLiteral("This copy of Quillory cannot be updated in place"));
        return;
    }
    QPointer<Updater> self(this);
    download(item, [self, version = item.version](std::optional<fs::path> archive, QString error) {
        if (!self) {
            return;
        }
        if (!archive) {
            self->log_.error("%s", qPrintable(error));
            emit self->installFailed(error);
            return;
        }
        self->installer_.install(*archive, version, [self, path = *archive](QString problem) {
            std::error_code ignored;
            fs::remove(path, ignored);
            if (!self) {
                return;
            }
            if (problem.isEmpty()) {
                self->log_.info("Installed the update; relaunching");
                emit self->installed();
            } else {
                self->log_.error("%s", qPrintable(problem));
                emit self->installFailed(problem);
            }
        });
    });
}

bool Updater::installDownloadedUpdate() {
    if (!readyToInstall_) {
        return false;
    }
    const auto [item, archive] = *readyToInstall_;
    readyToInstall_.reset();
    const QString problem = installer_.installNow(archive, item.version);
    std::error_code ignored;
    fs::remove(archive, ignored);
    if (!problem.isEmpty()) {
        log_.error("%s", qPrintable(problem));
        return false;
    }
    log_.info("Installed version %s on quit", qPrintable(item.version));
    return true;
}

}  // namespace quillory
