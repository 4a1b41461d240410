#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "app/desktop-control/desktop_input_environment.h"
#include "app/desktop-control/desktop_input_ledger.h"
#include "app/desktop-control/desktop_input_target.h"
#include "app/desktop-control/input_watchdog.h"
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
// pen and releases every key once. What other threads see sits in the DesktopInputLedger.
class DesktopInputWorker : public std::enable_shared_from_this<DesktopInputWorker> {
  public:
    static constexpr std::size_t historyLimit = DesktopInputLedger::historyLimit;
    static constexpr double batchAgeLimit = 2.0;
    static constexpr double actionAgeLimit = 1.0;

    // The snapshot the main thread shows.
    using Presentation = DesktopInputLedger::Presentation;

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
    // Lifts once under the revision the overflow moved to, unless it moved again.
    void recoverFromOverflow(std::uint64_t revision);
    // The one body of both submit operations.
    template <typename Input>
    void enqueue(Input input, const Uuid& connection, DesktopInputLedger::Lane lane);
    void liftAll();
    void process(const std::vector<PenSample>& samples, std::uint64_t revision,
                 const Uuid& connection, double receivedAt);
    void process(const DesktopAction& action, std::uint64_t revision, const Uuid& connection,
                 double receivedAt);
    void watchdogTick();

    DesktopInputEnvironment environment_;
    SerialQueue queue_;
    SequenceChecker mainSequence_;
    DesktopInputLedger ledger_;

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
    InputWatchdog watchdog_;
    std::vector<PenSample> accepted_;
    std::vector<double> timestamps_;
};

}  // namespace quillory
