#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>
#include <memory>

#include "app/session/session_facade.h"

namespace quillory {

class UserDefaults;

// The status item as the lifecycle drives it (the interface module implements it).
class LifecycleStatusItem {
  public:
    virtual ~LifecycleStatusItem() = default;
    // Shows the panel and gives it the keyboard.
    virtual void showPanelForUser() = 0;
    // Drops the subscriptions, closes the panel and removes the tray icon.
    virtual void teardown() = 0;
};

// The card windows as the lifecycle drives them.
class LifecycleCardWindows {
  public:
    virtual ~LifecycleCardWindows() = default;
    // Opens or fronts the card of that identifier; other identifiers are ignored.
    virtual void open(const QString& identifier) = 0;
    // Raises and activates a visible card window; false when none is visible.
    virtual bool raiseVisible() = 0;
};

// The application delegate: owns the one session and the status item, runs the launch, opens the
// card windows, answers a second launch, and ends the application through quit(). Main thread.
//
// Every quit ends in one quit(): the status item is torn down, the session stopped (an explicit
// quit waits there for the tablet's "stop" to be written), and only then does the event loop end.
// A quit is explicit (the tablet's intent is recorded as stopped) when a user asked for it and
// neither the system is shutting down nor a relaunch is under way.
class MacAppLifecycle final : public QObject {
    Q_OBJECT

  public:
    enum class QuitRequest {
        user,    // the Quit items, Ctrl+Q, the panel's "Quit Quillory", SIGINT
        system,  // SIGTERM, SIGHUP, the session manager's log-out
    };

    struct Environment {
        // The session, owned from here on; its stop(explicitQuit) runs at quit.
        std::shared_ptr<SessionFacade> session;
        std::function<void(bool explicitQuit)> stopSession;
        std::function<std::unique_ptr<LifecycleStatusItem>(
            SessionFacade& session, std::function<void(QString)> openUtility)>
            makeStatusItem;
        // Built at launch; `finish` shows the status panel for the user (the end of onboarding).
        std::function<std::unique_ptr<LifecycleCardWindows>(SessionFacade& session,
                                                            std::function<void()> finish)>
            makeCardWindows;
        std::shared_ptr<UserDefaults> defaults;
        // Ends the event loop; runs once, after the termination steps.
        std::function<void()> endLoop;
        // The updater, once there is one; none leaves it out.
        std::function<void()> startUpdater;
        // Whether a relaunch (an update's or a permission's) is under way; none counts as no.
        std::function<bool()> relaunching;
        // Whether the system announced a power-off or restart; none counts as no.
        std::function<bool()> systemShuttingDown;
    };

    static constexpr const char* onboardingCompletedKey = "onboarding.completed";

    explicit MacAppLifecycle(Environment environment, QObject* parent = nullptr);
    ~MacAppLifecycle() override;

    // The launch sequence; runs once.
    void launch();
    void open(const QString& identifier);
    // A second launch: front a visible card window, else show the panel for the user.
    void reopen();
    // Runs the termination steps once; later calls do nothing.
    void quit(QuitRequest request);
    // SIGINT is someone at the terminal (explicit); SIGTERM and SIGHUP come with log-out and
    // shutdown.
    void quitOnSignal(int signalNumber);
    // The quit hook of the relaunches: their flag is already set.
    void quitForRelaunch() { quit(QuitRequest::user); }

    SessionFacade& session() const { return *environment_.session; }
    LifecycleStatusItem* statusItem() const { return statusItem_.get(); }
    LifecycleCardWindows* cardWindows() const { return cardWindows_.get(); }
    bool quitting() const { return quitting_; }
    // The kind the last quit passed to the session.
    bool explicitQuit() const { return explicitQuit_; }

  private:
    bool decideExplicit(QuitRequest request) const;

    Environment environment_;
    std::unique_ptr<LifecycleCardWindows> cardWindows_;
    std::unique_ptr<LifecycleStatusItem> statusItem_;
    bool launched_ = false;
    bool quitting_ = false;
    bool explicitQuit_ = true;
};

}  // namespace quillory
