#pragma once

#include "app/session/session_facade.h"

namespace quillory {

// A session that never listens: it reports idle and does nothing. The application runs on it
// where the host session cannot be built, so the status item and the windows stay reachable.
class IdleSession final : public SessionFacade {
    Q_OBJECT

  public:
    explicit IdleSession(QObject* parent = nullptr);

    void start() override {}
    void disconnect() override {}
    bool approvePairing() override { return false; }
    void closeUnverified() override {}
    bool isCurrent(const QString&) const override { return false; }
    bool forget(const QString&) override { return false; }
    void updateInputState() override {}
    void requestInputAccess() override {}
    void setDesktopControl(bool) override {}
    bool isDesktopControlEnabled(const QString&) const override { return false; }
    void setPencilTestActive(bool active) override { publishPencilTestActive(active); }
    QSize mainDisplayPixelSize() const override { return {}; }
};

}  // namespace quillory
