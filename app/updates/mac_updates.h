#pragma once

#include <QObject>
#include <QString>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>

#include "app/controls/session_shell.h"
#include "app/updates/info_dictionary.h"
#include "app/updates/update_dialog_model.h"
#include "app/updates/updater.h"
#include "platform/log/logger.h"

namespace quillory {

class UserDefaults;

// What MacUpdates needs from the application; tests hand their own.
struct MacUpdatesEnvironment {
    InfoDictionary info;
    std::shared_ptr<UserDefaults> defaults;
    std::filesystem::path downloadFolder;
    std::filesystem::path executable;
    FetchPolicy network;
    std::function<QDateTime()> now = [] { return QDateTime::currentDateTimeUtc(); };
    // Whether the application has focus now (a dialog may then open by itself).
    std::function<bool()> applicationActive;
    // Starts the relaunch watcher and quits; called once the new tree is in place.
    std::function<void()> relaunch;

    // The application's own: the build's table, the user's defaults, the user's cache.
    static MacUpdatesEnvironment standard();
};

// The updater as the application and its views see it: started only with a usable feed and
// key, mirrors the updater's state, and decides how a found update is shown.
class MacUpdates final : public UpdatesControl {
    Q_OBJECT
    Q_PROPERTY(quillory::UpdateDialogModel* dialog READ dialog CONSTANT)

  public:
    explicit MacUpdates(MacUpdatesEnvironment environment, QObject* parent = nullptr);

    // The application's one instance, created on first use on the main thread once the
    // application object exists.
    static MacUpdates& shared();

    bool hasUpdateFeed() const;
    // Starts the updater at most once; without a feed it logs and stays unavailable.
    void startUpdater();
    void syncFromUpdater();
    // "<version> (<build>)", "?" for a missing value.
    QString appVersionString() const override;

    void setAutomaticChecks(bool on) override;
    void setAutomaticInstalls(bool on) override;
    // User-initiated: shows a waiting update, else checks. Nothing without an updater.
    void checkForUpdates() override;

    // What runs once an installed update is in place: the relaunch watcher, then the quit.
    void setRelaunch(std::function<void()> relaunch) {
        environment_.relaunch = std::move(relaunch);
    }
    // The quit path reads it: true only once a new tree is in place.
    bool relaunching() const { return relaunching_; }
    // With automatic installs, puts a background download in place; for the quit path.
    bool installOnQuit();

    Updater* updater() const { return updater_; }
    UpdateDialogModel* dialog() const { return dialog_; }

  private:
    void found(const UpdateItem& item, bool userInitiated);
    void endSession();
    QString configurationVersion() const;

    MacUpdatesEnvironment environment_;
    Logger log_{"com.quillory.mac", "updates"};
    Updater* updater_ = nullptr;
    UpdateDialogModel* dialog_;
    bool relaunching_ = false;
    // The update a scheduled check found while the application was in the background.
    std::optional<UpdateItem> waiting_;
};

}  // namespace quillory
