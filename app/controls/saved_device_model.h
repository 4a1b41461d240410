#pragma once

#include <QAbstractListModel>
#include <QList>
#include <QString>

namespace quillory {

// One remembered tablet as the views list it.
struct SavedDevice {
    QString id;  // the device key
    QString name;

    friend bool operator==(const SavedDevice&, const SavedDevice&) = default;
};

// The remembered tablets for QML lists: roles `id` and `name`, in the session's order.
class SavedDeviceModel : public QAbstractListModel {
    Q_OBJECT
    Q_PROPERTY(int count READ rowCount NOTIFY countChanged)

  public:
    enum Role { idRole = Qt::UserRole + 1, nameRole };

    using QAbstractListModel::QAbstractListModel;

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    const QList<SavedDevice>& devices() const { return devices_; }
    // Resets the model when the list differs; answers whether it did.
    bool setDevices(const QList<SavedDevice>& devices);

  signals:
    void countChanged();

  private:
    QList<SavedDevice> devices_;
};

}  // namespace quillory
