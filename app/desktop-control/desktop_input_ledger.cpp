#include "app/desktop-control/desktop_input_ledger.h"

#include <algorithm>
#include <iterator>
#include <utility>

namespace quillory {

namespace {

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

DesktopInputLedger::Admission DesktopInputLedger::admit(const Uuid& connection, Lane lane) {
    using Outcome = Admission::Outcome;
    std::lock_guard lock(lock_);
    // Input that arrives while a configure barrier is waiting is kept: it carries the new
    // revision and runs behind the barrier, so a stroke begun then is not lost.
    if (connection_ != connection) {
        return {};
    }
    // Checked once the connection is known to be current: a late call from the channel of an
    // earlier connection comes from another transport queue, and is refused above.
    QUILLORY_CHECK_SEQUENCE(transportSequence_);
    auto& pending = lane == Lane::batches ? pending_ : pendingActions_;
    if (pending >= (lane == Lane::batches ? maxPendingBatches : maxPendingActions)) {
        // Moving the revision makes every queued job drop itself; the recovery lifts once.
        if (overflowPending_) {
            return {};
        }
        overflowPending_ = true;
        return {Outcome::overflowed, ++revision_};
    }
    ++pending;
    return {Outcome::accepted, revision_};
}

void DesktopInputLedger::ran(Lane lane) {
    std::lock_guard lock(lock_);
    --(lane == Lane::batches ? pending_ : pendingActions_);
}

void DesktopInputLedger::overflowRecovered() {
    std::lock_guard lock(lock_);
    overflowPending_ = false;
}

std::optional<std::uint64_t> DesktopInputLedger::end(const Uuid& connection) {
    std::lock_guard lock(lock_);
    if (connection_ != connection) {
        return std::nullopt;
    }
    QUILLORY_CHECK_SEQUENCE(transportSequence_);
    return ++revision_;
}

std::optional<std::uint64_t> DesktopInputLedger::detach(const Uuid& connection) {
    std::lock_guard lock(lock_);
    if (connection_ != connection) {
        return std::nullopt;
    }
    QUILLORY_CHECK_SEQUENCE(transportSequence_);
    connection_.reset();
    return ++revision_;
}

void DesktopInputLedger::attach(std::optional<Uuid> connection) {
    std::lock_guard lock(lock_);
    connection_ = connection;
    // The new connection's channel brings its own transport queue.
    transportSequence_.detach();
}

void DesktopInputLedger::beginConfigure() {
    std::lock_guard lock(lock_);
    configuring_ = true;
    ++revision_;
}

void DesktopInputLedger::endConfigure() {
    std::lock_guard lock(lock_);
    configuring_ = false;
}

void DesktopInputLedger::shutdown() {
    std::lock_guard lock(lock_);
    connection_.reset();
    ++revision_;
}

std::uint64_t DesktopInputLedger::revision() const {
    std::lock_guard lock(lock_);
    return revision_;
}

bool DesktopInputLedger::isCurrent(std::uint64_t revision,
                                   const std::optional<Uuid>& connection) const {
    std::lock_guard lock(lock_);
    return !configuring_ && revision_ == revision && (!connection || connection_ == connection);
}

std::optional<DesktopInputLedger::Presentation> DesktopInputLedger::take() {
    std::lock_guard lock(lock_);
    if (!dirty_) {
        return std::nullopt;
    }
    Presentation snapshot = presentation_;
    presentation_.history.clear();
    dirty_ = false;
    return snapshot;
}

bool DesktopInputLedger::park(std::function<void()> wake) {
    std::lock_guard lock(lock_);
    if (dirty_) {
        return false;
    }
    wake_ = std::move(wake);
    return true;
}

void DesktopInputLedger::clearHistory() {
    std::lock_guard lock(lock_);
    presentation_.history.clear();
}

std::function<void()> DesktopInputLedger::changed() {
    dirty_ = true;
    return std::exchange(wake_, nullptr);
}

void DesktopInputLedger::showLifted() {
    std::function<void()> wake;
    {
        std::lock_guard lock(lock_);
        presentation_.sample.reset();
        presentation_.pressure = 0;
        presentation_.indicator = false;
        wake = changed();
    }
    if (wake) {
        wake();
    }
}

void DesktopInputLedger::show(const std::vector<PenSample>& accepted, Point position, bool down,
                              bool enabled, bool recording) {
    const PenSample& last = accepted.back();
    std::function<void()> wake;
    {
        std::lock_guard lock(lock_);
        presentation_.sample = last;
        presentation_.position = position;
        if (down) {
            presentation_.pressure = last.pressure;
            presentation_.indicator = false;
        } else {
            presentation_.pressure = 0;
            presentation_.indicator = enabled && last.phase == PenSample::Phase::hover;
        }
        if (recording) {
            appendToHistory(accepted, presentation_.history, historyLimit);
        }
        wake = changed();
    }
    if (wake) {
        wake();
    }
}

}  // namespace quillory
