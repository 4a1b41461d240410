#include "app/permissions/permission_guide.h"

#include "app/permissions/permission_probe.h"

namespace quillory {

void DesktopGuideGrant::start() {
    openPrivacySettings(QString::fromLatin1(DesktopControlGrant::privacyAnchor), grant_);
}

std::shared_ptr<PermissionGuide> PermissionGuide::create(Parts parts) {
    std::shared_ptr<PermissionGuide> guide(new PermissionGuide(std::move(parts)));
    std::weak_ptr<PermissionGuide> weak = guide;
    QObject::connect(guide->model_.get(), &GuideModel::closeRequested, guide->model_.get(), [weak] {
        if (auto self = weak.lock()) {
            self->dismiss();
        }
    });
    QObject::connect(guide->model_.get(), &GuideModel::relaunchRequested, guide->model_.get(),
                     [weak] {
                         if (auto self = weak.lock(); self && self->parts_.relaunch) {
                             self->parts_.relaunch();
                         }
                     });
    return guide;
}

PermissionGuide::PermissionGuide(Parts parts)
    : parts_(std::move(parts)),
      model_(std::make_unique<GuideModel>()),
      startedAt_(parts_.clock->nowSeconds()) {}

PermissionGuide::~PermissionGuide() = default;

bool PermissionGuide::granted(Kind kind) const {
    return kind == Kind::accessibility ? parts_.probe->desktopControlGranted()
                                       : parts_.probe->screenCaptureGranted();
}

void PermissionGuide::show(Kind kind) {
    // Screen sharing is always allowed on X11: nothing to switch on.
    if (kind == Kind::screenRecording || granted(kind)) {
        return;
    }
    dismiss();
    kind_ = kind;
    model_->reset(kind);
    settingsSeen_ = false;
    grantEndedAt_.reset();
    startedAt_ = parts_.clock->nowSeconds();
    parts_.grant->start();
    surface_ = parts_.surface(*model_);
    scheduleTick();
}

void PermissionGuide::dismiss() {
    tickTimer_.cancel();
    closeTimer_.cancel();
    surface_.reset();
    kind_.reset();
}

void PermissionGuide::scheduleTick() {
    std::weak_ptr<PermissionGuide> weak = weak_from_this();
    tickTimer_ = parts_.executor->after(tickInterval, [weak] {
        if (auto self = weak.lock()) {
            self->scheduleTick();
            self->tick();
        }
    });
}

void PermissionGuide::tick() {
    if (!kind_ || !surface_) {
        return;
    }
    surface_->follow();
    // The grant has ended before access shows, so once confirmed only the scheduled close acts.
    if (model_->done()) {
        return;
    }
    if (granted(*kind_)) {
        model_->setDone();
        if (parts_.probe->relaunchNeeded()) {
            model_->setRelaunchOffered();
            return;
        }
        std::weak_ptr<PermissionGuide> weak = weak_from_this();
        closeTimer_ = parts_.executor->after(confirmation, [weak] {
            if (auto self = weak.lock()) {
                self->confirmed();
            }
        });
        return;
    }
    const double now = parts_.clock->nowSeconds();
    if (followGrant(now) || !kind_ || model_->manual()) {
        return;
    }
    if (settingsSeen_ || now - startedAt_ > grace) {
        dismiss();
    }
}

bool PermissionGuide::followGrant(double now) {
    using State = DesktopControlGrant::State;
    using Outcome = DesktopControlGrant::Outcome;
    const State state = parts_.grant->state();
    if (state == State::running) {
        settingsSeen_ = true;
        // Seen again, so a former end no longer counts.
        grantEndedAt_.reset();
        return true;
    }
    if (state == State::idle) {
        return false;
    }
    const QString manual = DesktopControlGrant::manualCommands().join(QLatin1Char('\n'));
    if (state == State::unableToStart) {
        // The only help on screen: it stays until the user closes it.
        model_->setManual(manual);
        return false;
    }
    switch (parts_.grant->outcome()) {
        case Outcome::dismissed:
            // The password prompt was closed, as when the settings window closes.
            dismiss();
            return false;
        case Outcome::granted:
            settingsSeen_ = true;
            if (!grantEndedAt_) {
                grantEndedAt_ = now;
            }
            if (now - *grantEndedAt_ <= accessLag) {
                return true;
            }
            // The rule went in and access never showed here.
            model_->setManual(manual);
            return false;
        case Outcome::failed:
        case Outcome::installedWithoutAccess:
        case Outcome::none:
            break;
    }
    model_->setManual(manual);
    return false;
}

void PermissionGuide::confirmed() {
    // Access came while input stayed on XTest: the card stays and offers the relaunch.
    if (parts_.probe->relaunchNeeded()) {
        model_->setRelaunchOffered();
        return;
    }
    dismiss();
    if (parts_.activate) {
        parts_.activate();
    }
}

}  // namespace quillory
