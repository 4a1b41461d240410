#include "app/controls/saved_device_model.h"

namespace quillory {

int SavedDeviceModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(devices_.size());
}

QVariant SavedDeviceModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() < 0 || index.row() >= devices_.size()) {
        return {};
    }
    const SavedDevice& device = devices_.at(index.row());
    switch (role) {
        case idRole:
            return device.id;
        case nameRole:
        case Qt::DisplayRole:
            return device.name;
        default:
            return {};
    }
}

QHash<int, QByteArray> SavedDeviceModel::roleNames() const {
    return {{idRole, "id"}, {nameRole, "name"}};
}

bool SavedDeviceModel::setDevices(const QList<SavedDevice>& devices) {
    if (devices == devices_) {
        return false;
    }
    const bool countChanges = devices.size() != devices_.size();
    beginResetModel();
    devices_ = devices;
    endResetModel();
    if (countChanges) {
        emit countChanged();
    }
    return true;
}

}  // namespace quillory
