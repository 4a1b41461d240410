#pragma once

#include <QMap>
#include <QSet>
#include <QStringList>
#include <QVariantMap>

#include "app/session/session_facade.h"

namespace quillory {

// Desktop input whose state the test sets; its two controls are recorded.
class FakeInput final : public InputControl {
    Q_OBJECT

  public:
    using InputControl::InputControl;

    bool controlDesktop() const override { return controlDesktop_; }
    double pressure() const override { return pressure_; }
    const std::vector<PenSample>& samples() const override { return samples_; }
    std::uint64_t samplesAppended() const override { return samplesAppended_; }
    std::uint64_t sampleGeneration() const override { return sampleGeneration_; }
    std::optional<PenSample> pointer() const override { return pointer_; }
    void clearSamples() override;
    void setRecording(bool recording) override;

    void setControlDesktop(bool on);
    Q_INVOKABLE void setPressure(double pressure);
    // A new history in place of the old one (a new generation).
    void setSamples(std::vector<PenSample> samples);
    // One presentation frame's batch, the oldest dropped beyond `limit` as the controller does.
    void appendSamples(const std::vector<PenSample>& batch, std::size_t limit);
    void setPointer(std::optional<PenSample> pointer);

    // From QML: `session.input.append([{phase: "began", x: 0.2, y: 0.3, pressure: 0.5}])`
    // appends one frame's batch; `session.input.point({...})` or `point(null)` sets the pointer.
    Q_INVOKABLE void append(const QVariantList& samples);
    Q_INVOKABLE void point(const QVariant& sample);

    Q_INVOKABLE QStringList calls() const { return calls_; }
    Q_INVOKABLE void clearCalls() { calls_.clear(); }

  private:
    bool controlDesktop_ = false;
    double pressure_ = 0;
    std::vector<PenSample> samples_;
    std::uint64_t samplesAppended_ = 0;
    std::uint64_t sampleGeneration_ = 0;
    std::optional<PenSample> pointer_;
    QStringList calls_;
};

// Studio whose state the test sets; its operations are recorded, and the session's hooks kept
// for the test to call.
class FakeStudio final : public StudioControl, public StudioHooks {
    Q_OBJECT

  public:
    using StudioControl::StudioControl;

    void setHooks(StudioHooks hooks) override {
        static_cast<StudioHooks&>(*this) = std::move(hooks);
    }
    void handle(const StudioSignal& signal) override;
    void reset(bool keepCatalog) override;
    void stop() override;

    using StudioControl::publishActive;
    using StudioControl::publishFailure;
    using StudioControl::publishStatus;

    const std::vector<StudioSignal>& handled() const { return handled_; }
    Q_INVOKABLE QStringList calls() const { return calls_; }

  private:
    std::vector<StudioSignal> handled_;
    QStringList calls_;
};

class FakeUpdates final : public UpdatesControl {
    Q_OBJECT

  public:
    using UpdatesControl::UpdatesControl;

    QString appVersionString() const override { return QStringLiteral("0.1.0 (1)"); }
    void setAutomaticChecks(bool on) override { publishAutomaticChecks(on); }
    void setAutomaticInstalls(bool on) override { publishAutomaticInstalls(on); }
    void checkForUpdates() override { calls_.append(QStringLiteral("checkForUpdates")); }

    using UpdatesControl::publishAvailable;
    using UpdatesControl::publishCanCheck;
    using UpdatesControl::publishLastChecked;
    using UpdatesControl::publishPendingVersion;

    // From QML tests: available, canCheck, pendingVersion, automaticChecks, automaticInstalls.
    Q_INVOKABLE void set(const QVariantMap& values);
    Q_INVOKABLE QStringList calls() const { return calls_; }

  private:
    QStringList calls_;
};

class FakeLoginItem final : public LoginItemControl {
    Q_OBJECT

  public:
    using LoginItemControl::LoginItemControl;

    // Succeeds unless an error text was chosen, which it then reports.
    void setEnabled(bool enabled) override;
    void refresh() override { calls_.append(QStringLiteral("refresh")); }
    void failWith(const QString& error) { failure_ = error; }

