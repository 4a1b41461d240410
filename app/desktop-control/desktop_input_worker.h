#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "app/desktop-control/desktop_input_environment.h"
#include "app/desktop-control/desktop_input_target.h"
#include "app/desktop-control/keyboard_injector.h"
#include "app/desktop-control/pen_injector.h"
#include "platform/dispatch/sequence_checker.h"
#include "platform/dispatch/serial_queue.h"
#include "protocol/desktop_action.h"
#include "protocol/pen_event_timeline.h"
#include "protocol/pen_sample.h"
#include "protocol/stroke_gate.h"

namespace quillory {

// The one place where tablet input becomes desktop input. Batches and actions arrive on the
// link's transport queue, are checked against the current connection and revision, and replayed
// in order on the input queue. Work is invalidated, not cancelled: every queued job carries the
// revision it was accepted under and drops itself once it moved, and whatever moves it lifts the
// pen and releases every key once.
class DesktopInputWorker : public std::enable_shared_from_this<DesktopInputWorker> {
  public:
    static constexpr std::int64_t maxPendingBatches = 16;
    static constexpr std::int64_t maxPendingActions = 64;
    static constexpr std::size_t historyLimit = 4096;
    static constexpr double batchAgeLimit = 2.0;
    static constexpr double actionAgeLimit = 1.0;
    static constexpr double holdTimeout = 3.0;
    static constexpr double penTimeout = 2.0;
    static constexpr double watchdogInterval = 0.25;

    // The snapshot the main thread shows.
    struct Presentation {
        std::optional<PenSample> sample;
        Point position;
        double pressure = 0;
        bool indicator = false;
        std::vector<PenSample> history;  // accepted since the last take, hover excluded
    };

    static std::shared_ptr<DesktopInputWorker> create(DesktopInputEnvironment environment);
    ~DesktopInputWorker();
    DesktopInputWorker(const DesktopInputWorker&) = delete;
    DesktopInputWorker& operator=(const DesktopInputWorker&) = delete;

    // Transport queue (of the current connection's channel); never wait for processing.
    void submit(std::vector<PenSample> samples, const Uuid& connection);
    void submit(DesktopAction action, const Uuid& connection);
    void end(const Uuid& connection);
    void detach(const Uuid& connection);

    // Main thread only, never from the input queue.
    void attach(const Uuid& connection);
    // Lifts everything, then runs `body` on the input queue and waits for it. Target, foreground,
    // context and enablement change only inside a body.
    void configure(const std::function<void()>& body);
    void setRecording(bool recording);
    std::optional<Presentation> takePresentation();
    // The taker goes quiet: false when a snapshot is waiting already; otherwise `wake` runs
    // once, off the main thread, when the next one is left.
    bool parkPresentation(std::function<void()> wake);
    void clearHistory();
    void shutdown();

    // Inside a configure body.
    void setForeground(std::optional<std::int32_t> pid, std::optional<Uuid> contextID);
    void setTarget(const DesktopInputTarget& target);
    void setEnabled(bool enabled);
    // The root window changed size; configure has lifted everything already.
    void setRootArea(Rect area);
    // Input goes to another sink from now on; configure has lifted everything on the old one.
    void setSink(std::shared_ptr<InputEventSink> sink);

    // Waits until the work queued so far has run; for tests and orderly teardown.
    void drain();
    // Runs one watchdog check now, on the input queue.
    void checkWatchdog();
    std::uint64_t revision() const;

  private:
    explicit DesktopInputWorker(DesktopInputEnvironment environment);
    void startWatchdog();
    bool isCurrent(std::uint64_t revision, const std::optional<Uuid>& connection) const;
    void scheduleOverflowRecovery(std::unique_lock<std::mutex>& lock);
    // The one body of both submit operations.
    template <typename Input>
    void enqueue(Input input, const Uuid& connection, std::int64_t DesktopInputWorker::*pending,
                 std::int64_t limit);
    void liftAll();
    // With the lock held: the snapshot changed. Returns the parked taker's wake, to be run
    // after unlocking.
    std::function<void()> presentationChanged();
    void process(const std::vector<PenSample>& samples, std::uint64_t revision,
                 const Uuid& connection, double receivedAt);
    void process(const DesktopAction& action, std::uint64_t revision, const Uuid& connection,
                 double receivedAt);
    void watchdogTick();
    bool accessGranted() const;

    DesktopInputEnvironment environment_;
    SerialQueue queue_;
    SequenceChecker mainSequence_;
    SequenceChecker transportSequence_;

    mutable std::mutex lock_;
    std::optional<Uuid> connection_;
    std::uint64_t revision_ = 0;
    std::int64_t pending_ = 0;
    std::int64_t pendingActions_ = 0;
    // From a configure call until its barrier has run on the queue; input queued ahead of the
    // barrier in that time is dropped when it runs.
    bool configuring_ = false;
    bool overflowPending_ = false;
    Presentation presentation_;
    bool dirty_ = false;
    std::function<void()> presentationWake_;

    // Input queue only.
    PenInjector injector_;
    KeyboardInjector keyboard_;
    StrokeGate gate_;
    PenEventTimeline timeline_;
    bool enabled_ = false;
    bool recording_ = false;
    DesktopInputTarget target_;
    std::optional<std::int32_t> foreground_;
    std::optional<Uuid> contextID_;
    double lastAction_ = 0;
    double lastInput_ = 0;
    Timer watchdog_;
    std::vector<PenSample> accepted_;
    std::vector<double> timestamps_;
};

}  // namespace quillory
