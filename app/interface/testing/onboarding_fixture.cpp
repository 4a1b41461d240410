#include "app/interface/testing/onboarding_fixture.h"

#include <QPointer>
#include <QVariant>

#include "app/interface/onboarding_model.h"
#include "app/session/testing/fake_session.h"
#include "platform/defaults/testing/memory_user_defaults.h"

namespace quillory {

OnboardingFixture::OnboardingFixture(QObject* parent) : QObject(parent) {}

OnboardingFixture::~OnboardingFixture() = default;

void OnboardingFixture::prepare(QObject* model) {
    auto* onboarding = qobject_cast<OnboardingModel*>(model);
    if (!onboarding) {
        return;
    }
    defaults_ = std::make_shared<MemoryUserDefaults>();
    const QPointer<OnboardingFixture> self(this);
    OnboardingModel::Environment environment;
    environment.defaults = defaults_;
    environment.probes = {[self] { return self && self->accessibility_; },
                          [self] { return self && self->screenRecording_; }};
    onboarding->setEnvironment(std::move(environment));
    onboarding->setComputerName({});
}

void OnboardingFixture::setUpdatesAvailable(QObject* updates, bool available) {
    if (auto* fake = qobject_cast<FakeUpdates*>(updates)) {
        fake->publishAvailable(available);
    }
}

QVariant OnboardingFixture::completed() const {
    const std::optional<bool> value =
        defaults_ ? defaults_->boolValue("onboarding.completed") : std::nullopt;
    return value ? QVariant(*value) : QVariant();
}

}  // namespace quillory