    using LoginItemControl::publishNeedsApproval;

    // From QML tests: enabled, needsApproval, failure (the next change's error text).
    Q_INVOKABLE void set(const QVariantMap& values);
    Q_INVOKABLE QStringList calls() const { return calls_; }

  private:
    QString failure_;
    QStringList calls_;
};

class FakeShell final : public SessionShell {
    Q_OBJECT

  public:
    explicit FakeShell(QObject* parent = nullptr);

    UpdatesControl* updates() const override { return updates_; }
    LoginItemControl* loginItem() const override { return loginItem_; }
    bool screenCaptureAllowedAtLaunch() const override { return screenCaptureAllowedAtLaunch_; }
    void relaunchApplication() override;
    void showPermissionGuide(PermissionKind kind) override;

    FakeUpdates* fakeUpdates() const { return updates_; }
    FakeLoginItem* fakeLoginItem() const { return loginItem_; }
    void setScreenCaptureAllowedAtLaunch(bool allowed) { screenCaptureAllowedAtLaunch_ = allowed; }

    Q_INVOKABLE QStringList calls() const { return calls_; }

  private:
    FakeUpdates* updates_;
    FakeLoginItem* loginItem_;
    bool screenCaptureAllowedAtLaunch_ = true;
    QStringList calls_;
};

// A session whose every published value the test sets and whose every operation is recorded
// ("forget:<key>", "setDesktopControl:true", ...) and answers as chosen. For tests and the
// screenshot tool only.
class FakeSession final : public SessionFacade {
    Q_OBJECT

  public:
    explicit FakeSession(QObject* parent = nullptr);

    void start() override;
    void disconnect() override;
    bool approvePairing() override;
    void closeUnverified() override;
    bool isCurrent(const QString& deviceKey) const override;
    bool forget(const QString& deviceKey) override;
    void updateInputState() override;
    void requestInputAccess() override;
    void setDesktopControl(bool enabled) override;
    bool isDesktopControlEnabled(const QString& deviceKey) const override;
    void setPencilTestActive(bool active) override;
    QSize mainDisplayPixelSize() const override;

    using SessionFacade::publishActivePeer;
    using SessionFacade::publishCanApprove;
    using SessionFacade::publishConnected;
    using SessionFacade::publishConnectionState;
    using SessionFacade::publishFailureMessage;
    using SessionFacade::publishLatency;
    using SessionFacade::publishListening;
    using SessionFacade::publishPairingApproved;
    using SessionFacade::publishPairingCode;
    using SessionFacade::publishPeerApproved;
    using SessionFacade::publishPeerName;
    using SessionFacade::publishPencilTestActive;
    using SessionFacade::publishRecovering;
    using SessionFacade::publishSavedDevices;

    // From QML: `session.set({connectionState: "pairing", pairingCode: "123456"})`;
    // keys are the property names; latency takes milliseconds or "measuring", "timedOut",
    // "unsupported"; savedDevices a list of {id, name}.
    Q_INVOKABLE void set(const QVariantMap& values);

    FakeInput* fakeInput() const { return fakeInput_; }
    FakeStudio* fakeStudio() const { return fakeStudio_; }
    FakeShell* fakeShell() const { return fakeShell_; }

    // Chosen answers.
    void answerApprove(bool answer) { approveAnswer_ = answer; }
    void answerForget(bool answer) { forgetAnswer_ = answer; }
    void setCurrentDevice(const QString& key) { currentDevice_ = key; }
    void setDesktopControlEnabled(const QString& key, bool on);
    void setMainDisplayPixelSize(QSize size) { mainDisplay_ = size; }

    Q_INVOKABLE QStringList calls() const { return calls_; }
    Q_INVOKABLE void clearCalls() { calls_.clear(); }

  private:
    FakeInput* fakeInput_;
    FakeStudio* fakeStudio_;
    FakeShell* fakeShell_;
    bool approveAnswer_ = true;
    bool forgetAnswer_ = true;
    QString currentDevice_;
    QSet<QString> desktopControl_;
    QSize mainDisplay_{1280, 800};
    mutable QStringList calls_;
};

}  // namespace quillory
