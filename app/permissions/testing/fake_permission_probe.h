#pragma once

#include "app/permissions/permission_probe.h"

namespace quillory {

// Permissions the test sets; every answer is read afresh.
class FakePermissionProbe final : public PermissionProbe {
    Q_OBJECT

  public:
    using PermissionProbe::PermissionProbe;

    bool desktopControlGranted() const override { return desktopControl_; }
    QString desktopControlExplanation() const override { return explanation_; }
    InputBackendStatus inputBackend() const override { return backend_; }
    bool screenCaptureGranted() const override { return screenCapture_; }

    void setDesktopControlGranted(bool granted) { desktopControl_ = granted; }
    void setDesktopControlExplanation(const QString& text) { explanation_ = text; }
    void setInputBackend(InputBackendStatus backend) { backend_ = std::move(backend); }
    void setScreenCaptureGranted(bool granted) { screenCapture_ = granted; }

  private:
    bool desktopControl_ = true;
    QString explanation_ = QStringLiteral("/dev/uinput is writable");
    InputBackendStatus backend_{InputBackendKind::uinput,
                                "virtual pen tablet and keyboard on uinput"};
    bool screenCapture_ = true;
};

}  // namespace quillory
