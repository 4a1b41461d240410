#include "app/updates/update_dialog_model.h"

#include <QDesktopServices>

namespace quillory {

QString UpdateDialogModel::stageName() const {
    switch (stage_) {
        case Stage::update:
            return QStringLiteral("update");
        case Stage::downloading:
            return QStringLiteral("downloading");
        case Stage::error:
            return QStringLiteral("error");
        case Stage::upToDate:
            return QStringLiteral("upToDate");
    }
    return {};
}

void UpdateDialogModel::showUpdate(const UpdateItem& item, const QString& runningVersion,
                                   bool installable, bool activate) {
    stage_ = Stage::update;
    item_ = item;
    runningVersion_ = runningVersion;
    installable_ = installable;
    progress_ = 0;
    error_.clear();
    visible_ = true;
    emit changed();
    emit presentRequested(activate);
}

void UpdateDialogModel::showDownloading() {
    stage_ = Stage::downloading;
    progress_ = 0;
    emit changed();
}

void UpdateDialogModel::setProgress(qint64 received, qint64 total) {
    progress_ = total > 0
                    ? std::min(1.0, static_cast<double>(received) / static_cast<double>(total))
                    : -1.0;
    emit changed();
}

void UpdateDialogModel::showError(const QString& message, bool activate) {
    stage_ = Stage::error;
    error_ = message;
    visible_ = true;
    emit changed();
    emit presentRequested(activate);
}

void UpdateDialogModel::showUpToDate(const QString& runningVersion) {
    stage_ = Stage::upToDate;
    item_ = {};
    runningVersion_ = runningVersion;
    error_.clear();
    visible_ = true;
    emit changed();
    emit presentRequested(true);
}

void UpdateDialogModel::hide() {
    if (visible_) {
        visible_ = false;
        emit changed();
    }
}

void UpdateDialogModel::openDownloadPage() {
    if (item_.link.scheme() == QLatin1String("https")) {
        QDesktopServices::openUrl(item_.link);
    }
    dismiss();
}

void UpdateDialogModel::dismiss() {
    hide();
    emit dismissed();
}

}  // namespace quillory
