#pragma once

#include <QObject>
#include <QVariant>
#include <memory>

namespace quillory {

class MemoryUserDefaults;

// For the welcome window's QML tests: gives a window's model a store in memory and grants the
// test sets (`onboardingFixture.prepare(view.onboarding)`, then `accessibility = true` and the
// model's refresh()).
class OnboardingFixture final : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool accessibility MEMBER accessibility_)
    Q_PROPERTY(bool screenRecording MEMBER screenRecording_)

  public:
    explicit OnboardingFixture(QObject* parent = nullptr);
    ~OnboardingFixture() override;

    // A fresh store; the grants as set now; no computer name.
    Q_INVOKABLE void prepare(QObject* model);
    // The fake updater's `available`.
    Q_INVOKABLE void setUpdatesAvailable(QObject* updates, bool available);
    // "onboarding.completed" in the store: true, false, or null when never written.
    Q_INVOKABLE QVariant completed() const;

  private:
    std::shared_ptr<MemoryUserDefaults> defaults_;
    bool accessibility_ = false;
    bool screenRecording_ = true;
};

}  // namespace quillory
