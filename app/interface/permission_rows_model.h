#pragma once

#include <QtQml/qqmlregistration.h>

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <functional>

#include "app/session/session_facade.h"

namespace quillory {

// The two permissions the application needs, desktop control access and screen sharing, as the
// permission rows show them. It keeps its own copy of both grants: read once at creation and at
// every change of `active`, and every 1.5 s while `active`; a grant is written (and announced)
// only when its answer changed. Main thread only.
class PermissionRowsModel : public QObject {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(SessionFacade* session READ session WRITE setSession NOTIFY sessionChanged)
    Q_PROPERTY(bool active READ active WRITE setActive NOTIFY activeChanged)
    // Show both rows, granted ones too, and no title.
    Q_PROPERTY(bool showGranted READ showGranted WRITE setShowGranted NOTIFY showGrantedChanged)
    Q_PROPERTY(bool accessibility READ accessibility NOTIFY accessibilityChanged)
    Q_PROPERTY(bool screenRecording READ screenRecording NOTIFY screenRecordingChanged)
    Q_PROPERTY(bool needsRelaunch READ needsRelaunch NOTIFY rowsChanged)
    Q_PROPERTY(bool cardVisible READ cardVisible NOTIFY rowsChanged)
    Q_PROPERTY(bool accessibilityRowVisible READ accessibilityRowVisible NOTIFY rowsChanged)
    Q_PROPERTY(bool screenRecordingRowVisible READ screenRecordingRowVisible NOTIFY rowsChanged)
    Q_PROPERTY(bool dividerVisible READ dividerVisible NOTIFY rowsChanged)

  public:
    static constexpr int pollIntervalMs = 1500;

    struct Probes {
        std::function<bool()> accessibility;    // desktop control access
        std::function<bool()> screenRecording;  // screen sharing
    };

    explicit PermissionRowsModel(QObject* parent = nullptr);
    // Tests inject their probes; the first read happens here.
    explicit PermissionRowsModel(Probes probes, QObject* parent = nullptr);

    // Replaces the probes and reads them at once.
    void setProbes(Probes probes);
    // The welcome window polls every second.
    void setPollInterval(int ms) { poll_.setInterval(ms); }

    SessionFacade* session() const { return session_; }
    void setSession(SessionFacade* session);
    bool active() const { return active_; }
    void setActive(bool active);
    bool showGranted() const { return showGranted_; }
    void setShowGranted(bool show);
    bool accessibility() const { return accessibility_; }
    bool screenRecording() const { return screenRecording_; }
    bool needsRelaunch() const;
    bool cardVisible() const;
    bool accessibilityRowVisible() const { return showGranted_ || !accessibility_; }
    bool screenRecordingRowVisible() const {
        return showGranted_ || !screenRecording_ || needsRelaunch();
    }
    bool dividerVisible() const { return accessibilityRowVisible() && screenRecordingRowVisible(); }
    const QTimer& pollTimer() const { return poll_; }

    // Asks both probes, then writes what changed.
    Q_INVOKABLE void refresh();
    // Desktop control access "Allow…": the session asks for access and writes its hint.
    Q_INVOKABLE void allowAccessibility();
    // Screen sharing "Allow…": the guide, only while not granted.
    Q_INVOKABLE void allowScreenRecording();
    // "Reopen".
    Q_INVOKABLE void reopen();

  signals:
    void sessionChanged();
    void activeChanged();
    void showGrantedChanged();
    void accessibilityChanged();
    void screenRecordingChanged();
    void rowsChanged();

  private:
    Probes probes_;
    QPointer<SessionFacade> session_;
    bool active_ = false;
    bool showGranted_ = false;
    bool accessibility_ = false;
    bool screenRecording_ = false;
    QTimer poll_;
};

}  // namespace quillory
