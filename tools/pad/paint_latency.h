#pragma once

#include <cstddef>
#include <cstdint>
#include <istream>
#include <map>
#include <optional>
#include <vector>

namespace quillory::pad {

// Paint-to-decode latency from a painter's log ({"counter":N,"time":ns} lines, monotonic time)
// and the counters read from decoded pictures.
class PaintLatency {
  public:
    struct Summary {
        std::size_t frames = 0;
        double medianMilliseconds = 0;
        double p95Milliseconds = 0;
    };

    // A picture decoded at `decodedAt` (monotonic ns) showed `counter`. Only the first decode of
    // a counter counts: a repeat of an unchanged picture is no new paint.
    void decoded(std::uint32_t counter, std::int64_t decodedAt);
    // Reads the log; lines that are not paint records are skipped. Returns the records read.
    std::size_t readLog(std::istream& log);
    // Over the decoded counters the log has; none without any.
    std::optional<Summary> summary() const;

  private:
    std::map<std::uint32_t, std::int64_t> painted_;
    std::map<std::uint32_t, std::int64_t> decoded_;
};

// The nearest-rank percentile (0 < p ≤ 1) of unsorted values; the median averages the two middle
// values of an even count.
double percentile(std::vector<double> values, double p);
double median(std::vector<double> values);

}  // namespace quillory::pad
