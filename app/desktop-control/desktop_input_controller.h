#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "app/desktop-control/desktop_input_worker.h"
#include "app/desktop-control/desktop_pen_indicator.h"
#include "app/desktop-control/presentation_timer.h"

namespace quillory {

// The main-thread face of desktop input: owns the worker and the pen indicator, publishes the
// desktop-control switch and the pen test data, and carries the worker's snapshot onto the main
// thread once per display frame.
class DesktopInputController : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool controlDesktop READ controlDesktop WRITE setControlDesktop NOTIFY
                   controlDesktopChanged)
    Q_PROPERTY(double pressure READ pressure NOTIFY pressureChanged)

  public:
    static constexpr std::size_t sampleLimit = 12000;
    // Empty takes in a row after which the presentation timer (60 ticks a second) stops until the
    // worker leaves a snapshot: an idle tablet must not wake the main thread that often.
    static constexpr int idleTakesBeforeParking = 60;

    explicit DesktopInputController(DesktopInputEnvironment environment, QObject* parent = nullptr);
    ~DesktopInputController() override;

    const std::shared_ptr<DesktopInputWorker>& worker() const { return worker_; }
    DesktopPenIndicator& indicator() { return indicator_; }

    bool controlDesktop() const { return controlDesktop_; }
    void setControlDesktop(bool on);
    double pressure() const { return pressure_; }
    const std::vector<PenSample>& samples() const { return samples_; }
    // Samples ever appended to `samples`: with its size it tells how many left the front.
    std::uint64_t samplesAppended() const { return samplesAppended_; }
    // Bumped whenever `samples` is emptied (a clear, recording switched), so a view can tell an
    // emptied history from one that only lost its front.
    std::uint64_t sampleGeneration() const { return sampleGeneration_; }
    const std::optional<PenSample>& pointer() const { return pointer_; }
    // The snapshot timer runs: from beginPresentation() to disconnect(), except while parked.
    bool isPresenting() const { return presentation_.isActive(); }

    // Where input lands from now on; the pen is lifted and every key released first, and the
    // indicator, drawn for the old target, goes.
    void setTarget(const DesktopInputTarget& target);
    // The application in front, and the id of the desktop context sent for it; the pen is lifted
    // and every key released first.
    void setForeground(std::optional<std::int32_t> processID, std::optional<Uuid> contextID);
    // A new tablet connection: its input id for every submitted batch, action and end.
    Uuid beginPresentation();
    // The link's input for `connection` ended; callable from the transport queue.
    void disconnect(const Uuid& connection);
    void reset();
    void setRecording(bool recording);
    void clearSamples();
    void presentationTick();
    // Follows keyboard layout switches from now on.
    void observeInputSourceChanges();
    // Reads the root's new size, if any, and gives the pen its new area (the root watcher's
    // descriptor calls it).
    void followRootArea();
    // The input backend desktop input runs on.
    const InputBackendStatus& backend() const { return backend_; }
    // Opens the input backend again over the current root, for access granted while running. A
    // uinput result takes over: the old sink lifts the pen and releases every key first, and
    // queued work is dropped. Anything else keeps the old sink. Returns the backend in use.
    const InputBackendStatus& reopenInputBackend();

  signals:
    void controlDesktopChanged(bool on);
    void pressureChanged(double pressure);
    void pointerChanged();
    void samplesChanged();

  private:
    void hideIndicator();

    std::shared_ptr<KeyboardLayout> layout_;
    std::shared_ptr<RootWindowWatcher> rootArea_;
    std::shared_ptr<Desktop> desktop_;
    std::function<InputBackend(Rect)> openBackend_;
    InputBackendStatus backend_;
    // Before the worker, which takes the environment the timer reads its clock from.
    PresentationTimer presentation_;
    std::shared_ptr<DesktopInputWorker> worker_;
    DesktopPenIndicator indicator_;
    std::unique_ptr<QSocketNotifier> layoutNotifier_;
    std::unique_ptr<QSocketNotifier> rootNotifier_;
    std::vector<PenSample> samples_;
    std::uint64_t samplesAppended_ = 0;
    std::uint64_t sampleGeneration_ = 0;
    double pressure_ = 0;
    std::optional<PenSample> pointer_;
    bool controlDesktop_ = false;
    bool recording_ = false;
    std::optional<Uuid> presentationConnection_;
    int idleTakes_ = 0;
    // Held weakly by work posted from other threads; gone once the controller is.
    std::shared_ptr<int> lifetime_ = std::make_shared<int>(0);
};

}  // namespace quillory
