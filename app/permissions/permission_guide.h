#pragma once

#include <functional>
#include <memory>
#include <optional>

#include "app/permissions/desktop_control_grant.h"
#include "app/permissions/guide_model.h"
#include "platform/clock/clock.h"
#include "platform/dispatch/main_queue.h"
#include "platform/dispatch/timer.h"

namespace quillory {

class PermissionProbe;

// What the guide needs of the grant, which on Linux stands in for the privacy settings window.
class GuideGrant {
  public:
    virtual ~GuideGrant() = default;
    // Opens the privacy pane for desktop control: starts the grant.
    virtual void start() = 0;
    virtual DesktopControlGrant::State state() const = 0;
    virtual DesktopControlGrant::Outcome outcome() const = 0;
};

// The application's grant.
class DesktopGuideGrant final : public GuideGrant {
  public:
    explicit DesktopGuideGrant(DesktopControlGrant& grant) : grant_(grant) {}
    void start() override;
    DesktopControlGrant::State state() const override { return grant_.state(); }
    DesktopControlGrant::Outcome outcome() const override { return grant_.outcome(); }

  private:
    DesktopControlGrant& grant_;
};

// The floating card on screen; destroying it takes it off the screen.
class GuideSurface {
  public:
    virtual ~GuideSurface() = default;
    // Moves the card beside the grant's prompt when the desktop shows where that is; asked on
    // every tick while the card is up.
    virtual void follow() {}
};

// Shows the user which permission to switch on while the grant runs, confirms when access is on
// and brings our window back, or keeps the manual steps on screen when the grant cannot finish.
// One for the application; main thread only.
class PermissionGuide final : public std::enable_shared_from_this<PermissionGuide> {
  public:
    using Kind = SessionShell::PermissionKind;

    static constexpr double tickInterval = 0.25;
    // How long the card waits for a grant that never starts.
    static constexpr double grace = 6.0;
    // How long access may lag behind a grant that ended well.
    static constexpr double accessLag = DesktopControlGrant::accessWait;
    // How long the confirmation stays before the card closes.
    static constexpr double confirmation = 1.1;

    struct Parts {
        PermissionProbe* probe = nullptr;
        std::unique_ptr<GuideGrant> grant;
        std::shared_ptr<Clock> clock;
        std::shared_ptr<Executor> executor;
        // Puts the card for the model on screen.
        std::function<std::unique_ptr<GuideSurface>(GuideModel&)> surface;
        // Brings our last focused window to the front.
        std::function<void()> activate;
        std::function<void()> relaunch;
    };

    static std::shared_ptr<PermissionGuide> create(Parts parts);
    ~PermissionGuide();
    PermissionGuide(const PermissionGuide&) = delete;
    PermissionGuide& operator=(const PermissionGuide&) = delete;

    // Shows the guide for the kind unless the permission is on already.
    void show(Kind kind);
    void dismiss();
    // The timer's work, public for tests.
    void tick();

    bool showing() const { return kind_.has_value(); }
    GuideModel& model() { return *model_; }

  private:
    explicit PermissionGuide(Parts parts);

    bool granted(Kind kind) const;
    void scheduleTick();
    // The grant as the window the guide would follow: true while it is there (the grant runs,
    // or access may still follow its success); sets the manual steps when it cannot finish.
    bool followGrant(double now);
    void confirmed();

    Parts parts_;
    std::unique_ptr<GuideModel> model_;
    std::unique_ptr<GuideSurface> surface_;
    Timer tickTimer_;
    // Belongs to the guide that scheduled it: dismiss() and show() cancel it.
    Timer closeTimer_;
    std::optional<Kind> kind_;
    bool settingsSeen_ = false;
    double startedAt_ = 0;
    std::optional<double> grantEndedAt_;
};

}  // namespace quillory
