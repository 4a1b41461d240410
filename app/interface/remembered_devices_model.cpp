#include "app/interface/remembered_devices_model.h"

#include <algorithm>

namespace quillory {

RememberedDevicesModel::RememberedDevicesModel(QObject* parent) : QIdentityProxyModel(parent) {
    connect(this, &QAbstractItemModel::modelReset, this, &RememberedDevicesModel::countRows);
}

QVariant RememberedDevicesModel::data(const QModelIndex& index, int role) const {
    if (!session_ || !index.isValid() || index.row() < 0 || index.row() >= rowCount()) {
        return {};
    }
    const QList<SavedDevice>& devices = session_->savedDevices()->devices();
    const QString& id = devices.at(index.row()).id;
    switch (role) {
        case currentRole:
            return session_->isCurrent(id);
        case connectedRole:
            return session_->connected();
        case statusRole:
            if (!session_->isCurrent(id)) {
                return tr("Not connected");
            }
            return session_->connected() ? tr("Connected") : tr("Reconnecting…");
        case dividerRole:
            // By identity, not position: the last device never has a line under it.
            return id != devices.constLast().id;
        default:
            return QIdentityProxyModel::data(index, role);
    }
}

QHash<int, QByteArray> RememberedDevicesModel::roleNames() const {
    return {{idRole, "id"},
            {nameRole, "name"},
            {currentRole, "current"},
            {connectedRole, "connected"},
            {statusRole, "statusText"},
            {dividerRole, "divider"}};
}

void RememberedDevicesModel::setSession(SessionFacade* session) {
    if (session_ == session) {
        return;
    }
    for (const QMetaObject::Connection& c : connections_) {
        disconnect(c);
    }
    connections_.clear();
    session_ = session;
    if (session_) {
        const auto redraw = [this] { redrawRows(); };
        connections_ = {
            connect(session_, &SessionFacade::connectedChanged, this, redraw),
            connect(session_, &SessionFacade::activePeerChanged, this, redraw),
            connect(session_, &SessionFacade::connectionStateChanged, this, redraw),
            connect(session_, &SessionFacade::recoveringChanged, this, redraw),
        };
    }
    setSourceModel(session_ ? session_->savedDevices() : nullptr);  // resets, so counts the rows
    emit sessionChanged();
}

int RememberedDevicesModel::listHeight() const {
    const int visible = std::min(count(), visibleRows);
    return visible == 0 ? 0 : rowHeight * visible + (visible - 1);
}

QString RememberedDevicesModel::confirmTitle() const {
    return forgetting() ? tr("Forget %1?").arg(forgettingName_) : QString();
}

void RememberedDevicesModel::requestForget(const QString& deviceKey) {
    if (!session_) {
        return;
    }
    const QList<SavedDevice>& devices = session_->savedDevices()->devices();
    const auto found = std::find_if(devices.begin(), devices.end(),
                                    [&](const SavedDevice& d) { return d.id == deviceKey; });
    setRemovalError({});
    if (found == devices.end()) {
        return;
    }
    const QString message =
        session_->isCurrent(found->id)
            ? tr("This will disconnect the device. You’ll need to confirm a new code to connect "
                 "again.")
            : tr("You’ll need to confirm a new code on both devices to connect again.");
    setForgetting(found->id, found->name, message);
}

void RememberedDevicesModel::confirmForget() {
    if (!forgetting() || !session_) {
        return;
    }
    const QString id = forgettingId_;
    const bool ok = session_->forget(id);
    setRemovalError(ok ? QString() : tr("Couldn’t forget this device. Try again."));
    setForgetting({}, {}, {});
}

void RememberedDevicesModel::cancelForget() {
    setForgetting({}, {}, {});
}

void RememberedDevicesModel::redrawRows() {
    beginResetModel();
    endResetModel();
}

void RememberedDevicesModel::countRows() {
    if (count() != lastCount_) {
        lastCount_ = count();
        emit listChanged();
    }
}

void RememberedDevicesModel::setForgetting(const QString& id, const QString& name,
                                           const QString& message) {
    if (id == forgettingId_ && name == forgettingName_ && message == confirmMessage_) {
        return;
    }
    forgettingId_ = id;
    forgettingName_ = name;
    confirmMessage_ = message;
    emit forgettingChanged();
}

void RememberedDevicesModel::setRemovalError(const QString& error) {
    if (error == removalError_) {
        return;
    }
    removalError_ = error;
    emit removalErrorChanged();
}

}  // namespace quillory
