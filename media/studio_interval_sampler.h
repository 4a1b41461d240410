#pragma once

#include <map>
#include <optional>
#include <string>

#include "media/studio_media_interval.h"
#include "platform/webrtc/studio_statistics_report.h"

namespace quillory {

// Turns the cumulative counters of successive statistics reports into per-interval rates for one
// RTP stream. The first report, a new stream, a report that is not newer or one more than 3 s
// after the previous yields no interval but becomes the base of the next.
class StudioIntervalSampler {
  public:
    struct Previous {
        std::string id;
        double time = 0.0;
        double receivedAt = 0.0;
        std::map<std::string, double> values;
    };

    // `outbound` selects the sending side; `receivedAt` is the uptime at which the report arrived.
    std::optional<StudioMediaInterval> interval(const StudioStatisticsReport& report, bool outbound,
                                                double receivedAt);

    // Increase of a counter, absent when either side lacks it, is not finite, or went back.
    static std::optional<double> delta(const std::string& key,
                                       const std::map<std::string, double>& current,
                                       const std::map<std::string, double>& previous);

    const std::optional<Previous>& previous() const { return previous_; }

  private:
    std::optional<Previous> previous_;
};

}  // namespace quillory
