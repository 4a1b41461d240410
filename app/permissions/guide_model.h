#pragma once

#include <QObject>
#include <QString>

#include "app/controls/session_shell.h"

namespace quillory {

// What the guide card shows: which permission, whether it is on now, and how the grant stands.
// Main thread; the guide writes it, the card reads it.
class GuideModel : public QObject {
    Q_OBJECT
    Q_PROPERTY(quillory::SessionShell::PermissionKind kind READ kind NOTIFY changed)
    // The kind as the card tells them apart.
    Q_PROPERTY(bool screenRecording READ screenRecording NOTIFY changed)
    Q_PROPERTY(bool done READ done NOTIFY changed)
    // The grant could not finish: the card shows the steps to do by hand.
    Q_PROPERTY(bool manual READ manual NOTIFY changed)
    Q_PROPERTY(QString manualCommands READ manualCommands NOTIFY changed)
    // Access is on, yet input stays on XTest until Quillory starts again.
    Q_PROPERTY(bool relaunchOffered READ relaunchOffered NOTIFY changed)

  public:
    using Kind = SessionShell::PermissionKind;

    using QObject::QObject;

    Kind kind() const { return kind_; }
    bool screenRecording() const { return kind_ == Kind::screenRecording; }
    bool done() const { return done_; }
    bool manual() const { return manual_; }
    QString manualCommands() const { return manualCommands_; }
    bool relaunchOffered() const { return relaunchOffered_; }

    // A fresh guide for the kind.
    Q_INVOKABLE void reset(quillory::SessionShell::PermissionKind kind);
    Q_INVOKABLE void setDone();
    Q_INVOKABLE void setManual(const QString& commands);
    Q_INVOKABLE void setRelaunchOffered();

    // The card's buttons; the guide gives them their work.
    Q_INVOKABLE void close();
    Q_INVOKABLE void relaunch();

  signals:
    void changed();
    void closeRequested();
    void relaunchRequested();

  private:
    Kind kind_ = Kind::accessibility;
    bool done_ = false;
    bool manual_ = false;
    QString manualCommands_;
    bool relaunchOffered_ = false;
};

}  // namespace quillory
