#pragma once

#include <QObject>
#include <QString>
#include <memory>
#include <optional>

#include "platform/input/input_backend.h"

namespace quillory {

class DesktopControlAccess;

// The one place the session, the permission guide and the permission rows ask about the two
// permissions. Desktop control access is asked afresh each time (a grant takes effect while the
// application runs); screen sharing as allowed at launch is read once. Main thread.
class PermissionProbe : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool relaunchNeeded READ relaunchNeeded NOTIFY relaunchNeededChanged)

  public:
    using QObject::QObject;

    Q_INVOKABLE virtual bool desktopControlGranted() const = 0;
    // Why access is or is not granted, in a sentence.
    Q_INVOKABLE virtual QString desktopControlExplanation() const = 0;
    // The input backend desktop input runs on now.
    virtual InputBackendStatus inputBackend() const = 0;
    Q_INVOKABLE QString inputBackendName() const;
    Q_INVOKABLE virtual bool screenCaptureGranted() const = 0;
    // The first answer of screenCaptureGranted(), kept for the life of the process.
    bool screenCaptureAllowedAtLaunch() const;
    // Access was granted but desktop input could not take the better backend while running:
    // only a relaunch brings pressure and tilt.
    bool relaunchNeeded() const { return relaunchNeeded_; }
    void setRelaunchNeeded(bool needed);

  signals:
    void relaunchNeededChanged();

  private:
    mutable std::optional<bool> screenCaptureAtLaunch_;
    bool relaunchNeeded_ = false;
};

// This computer: access through DesktopControlAccess, the backend desktop input opened last,
// screen sharing always allowed on X11.
class SystemPermissionProbe final : public PermissionProbe {
    Q_OBJECT

  public:
    explicit SystemPermissionProbe(QObject* parent = nullptr);
    ~SystemPermissionProbe() override;

    bool desktopControlGranted() const override;
    QString desktopControlExplanation() const override;
    InputBackendStatus inputBackend() const override { return currentInputBackend(); }
    bool screenCaptureGranted() const override { return true; }

  private:
    std::unique_ptr<DesktopControlAccess> access_;
};

}  // namespace quillory
