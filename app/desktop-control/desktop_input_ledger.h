#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/desktop/geometry.h"
#include "platform/dispatch/sequence_checker.h"
#include "protocol/pen_sample.h"

namespace quillory {

// What the input worker's threads share, behind its one lock and each touched for a handful of
// instructions: the connection whose input is accepted, the revision queued work carries, the
// back-pressure counts, and the snapshot the main thread shows.
class DesktopInputLedger {
  public:
    static constexpr std::int64_t maxPendingBatches = 16;
    static constexpr std::int64_t maxPendingActions = 64;
    static constexpr std::size_t historyLimit = 4096;

    struct Presentation {
        std::optional<PenSample> sample;
        Point position;
        double pressure = 0;
        bool indicator = false;
        std::vector<PenSample> history;  // accepted since the last take, hover excluded
    };

    enum class Lane { batches, actions };
    struct Admission {
        enum class Outcome { dropped, accepted, overflowed } outcome = Outcome::dropped;
        // The revision the input runs under; when overflowed, the one the recovery runs under.
        std::uint64_t revision = 0;
    };

    // Transport queue of the current connection. Input of another connection is dropped; past
    // the lane's bound the revision moves, once until overflowRecovered().
    Admission admit(const Uuid& connection, Lane lane);
    // The admitted input has run or dropped itself.
    void ran(Lane lane);
    void overflowRecovered();
    // The revision the lift runs under, unless the connection is another.
    std::optional<std::uint64_t> end(const Uuid& connection);
    // As end(), and nothing of the connection is accepted any more.
    std::optional<std::uint64_t> detach(const Uuid& connection);

    // Main thread.
    void attach(std::optional<Uuid> connection);
    void beginConfigure();
    void endConfigure();
    void shutdown();

    std::uint64_t revision() const;
    bool isCurrent(std::uint64_t revision, const std::optional<Uuid>& connection) const;

    std::optional<Presentation> take();
    // False when a snapshot is waiting; otherwise `wake` runs once when the next one is left.
    bool park(std::function<void()> wake);
    void clearHistory();
    // The pen was lifted: no sample, no pressure, no marker.
    void showLifted();
    // The last of `accepted` (not empty), at `position`.
    void show(const std::vector<PenSample>& accepted, Point position, bool down, bool enabled,
              bool recording);

  private:
    // With the lock held; the parked taker's wake, to be run after unlocking.
    std::function<void()> changed();

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
    std::function<void()> wake_;
    SequenceChecker transportSequence_;
};

}  // namespace quillory
