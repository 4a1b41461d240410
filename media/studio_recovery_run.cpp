#include "media/studio_recovery_run.h"

#include <limits>

namespace quillory {

bool StudioRecoveryRun::takeInterval(const StudioAdaptationObservation& observation) {
    const std::optional<StudioMediaInterval>& interval = observation.interval();
    const bool newer =
        interval && interval->windowEnd &&
        *interval->windowEnd > lastIntervalEnd.value_or(-std::numeric_limits<double>::infinity());
    if (newer) {
        lastIntervalEnd = interval->windowEnd;
        latest = observation;
    }
    return newer;
}

}  // namespace quillory
