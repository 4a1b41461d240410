#include "app/desktop-control/desktop_input_worker.h"

#include <algorithm>
#include <type_traits>
#include <utility>

#include "platform/dispatch/pen_path_marks.h"

namespace quillory {

namespace {

// A sample for another display, an invalid one or one over a window above the target spoils the
// whole batch.
bool landsOffTarget(const std::vector<PenSample>& samples, const DesktopInputTarget& target,
                    const std::vector<Rect>& occluders) {
    return std::any_of(samples.begin(), samples.end(), [&](const PenSample& sample) {
        const Point point = target.bounds.map(sample.x, sample.y);
        return sample.studioID != target.studioID || !sample.isValid() ||
               std::any_of(occluders.begin(), occluders.end(),
                           [&](const Rect& rect) { return rect.contains(point); });
    });
}

// The last sample that moves or hovers: the one a drag event goes with.
std::optional<std::size_t> dragIndexOf(const std::vector<PenSample>& accepted) {
    for (std::size_t index = accepted.size(); index-- > 0;) {
        const auto phase = accepted[index].phase;
        if (phase == PenSample::Phase::moved || phase == PenSample::Phase::hover) {
            return index;
        }
    }
    return std::nullopt;
}

bool accessGranted(const DesktopInputEnvironment& environment) {
    return !environment.accessGranted || environment.accessGranted();
}

}  // namespace

std::shared_ptr<DesktopInputWorker> DesktopInputWorker::create(
    DesktopInputEnvironment environment) {
    std::shared_ptr<DesktopInputWorker> worker(new DesktopInputWorker(std::move(environment)));
    if (worker->environment_.automaticWatchdog) {
        std::weak_ptr<DesktopInputWorker> weak = worker;
        worker->watchdog_.start(worker->queue_, [weak] {
            if (auto self = weak.lock()) {
                self->watchdogTick();
            }
        });
    }
    return worker;
}

DesktopInputWorker::DesktopInputWorker(DesktopInputEnvironment environment)
    : environment_(std::move(environment)),
      queue_("com.quillory.input"),
      injector_(environment_.sink, environment_.clock),
      keyboard_(environment_.sink, environment_.layout, environment_.clock),
      target_(DesktopInputTarget::mainDisplay(*environment_.desktop)) {}

DesktopInputWorker::~DesktopInputWorker() {
    watchdog_.cancel();
}

std::uint64_t DesktopInputWorker::revision() const {
    return ledger_.revision();
}

void DesktopInputWorker::recoverFromOverflow(std::uint64_t revision) {
    std::weak_ptr<DesktopInputWorker> weak = weak_from_this();
    queue_.async([weak, revision] {
        auto worker = weak.lock();
        if (!worker) {
            return;
        }
        if (worker->ledger_.isCurrent(revision, std::nullopt)) {
            worker->liftAll();
        }
        worker->ledger_.overflowRecovered();
    });
}

template <typename Input>
void DesktopInputWorker::enqueue(Input input, const Uuid& connection,
                                 DesktopInputLedger::Lane lane) {
    using Outcome = DesktopInputLedger::Admission::Outcome;
    const double receivedAt = environment_.clock->nowSeconds();
    const auto admission = ledger_.admit(connection, lane);
    if (admission.outcome == Outcome::overflowed) {
        recoverFromOverflow(admission.revision);
    }
    if (admission.outcome != Outcome::accepted) {
        return;
    }
    std::weak_ptr<DesktopInputWorker> weak = weak_from_this();
    queue_.async([weak, revision = admission.revision, connection, receivedAt, lane,
                  input = std::move(input)] {
        if constexpr (std::is_same_v<Input, std::vector<PenSample>>) {
            markPenPath(PenPathMark::workerRan);
        }
        auto worker = weak.lock();
        if (!worker) {
            return;
        }
        if (worker->ledger_.isCurrent(revision, connection)) {
            worker->process(input, revision, connection, receivedAt);
        }
        worker->ledger_.ran(lane);
    });
}

void DesktopInputWorker::submit(std::vector<PenSample> samples, const Uuid& connection) {
    enqueue(std::move(samples), connection, DesktopInputLedger::Lane::batches);
}

void DesktopInputWorker::submit(DesktopAction action, const Uuid& connection) {
    // A flood of actions must not grow the queue without bound any more than pen batches may.
    enqueue(std::move(action), connection, DesktopInputLedger::Lane::actions);
}

void DesktopInputWorker::end(const Uuid& connection) {
    const auto revision = ledger_.end(connection);
    if (!revision) {
        return;
    }
    std::weak_ptr<DesktopInputWorker> weak = weak_from_this();
    queue_.async([weak, revision = *revision, connection] {
        if (auto worker = weak.lock(); worker && worker->ledger_.isCurrent(revision, connection)) {
            worker->liftAll();
        }
    });
}

void DesktopInputWorker::detach(const Uuid& connection) {
    const auto revision = ledger_.detach(connection);
    if (!revision) {
        return;
    }
    std::weak_ptr<DesktopInputWorker> weak = weak_from_this();
    queue_.async([weak, revision = *revision] {
        if (auto worker = weak.lock();
            worker && worker->ledger_.isCurrent(revision, std::nullopt)) {
            worker->enabled_ = false;
            worker->liftAll();
        }
    });
}

void DesktopInputWorker::attach(const Uuid& connection) {
    QUILLORY_CHECK_SEQUENCE(mainSequence_);
    ledger_.attach(std::nullopt);
    configure([this] {
        enabled_ = false;
        gate_ = StrokeGate{};
        timeline_ = PenEventTimeline{};
        watchdog_.forgetInput();
    });
    ledger_.attach(connection);
}

void DesktopInputWorker::configure(const std::function<void()>& body) {
    QUILLORY_CHECK_SEQUENCE(mainSequence_);
    ledger_.beginConfigure();
    const auto barrier = [&] {
        liftAll();
        body();
        // Cleared on the queue itself: input queued behind the barrier must find it done.
        ledger_.endConfigure();
    };
    if (!queue_.sync(barrier)) {
        // Only reachable from the queue itself, where running inline is what waiting would do.
        barrier();
    }
}

void DesktopInputWorker::setForeground(std::optional<std::int32_t> pid,
                                       std::optional<Uuid> contextID) {
    QUILLORY_CHECK_ON(queue_);
    foreground_ = pid;
    contextID_ = contextID;
}

void DesktopInputWorker::setTarget(const DesktopInputTarget& target) {
    QUILLORY_CHECK_ON(queue_);
    target_ = target;
}

void DesktopInputWorker::setEnabled(bool enabled) {
    QUILLORY_CHECK_ON(queue_);
    enabled_ = enabled;
}

void DesktopInputWorker::setRootArea(Rect area) {
    QUILLORY_CHECK_ON(queue_);
    environment_.sink->setArea(area);
}

void DesktopInputWorker::setSink(std::shared_ptr<InputEventSink> sink) {
    QUILLORY_CHECK_ON(queue_);
    environment_.sink = std::move(sink);
    injector_ = PenInjector(environment_.sink, environment_.clock);
    keyboard_ = KeyboardInjector(environment_.sink, environment_.layout, environment_.clock);
}

void DesktopInputWorker::setRecording(bool recording) {
    QUILLORY_CHECK_SEQUENCE(mainSequence_);
    const auto apply = [&] {
        recording_ = recording;
        ledger_.clearHistory();
    };
    if (!queue_.sync(apply)) {
        apply();
    }
}

std::optional<DesktopInputWorker::Presentation> DesktopInputWorker::takePresentation() {
    QUILLORY_CHECK_SEQUENCE(mainSequence_);
    return ledger_.take();
}

bool DesktopInputWorker::parkPresentation(std::function<void()> wake) {
    QUILLORY_CHECK_SEQUENCE(mainSequence_);
    return ledger_.park(std::move(wake));
}

void DesktopInputWorker::clearHistory() {
    QUILLORY_CHECK_SEQUENCE(mainSequence_);
    ledger_.clearHistory();
}

void DesktopInputWorker::shutdown() {
    QUILLORY_CHECK_SEQUENCE(mainSequence_);
    ledger_.shutdown();
    watchdog_.cancel();
    if (queue_.isCurrent() || !queue_.sync([this] { liftAll(); })) {
        liftAll();
    }
}

void DesktopInputWorker::drain() {
    (void)queue_.sync([] {});
}

void DesktopInputWorker::checkWatchdog() {
    (void)queue_.sync([this] { watchdogTick(); });
}

void DesktopInputWorker::liftAll() {
    if (injector_.isDown()) {
        injector_.markUp();
        injector_.postPointer(InputEventType::leftMouseUp, nullptr, std::nullopt, 0);
    }
    if (injector_.inProximity()) {
        injector_.postProximity(false, std::nullopt);
    }
    keyboard_.releaseAll();
    gate_.isDown = false;
    environment_.sink->flush();
    ledger_.showLifted();
}

void DesktopInputWorker::process(const std::vector<PenSample>& samples, std::uint64_t revision,
                                 const Uuid&, double receivedAt) {
    const Clock& clock = *environment_.clock;
    const auto occluders = target_.occluders(foreground_, *environment_.desktop);
    if (!occluders || (enabled_ && !accessGranted(environment_))) {
        return liftAll();
    }
    if (landsOffTarget(samples, target_, *occluders) ||
        clock.nowSeconds() - receivedAt >= batchAgeLimit) {
        return liftAll();
    }
    accepted_.clear();
    timestamps_.clear();
    for (const PenSample& sample : samples) {
        if (gate_.accept(sample)) {
            accepted_.push_back(sample);
            timestamps_.push_back(sample.timestamp);
        }
    }
    const std::vector<double> times = timeline_.map(timestamps_, receivedAt);
    const std::optional<std::size_t> dragIndex = dragIndexOf(accepted_);
    for (std::size_t index = 0; index < accepted_.size() && index < times.size(); ++index) {
        if (!ledger_.isCurrent(revision, std::nullopt) ||
            clock.nowSeconds() - receivedAt >= batchAgeLimit) {
            return liftAll();
        }
        if (enabled_) {
            injector_.post(accepted_[index], static_cast<std::uint64_t>(times[index] * 1e9),
                           dragIndex == index, keyboard_.modifierFlags(), target_.bounds);
        }
    }
    // One write for the whole batch.
    environment_.sink->flush();
    if (accepted_.empty()) {
        return;
    }
    const PenSample& last = accepted_.back();
    watchdog_.inputProcessed(clock.nowSeconds());
    ledger_.show(accepted_, target_.bounds.map(last.x, last.y), gate_.isDown, enabled_, recording_);
}

void DesktopInputWorker::process(const DesktopAction& action, std::uint64_t revision,
                                 const Uuid& connection, double receivedAt) {
    if (!ledger_.isCurrent(revision, connection) || !contextID_ ||
        *contextID_ != action.contextID) {
        return;
    }
    // A release is never refused: whatever else changed, keys must come up.
    if (action.kind == DesktopAction::Kind::end) {
        keyboard_.perform(action);
        return;
    }
    if (action.kind == DesktopAction::Kind::releaseAll || !enabled_ ||
        !accessGranted(environment_) || action.studioID != target_.studioID ||
        !target_.occluders(foreground_, *environment_.desktop) ||
        environment_.clock->nowSeconds() - receivedAt >= actionAgeLimit) {
        return liftAll();
    }
    if (action.kind == DesktopAction::Kind::tap && gate_.isDown) {
        return;
    }
    watchdog_.actionPerformed(environment_.clock->nowSeconds());
    keyboard_.perform(action);
}

void DesktopInputWorker::watchdogTick() {
    if (watchdog_.expired(environment_.clock->nowSeconds(), keyboard_.holdsChords(),
                          gate_.isDown)) {
        liftAll();
    }
}

}  // namespace quillory
