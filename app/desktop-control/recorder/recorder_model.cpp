#include "app/desktop-control/recorder/recorder_model.h"

#include "app/desktop-control/recorder/recorder_core.h"
#include "protocol/raw_value.h"

namespace quillory {

namespace {

QStringList names(const std::vector<DesktopKey>& keys) {
    QStringList list;
    for (const DesktopKey key : keys) {
        const std::string_view name = rawValue(key);
        list.append(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())));
    }
    return list;
}

}  // namespace

RecorderModel::RecorderModel(QObject* parent) : QObject(parent) {}

QStringList RecorderModel::liveNames() const {
    return names(live_);
}

QStringList RecorderModel::peakNames() const {
    return names(peak_);
}

QStringList RecorderModel::resultNames() const {
    return result_ ? names(*result_) : QStringList{};
}

void RecorderModel::setAppName(const QString& name) {
    if (name != appName_) {
        appName_ = name;
        emit appNameChanged();
    }
}

void RecorderModel::setIcon(const QImage& icon) {
    if (icon != icon_) {
        icon_ = icon;
        emit iconChanged();
    }
}

void RecorderModel::setState(const RecorderState& state) {
    // In the order a reset clears them: live, peak, result.
    if (state.live != live_) {
        live_ = state.live;
        emit liveChanged();
    }
    if (state.peak != peak_) {
        peak_ = state.peak;
        emit peakChanged();
    }
    if (state.result != result_) {
        result_ = state.result;
        emit resultChanged();
    }
}

}  // namespace quillory
