#pragma once

#include <QObject>
#include <QString>

#include "app/updates/update_feed.h"

namespace quillory {

// What the update dialog shows. The dialog window binds to it; `presentRequested` asks the
// application to show (and, with `activate`, raise and focus) that window.
class UpdateDialogModel : public QObject {
    Q_OBJECT
    Q_PROPERTY(Stage stage READ stage NOTIFY changed)
    // The stage's name for QML: "update", "downloading", "error" or "upToDate".
    Q_PROPERTY(QString stageName READ stageName NOTIFY changed)
    Q_PROPERTY(bool visible READ visible NOTIFY changed)
    Q_PROPERTY(QString version READ version NOTIFY changed)
    Q_PROPERTY(QString runningVersion READ runningVersion NOTIFY changed)
    // Plain text from the feed.
    Q_PROPERTY(QString notes READ notes NOTIFY changed)
    // Whether "Install and Relaunch" is offered, else "Download…".
    Q_PROPERTY(bool installable READ installable NOTIFY changed)
    // 0 to 1; negative when the total is unknown.
    Q_PROPERTY(double progress READ progress NOTIFY changed)
    Q_PROPERTY(QString error READ error NOTIFY changed)

  public:
    enum class Stage { update, downloading, error, upToDate };
    Q_ENUM(Stage)

    using QObject::QObject;

    Stage stage() const { return stage_; }
    QString stageName() const;
    bool visible() const { return visible_; }
    QString version() const { return item_.version; }
    QString runningVersion() const { return runningVersion_; }
    QString notes() const { return item_.notes; }
    bool installable() const { return installable_; }
    double progress() const { return progress_; }
    QString error() const { return error_; }
    const UpdateItem& item() const { return item_; }

    void showUpdate(const UpdateItem& item, const QString& runningVersion, bool installable,
                    bool activate);
    void showDownloading();
    void setProgress(qint64 received, qint64 total);
    void showError(const QString& message, bool activate);
    void showUpToDate(const QString& runningVersion);
    void hide();

    // The dialog's buttons.
    Q_INVOKABLE void install() { emit installRequested(); }
    // Opens the release's download page.
    Q_INVOKABLE void openDownloadPage();
    // "Later", the close button and dismissing an error or "up to date".
    Q_INVOKABLE void dismiss();

  signals:
    void changed();
    void presentRequested(bool activate);
    void installRequested();
    void dismissed();

  private:
    Stage stage_ = Stage::update;
    bool visible_ = false;
    UpdateItem item_;
    QString runningVersion_;
    bool installable_ = false;
    double progress_ = 0;
    QString error_;
};

}  // namespace quillory
