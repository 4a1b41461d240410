#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <utility>

namespace quillory {

// Schedules decoded frames for display: at most three wait, newest serial wins, and each frame is
// shown at its render time when that is plausible, else at its arrival. Times are seconds on the
// caller's monotonic clock; one owner.
template <class Frame>
class StudioPresentationSchedule {
  public:
    struct Entry {
        Frame frame;
        std::uint64_t serial = 0;
        double arrival = 0.0;
        double renderTime = 0.0;
    };

    static constexpr std::size_t maximumPending = 3;
    // A render time further than this from the arrival is not trusted.
    static constexpr double renderTimeTolerance = 0.1;

    // Ignores frames that are not newer than every frame accepted so far.
    void enqueue(Frame frame, std::uint64_t serial, double arrival, double renderTime) {
        if (!std::isfinite(arrival) || serial <= newestSerial_) {
            return;
        }
        newestSerial_ = serial;
        const bool plausible = renderTime > 0.0 && std::isfinite(renderTime) &&
                               std::fabs(renderTime - arrival) <= renderTimeTolerance;
        pending_.push_back(
            Entry{std::move(frame), serial, arrival, plausible ? renderTime : arrival});
        while (pending_.size() > maximumPending) {
            pending_.pop_front();
        }
    }

    // The newest pending frame due at `time`, else the frame on screen.
    std::optional<Entry> frame(double time) const {
        if (std::isfinite(time)) {
            for (auto entry = pending_.rbegin(); entry != pending_.rend(); ++entry) {
                if (entry->renderTime <= time) {
                    return *entry;
                }
            }
        }
        return current_;
    }

    // The entry is on screen now; older pending frames will never be shown.
    void markPresented(const Entry& entry) {
        if (current_ && current_->serial > entry.serial) {
            return;
        }
        current_ = entry;
        std::erase_if(pending_, [&](const Entry& e) { return e.serial <= entry.serial; });
    }

    std::size_t pendingCount() const { return pending_.size(); }
    const std::optional<Entry>& current() const { return current_; }
    std::uint64_t newestSerial() const { return newestSerial_; }

  private:
    std::deque<Entry> pending_;
    std::optional<Entry> current_;
    std::uint64_t newestSerial_ = 0;
};

}  // namespace quillory
