#include "app/updates/mac_updates.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QUrl>

#include "platform/defaults/user_defaults.h"
#include "platform/files/xdg_dirs.h"
#include "platform/process/executable_path.h"
#include "protocol/base64.h"

namespace quillory {

namespace {

constexpr std::size_t publicKeyBytes = 32;

QString orQuestionMark(const QString& value) {
    return value.isEmpty() ? QStringLiteral("?") : value;
}

}  // namespace

MacUpdatesEnvironment MacUpdatesEnvironment::standard() {
    MacUpdatesEnvironment environment;
    environment.info = buildInfoDictionary();
    environment.defaults = UserDefaults::standard();
    environment.downloadFolder = xdgCacheHome() / "quillory" / "updates";
    environment.executable = executablePath();
    environment.applicationActive = [] {
        return QGuiApplication::applicationState() == Qt::ApplicationActive;
    };
    return environment;
}

MacUpdates::MacUpdates(MacUpdatesEnvironment environment, QObject* parent)
    : UpdatesControl(parent),
      environment_(std::move(environment)),
      dialog_(new UpdateDialogModel(this)) {
    connect(dialog_, &UpdateDialogModel::dismissed, this, &MacUpdates::endSession);
    connect(dialog_, &UpdateDialogModel::installRequested, this, [this] {
        if (updater_ && dialog_->stage() == UpdateDialogModel::Stage::update) {
            dialog_->showDownloading();
            updater_->installUpdate(dialog_->item());
        }
    });
}

MacUpdates& MacUpdates::shared() {
    // Owned by the application object, so that it outlives every window and the session's shell.
    static MacUpdates* instance =
        new MacUpdates(MacUpdatesEnvironment::standard(), QCoreApplication::instance());
    return *instance;
}

bool MacUpdates::hasUpdateFeed() const {
    const QString feed = infoDictionaryString(environment_.info, QStringLiteral("SUFeedURL"));
    const QString key = infoDictionaryString(environment_.info, QStringLiteral("SUPublicEDKey"));
    if (key.isEmpty() || key.startsWith(QLatin1String("$("))) {
        return false;
    }
    // Any other key would start an updater that refuses every update as badly signed.
    const auto decoded = base64Decode(key.toStdString());
    if (!decoded || decoded->size() != publicKeyBytes) {
        return false;
    }
    const QUrl url(feed, QUrl::StrictMode);
    return url.isValid() && url.scheme() == QLatin1String("https") && !url.host().isEmpty();
}

void MacUpdates::startUpdater() {
    if (updater_) {
        return;
    }
    if (!hasUpdateFeed()) {
        log_.info("No update feed configured; updater not started");
        return;
    }
    UpdaterConfiguration configuration;
    configuration.feedUrl =
        QUrl(infoDictionaryString(environment_.info, QStringLiteral("SUFeedURL")));
    configuration.publicKey = *base64Decode(
        infoDictionaryString(environment_.info, QStringLiteral("SUPublicEDKey")).toStdString());
    configuration.runningVersion =
        infoDictionaryString(environment_.info, QStringLiteral("CFBundleShortVersionString"));
    configuration.defaults = environment_.defaults;
    configuration.downloadFolder = environment_.downloadFolder;
    configuration.executable = environment_.executable;
    configuration.network = environment_.network;
    configuration.now = environment_.now;
    updater_ = new Updater(std::move(configuration), this);

    connect(updater_, &Updater::canCheckForUpdatesChanged, this, &MacUpdates::syncFromUpdater);
    connect(updater_, &Updater::lastUpdateCheckDateChanged, this, &MacUpdates::syncFromUpdater);
    connect(updater_, &Updater::automaticallyChecksForUpdatesChanged, this,
            &MacUpdates::syncFromUpdater);
    connect(updater_, &Updater::automaticallyDownloadsUpdatesChanged, this,
            &MacUpdates::syncFromUpdater);
    connect(updater_, &Updater::updateFound, this, &MacUpdates::found);
    connect(updater_, &Updater::updateNotFound, this, [this](bool userInitiated) {
        if (userInitiated) {
            dialog_->showUpToDate(configurationVersion());
        }
    });
    connect(updater_, &Updater::checkFailed, this, [this](const QString& message, bool user) {
        // A scheduled check's failure is only logged (the updater did).
        if (user) {
            dialog_->showError(message, true);
        }
    });
    connect(updater_, &Updater::downloadProgress, dialog_, &UpdateDialogModel::setProgress);
    connect(updater_, &Updater::installFailed, this,
            [this](const QString& message) { dialog_->showError(message, false); });
    connect(updater_, &Updater::installed, this, [this] {
        // Set only now, so that a failed install leaves a later Quit explicit.
        relaunching_ = true;
        dialog_->hide();
        endSession();
        if (environment_.relaunch) {
            environment_.relaunch();
        }
    });
    updater_->start();
    publishAvailable(true);
    syncFromUpdater();
}

QString MacUpdates::configurationVersion() const {
    return infoDictionaryString(environment_.info, QStringLiteral("CFBundleShortVersionString"));
}

void MacUpdates::syncFromUpdater() {
    if (!updater_) {
        return;
    }
    publishCanCheck(updater_->canCheckForUpdates());
    publishLastChecked(updater_->lastUpdateCheckDate());
    // Only changed values are published, so observers hear nothing for unchanged settings.
    publishAutomaticChecks(updater_->automaticallyChecksForUpdates());
    publishAutomaticInstalls(updater_->automaticallyDownloadsUpdates());
}

QString MacUpdates::appVersionString() const {
    return QStringLiteral("%1 (%2)").arg(
        orQuestionMark(configurationVersion()),
        orQuestionMark(infoDictionaryString(environment_.info, QStringLiteral("CFBundleVersion"))));
}

void MacUpdates::setAutomaticChecks(bool on) {
    publishAutomaticChecks(on);
    if (updater_ && updater_->automaticallyChecksForUpdates() != on) {
        updater_->setAutomaticallyChecksForUpdates(on);
    }
}

void MacUpdates::setAutomaticInstalls(bool on) {
    publishAutomaticInstalls(on);
    if (updater_ && updater_->automaticallyDownloadsUpdates() != on) {
        updater_->setAutomaticallyDownloadsUpdates(on);
    }
}

void MacUpdates::checkForUpdates() {
    if (!updater_) {
        return;
    }
    if (waiting_) {
        // The user attends to the update a scheduled check found.
        const UpdateItem item = *waiting_;
        waiting_.reset();
        publishPendingVersion({});
        dialog_->showUpdate(item, configurationVersion(), updater_->canInstall(), true);
        return;
    }
    updater_->checkForUpdates();
}

void MacUpdates::found(const UpdateItem& item, bool userInitiated) {
    const bool activeNow = environment_.applicationActive && environment_.applicationActive();
    if (userInitiated || activeNow) {
        dialog_->showUpdate(item, configurationVersion(), updater_->canInstall(), userInitiated);
        return;
    }
    // In the background: a marker in the status panel, no window that takes focus.
    waiting_ = item;
    publishPendingVersion(item.version);
}

void MacUpdates::endSession() {
    waiting_.reset();
    publishPendingVersion({});
}

bool MacUpdates::installOnQuit() {
    return updater_ && updater_->installDownloadedUpdate();
}

}  // namespace quillory
