#pragma once

#include <QObject>
#include <QString>

#include "app/controls/studio_hooks.h"
#include "protocol/studio_signal.h"

namespace quillory {

// The Studio host as the session wires it and the views show it. State changes come from the
// host itself through the protected publishers; `failure` is also cleared by the views once the
// user has seen it.
class StudioControl : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool active READ active NOTIFY activeChanged)
    // A progress or state text while Studio starts or runs; empty when not running.
    Q_PROPERTY(QString status READ status NOTIFY statusChanged)
    // The last failure's message; empty when there is none.
    Q_PROPERTY(QString failure READ failure NOTIFY failureChanged)

  public:
    using QObject::QObject;

    bool active() const { return active_; }
    QString status() const { return status_; }
    QString failure() const { return failure_; }

    // Given once by the session; they go to the Studio host as they are.
    virtual void setHooks(StudioHooks hooks) = 0;
    // One Studio signal from the tablet.
    virtual void handle(const StudioSignal& signal) = 0;
    // Tears Studio down; keeps the source catalog only when a tablet is expected back.
    virtual void reset(bool keepCatalog) = 0;
    // Tells the tablet and ends Studio locally; leaves `failure` alone.
    Q_INVOKABLE virtual void stop() = 0;
    // The user has acknowledged the failure.
    Q_INVOKABLE void clearFailure() { publishFailure({}); }

  signals:
    void activeChanged();
    void statusChanged();
    void failureChanged();

  protected:
    void publishActive(bool active);
    void publishStatus(const QString& status);
    void publishFailure(const QString& failure);

  private:
    bool active_ = false;
    QString status_;
    QString failure_;
};

}  // namespace quillory
