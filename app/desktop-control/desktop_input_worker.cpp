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

void appendToHistory(const std::vector<PenSample>& accepted, std::vector<PenSample>& history,
                     std::size_t limit) {
    std::copy_if(accepted.begin(), accepted.end(), std::back_inserter(history),
                 [](const PenSample& sample) { return sample.phase != PenSample::Phase::hover; });
    if (history.size() > limit) {
        history.erase(history.begin(),
                      history.begin() + static_cast<std::ptrdiff_t>(history.size() - limit));
    }
}

}  // namespace

std::shared_ptr<DesktopInputWorker> DesktopInputWorker::create(
    DesktopInputEnvironment environment) {
    std::shared_ptr<DesktopInputWorker> worker(new DesktopInputWorker(std::move(environment)));
    worker->startWatchdog();
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

void DesktopInputWorker::startWatchdog() {
    if (!environment_.automaticWatchdog) {
        return;
    }
    std::weak_ptr<DesktopInputWorker> weak = weak_from_this();
    watchdog_ = queue_.every(watchdogInterval, [weak] {
        if (auto worker = weak.lock()) {
            worker->watchdogTick();
        }
    });
}

bool DesktopInputWorker::accessGranted() const {
    return !environment_.accessGranted || environment_.accessGranted();
}

std::uint64_t DesktopInputWorker::revision() const {
    std::lock_guard lock(lock_);
    return revision_;
}

bool DesktopInputWorker::isCurrent(std::uint64_t revision,
                                   const std::optional<Uuid>& connection) const {
    std::lock_guard lock(lock_);
    return !configuring_ && revision_ == revision && (!connection || connection_ == connection);
}

// Called with the lock held; moves the revision so every queued job drops itself, and lifts once.
void DesktopInputWorker::scheduleOverflowRecovery(std::unique_lock<std::mutex>& lock) {
    if (overflowPending_) {
        return;
    }
    overflowPending_ = true;
    const std::uint64_t revision = ++revision_;
    lock.unlock();
    std::weak_ptr<DesktopInputWorker> weak = weak_from_this();
    queue_.async([weak, revision] {
        auto worker = weak.lock();
        if (!worker) {
            return;
        }
        if (worker->isCurrent(revision, std::nullopt)) {
            worker->liftAll();
        }
        std::lock_guard relock(worker->lock_);
        worker->overflowPending_ = false;
    });
}

template <typename Input>
void DesktopInputWorker::enqueue(Input input, const Uuid& connection,
                                 std::int64_t DesktopInputWorker::*pending, std::int64_t limit) {
    const double receivedAt = environment_.clock->nowSeconds();
    std::unique_lock lock(lock_);
    // Input that arrives while a configure barrier is waiting is kept: it carries the new
    // revision and runs behind the barrier, so a stroke begun then is not lost.
    if (connection_ != connection) {
        return;
    }
    // Checked once the connection is known to be current: a late call from the channel of an
    // earlier connection comes from another transport queue, and is refused above.
    QUILLORY_CHECK_SEQUENCE(transportSequence_);
    if (this->*pending >= limit) {
        scheduleOverflowRecovery(lock);
        return;
    }
    ++(this->*pending);
    const std::uint64_t revision = revision_;
    lock.unlock();
    std::weak_ptr<DesktopInputWorker> weak = weak_from_this();
    queue_.async([weak, revision, connection, receivedAt, pending, input = std::move(input)] {
        if constexpr (std::is_same_v<Input, std::vector<PenSample>>) {
            markPenPath(PenPathMark::workerRan);
        }
        auto worker = weak.lock();
        if (!worker) {
            return;
        }
        if (worker->isCurrent(revision, connection)) {
            worker->process(input, revision, connection, receivedAt);
        }
        std::lock_guard relock(worker->lock_);
        --((*worker).*pending);
    });
}

void DesktopInputWorker::submit(std::vector<PenSample> samples, const Uuid& connection) {
    enqueue(std::move(samples), connection, &DesktopInputWorker::pending_, maxPendingBatches);
}

void DesktopInputWorker::submit(DesktopAction action, const Uuid& connection) {
    // A flood of actions must not grow the queue without bound any more than pen batches may.
    enqueue(std::move(action), connection, &DesktopInputWorker::pendingActions_, maxPendingActions);
}

void DesktopInputWorker::end(const Uuid& connection) {
    std::unique_lock lock(lock_);
    if (connection_ != connection) {
        return;
    }
    QUILLORY_CHECK_SEQUENCE(transportSequence_);
    const std::uint64_t revision = ++revision_;
    lock.unlock();
    std::weak_ptr<DesktopInputWorker> weak = weak_from_this();
    queue_.async([weak, revision, connection] {
        if (auto worker = weak.lock(); worker && worker->isCurrent(revision, connection)) {
            worker->liftAll();
        }
    });
}

void DesktopInputWorker::detach(const Uuid& connection) {
    std::unique_lock lock(lock_);
    if (connection_ != connection) {
        return;
    }
    QUILLORY_CHECK_SEQUENCE(transportSequence_);
    connection_.reset();
    const std::uint64_t revision = ++revision_;
    lock.unlock();
    std::weak_ptr<DesktopInputWorker> weak = weak_from_this();
    queue_.async([weak, revision] {
        if (auto worker = weak.lock(); worker && worker->isCurrent(revision, std::nullopt)) {
            worker->enabled_ = false;
            worker->liftAll();
        }
    });
}

void DesktopInputWorker::attach(const Uuid& connection) {
    QUILLORY_CHECK_SEQUENCE(mainSequence_);
    {
        std::lock_guard lock(lock_);
        connection_.reset();
    }
    configure([this] {
        enabled_ = false;
        gate_ = StrokeGate{};
        timeline_ = PenEventTimeline{};
        lastInput_ = 0;
    });
    std::lock_guard lock(lock_);
    connection_ = connection;
    // The new connection's channel brings its own transport queue.
    transportSequence_.detach();
}

void DesktopInputWorker::configure(const std::function<void()>& body) {
    QUILLORY_CHECK_SEQUENCE(mainSequence_);
    {
        std::lock_guard lock(lock_);
        configuring_ = true;
        ++revision_;
    }
    const auto barrier = [&] {
        liftAll();
        body();
        // Cleared on the queue itself: input queued behind the barrier must find it done.
        std::lock_guard lock(lock_);
        configuring_ = false;
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
        std::lock_guard lock(lock_);
        presentation_.history.clear();
    };
    if (!queue_.sync(apply)) {
        apply();
    }
}

std::optional<DesktopInputWorker::Presentation> DesktopInputWorker::takePresentation() {
    QUILLORY_CHECK_SEQUENCE(mainSequence_);
    std::lock_guard lock(lock_);
    if (!dirty_) {
        return std::nullopt;
    }
    Presentation snapshot = presentation_;
    presentation_.history.clear();
    dirty_ = false;
    return snapshot;
}

bool DesktopInputWorker::parkPresentation(std::function<void()> wake) {
    QUILLORY_CHECK_SEQUENCE(mainSequence_);
    std::lock_guard lock(lock_);
    if (dirty_) {
        return false;
    }
    presentationWake_ = std::move(wake);
    return true;
}

std::function<void()> DesktopInputWorker::presentationChanged() {
    dirty_ = true;
    return std::exchange(presentationWake_, nullptr);
}

void DesktopInputWorker::clearHistory() {
    QUILLORY_CHECK_SEQUENCE(mainSequence_);
    std::lock_guard lock(lock_);
    presentation_.history.clear();
}

void DesktopInputWorker::shutdown() {
    QUILLORY_CHECK_SEQUENCE(mainSequence_);
    {
        std::lock_guard lock(lock_);
        connection_.reset();
        ++revision_;
    }
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
    std::function<void()> wake;
    {
        std::lock_guard lock(lock_);
        presentation_.sample.reset();
        presentation_.pressure = 0;
        presentation_.indicator = false;
        wake = presentationChanged();
    }
    if (wake) {
        wake();
    }
}

void DesktopInputWorker::process(const std::vector<PenSample>& samples, std::uint64_t revision,
                                 const Uuid&, double receivedAt) {
    const Clock& clock = *environment_.clock;
    const auto occluders = target_.occluders(foreground_, *environment_.desktop);
    if (!occluders || (enabled_ && !accessGranted())) {
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
        if (!isCurrent(revision, std::nullopt) ||
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
    lastInput_ = clock.nowSeconds();
    std::function<void()> wake;
    {
        std::lock_guard lock(lock_);
        presentation_.sample = last;
        presentation_.position = target_.bounds.map(last.x, last.y);
        if (gate_.isDown) {
            presentation_.pressure = last.pressure;
            presentation_.indicator = false;
        } else {
            presentation_.pressure = 0;
            presentation_.indicator = enabled_ && last.phase == PenSample::Phase::hover;
        }
        if (recording_) {
            appendToHistory(accepted_, presentation_.history, historyLimit);
        }
        wake = presentationChanged();
    }
    if (wake) {
        wake();
    }
}

void DesktopInputWorker::process(const DesktopAction& action, std::uint64_t revision,
                                 const Uuid& connection, double receivedAt) {
    if (!isCurrent(revision, connection) || !contextID_ || *contextID_ != action.contextID) {
        return;
    }
    // A release is never refused: whatever else changed, keys must come up.
    if (action.kind == DesktopAction::Kind::end) {
        keyboard_.perform(action);
        return;
    }
    if (action.kind == DesktopAction::Kind::releaseAll || !enabled_ || !accessGranted() ||
        action.studioID != target_.studioID ||
        !target_.occluders(foreground_, *environment_.desktop) ||
        environment_.clock->nowSeconds() - receivedAt >= actionAgeLimit) {
        return liftAll();
    }
    if (action.kind == DesktopAction::Kind::tap && gate_.isDown) {
        return;
    }
    lastAction_ = environment_.clock->nowSeconds();
    keyboard_.perform(action);
}

void DesktopInputWorker::watchdogTick() {
    const double now = environment_.clock->nowSeconds();
    if (keyboard_.holdsChords() && now - lastAction_ > holdTimeout) {
        liftAll();
    }
    if (gate_.isDown && now - lastInput_ > penTimeout) {
        liftAll();
    }
}

}  // namespace quillory
