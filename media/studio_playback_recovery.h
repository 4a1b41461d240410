#pragma once

#include <limits>
#include <optional>

#include "media/studio_media_interval.h"

namespace quillory {

// Decides on the receiving side when an overfull playout buffer should be reset: after 8 s of
// stream time with a high buffer delay, at most twice, and at least 120 s apart. Times are seconds
// on one monotonic clock of the caller; one owner, one thread.
class StudioPlaybackRecovery {
  public:
    // True when the playout should be reset now.
    bool observe(const StudioMediaInterval& interval, double now);
    // Forgets the accumulation; the grants so far still count.
    void clear();
    // Seconds until another reset may be granted.
    double cooldownRemaining(double now) const;

    double delayedSeconds() const { return delayedSeconds_; }
    int resets() const { return resets_; }

  private:
    double delayedSeconds_ = 0.0;
    int resets_ = 0;
    double lastReset_ = -std::numeric_limits<double>::infinity();
    std::optional<double> lastObserved_;
};

}  // namespace quillory
