#pragma once

#include <QObject>
#include <QSize>
#include <QString>

#include "app/controls/input_control.h"
#include "app/controls/session_shell.h"
#include "app/controls/studio_control.h"
#include "app/session/session_state.h"

namespace quillory {

// The session as the views see it: its published state, its controls, and the operations the
// views call. The application's session and the tests' fake derive from it and write the state
// through the protected publishers. Main thread only.
class SessionFacade : public SessionState {
    Q_OBJECT
    Q_PROPERTY(InputControl* input READ input CONSTANT)
    Q_PROPERTY(StudioControl* studio READ studio CONSTANT)
    Q_PROPERTY(SessionShell* shell READ shell CONSTANT)

  public:
    SessionFacade(InputControl* input, StudioControl* studio, SessionShell* shell,
                  QObject* parent = nullptr);

    InputControl* input() const { return input_; }
    StudioControl* studio() const { return studio_; }
    SessionShell* shell() const { return shell_; }

    // Starts listening under this computer's name.
    Q_INVOKABLE virtual void start() = 0;
    Q_INVOKABLE virtual void disconnect() = 0;
    // Confirms the pairing code on this computer; false when the channel cannot approve now.
    Q_INVOKABLE virtual bool approvePairing() = 0;
    // The user refused the code: the current channel ends as unverified.
    Q_INVOKABLE virtual void closeUnverified() = 0;
    Q_INVOKABLE virtual bool isCurrent(const QString& deviceKey) const = 0;
    Q_INVOKABLE virtual bool forget(const QString& deviceKey) = 0;
    Q_INVOKABLE virtual void updateInputState() = 0;
    Q_INVOKABLE virtual void requestInputAccess() = 0;
    Q_INVOKABLE virtual void setDesktopControl(bool enabled) = 0;
    Q_INVOKABLE virtual bool isDesktopControlEnabled(const QString& deviceKey) const = 0;
    Q_INVOKABLE virtual void setPencilTestActive(bool active) = 0;
    // The main display's size in pixels; invalid unless both sides lie in 1 to 16384.
    Q_INVOKABLE virtual QSize mainDisplayPixelSize() const = 0;

  private:
    InputControl* input_;
    StudioControl* studio_;
    SessionShell* shell_;
};

using MacConnectionState = SessionState::MacConnectionState;

}  // namespace quillory
