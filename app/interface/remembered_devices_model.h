#pragma once

#include <QtQml/qqmlregistration.h>

#include <QIdentityProxyModel>
#include <QPointer>
#include <QString>

#include "app/session/session_facade.h"

namespace quillory {

// The session's list of remembered tablets (SavedDeviceModel) as the remembered-devices window
// shows it: its roles `id` and `name`, and `current`, `connected`, `statusText` and `divider`
// (false on the last row) from the session. It keeps the two pieces of the window's own state:
// the device whose removal waits for confirmation and the message of the last failed removal.
// Main thread only.
class RememberedDevicesModel : public QIdentityProxyModel {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(SessionFacade* session READ session WRITE setSession NOTIFY sessionChanged)
    Q_PROPERTY(int count READ count NOTIFY listChanged)
    // 80 per visible row (at most four) and one between visible rows; 0 without devices.
    Q_PROPERTY(int listHeight READ listHeight NOTIFY listChanged)
    Q_PROPERTY(bool forgetting READ forgetting NOTIFY forgettingChanged)
    Q_PROPERTY(QString forgettingName READ forgettingName NOTIFY forgettingChanged)
    // The confirmation's title and message, decided when the removal is requested.
    Q_PROPERTY(QString confirmTitle READ confirmTitle NOTIFY forgettingChanged)
    Q_PROPERTY(QString confirmMessage READ confirmMessage NOTIFY forgettingChanged)
    // Empty while no removal failed.
    Q_PROPERTY(QString removalError READ removalError NOTIFY removalErrorChanged)

  public:
    static constexpr int rowHeight = 80;
    static constexpr int visibleRows = 4;

    enum Role {
        idRole = SavedDeviceModel::idRole,
        nameRole = SavedDeviceModel::nameRole,
        currentRole,
        connectedRole,
        statusRole,
        dividerRole
    };

    explicit RememberedDevicesModel(QObject* parent = nullptr);

    // A list: the column may be left out.
    QModelIndex index(int row, int column = 0, const QModelIndex& parent = {}) const override {
        return QIdentityProxyModel::index(row, column, parent);
    }
    QVariant data(const QModelIndex& index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    SessionFacade* session() const { return session_; }
    void setSession(SessionFacade* session);
    int count() const { return rowCount(); }
    int listHeight() const;
    bool forgetting() const { return !forgettingId_.isEmpty(); }
    QString forgettingName() const { return forgettingName_; }
    QString confirmTitle() const;
    QString confirmMessage() const { return confirmMessage_; }
    QString removalError() const { return removalError_; }

    // "Forget…" on a row: clears the last error, then asks for confirmation.
    Q_INVOKABLE void requestForget(const QString& deviceKey);
    // "Forget device": removes the device; a failure keeps the row and sets `removalError`.
    Q_INVOKABLE void confirmForget();
    Q_INVOKABLE void cancelForget();

  signals:
    void sessionChanged();
    void listChanged();
    void forgettingChanged();
    void removalErrorChanged();

  private:
    // Rows show who is current and connected: they are redrawn whenever either may move.
    void redrawRows();
    void countRows();
    void setForgetting(const QString& id, const QString& name, const QString& message);
    void setRemovalError(const QString& error);

    QPointer<SessionFacade> session_;
    QList<QMetaObject::Connection> connections_;
    QString forgettingId_;
    QString forgettingName_;
    QString confirmMessage_;
    QString removalError_;
    int lastCount_ = 0;
};

}  // namespace quillory
