#include "media/studio_playback_recovery.h"

#include <algorithm>
#include <cmath>

namespace quillory {

namespace {

constexpr double breakSeconds = 3.0;
constexpr double maximumIntervalSeconds = 3.0;
constexpr double highBufferMS = 120.0;
constexpr double lowBufferMS = 60.0;
constexpr double resetAfterSeconds = 8.0;
constexpr int maximumResets = 2;
constexpr double cooldownSeconds = 120.0;

}  // namespace

bool StudioPlaybackRecovery::observe(const StudioMediaInterval& interval, double now) {
    if (lastObserved_ && now - *lastObserved_ > breakSeconds) {
        delayedSeconds_ = 0.0;
        lastObserved_.reset();
    }
    if (!(interval.seconds > 0.0 && std::isfinite(interval.seconds) &&
          interval.seconds <= maximumIntervalSeconds)) {
        return false;
    }
    if (interval.frames < 1 || !interval.bufferMS || !std::isfinite(*interval.bufferMS)) {
        return false;
    }
    lastObserved_ = now;
    const double bufferMS = *interval.bufferMS;
    if (bufferMS > highBufferMS) {
        delayedSeconds_ = std::min(delayedSeconds_ + interval.seconds, resetAfterSeconds);
    } else if (bufferMS < lowBufferMS) {
        delayedSeconds_ = 0.0;
        return false;
    }
    if (delayedSeconds_ < resetAfterSeconds || resets_ >= maximumResets ||
        !(now - lastReset_ >= cooldownSeconds)) {
        return false;
    }
    delayedSeconds_ = 0.0;
    ++resets_;
    lastReset_ = now;
    return true;
}

void StudioPlaybackRecovery::clear() {
    delayedSeconds_ = 0.0;
    lastObserved_.reset();
}

double StudioPlaybackRecovery::cooldownRemaining(double now) const {
    return std::max(lastReset_ - now + cooldownSeconds, 0.0);
}

}  // namespace quillory
