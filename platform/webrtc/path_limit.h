#pragma once

#include <optional>
#include <utility>

namespace quillory {

// The most the path is known to carry: what it got through when it was last full. A window that
// shows the path full says so at once; a probe the path slowed says so only once a second probe
// reads it alike, since a busy receiver's timing of one short burst reads it high or low. A probe
// that carried more shows room above it. Not thread-safe.
class PathLimit {
  public:
    // Two readings agree when the lower is at least this share of the higher.
    static constexpr double readingsAlike = 0.8;
    // Readings further apart than this may be of a path that has changed since.
    static constexpr double readingSeconds = 5.0;

    std::optional<double> bitsPerSecond() const { return limit_; }
    // The path was full carrying this much.
    void full(double bitsPerSecond) { limit_ = bitsPerSecond; }
    // A probe's reading of the limit at `at`: the lower of two alike, once a second one
    // confirms the first.
    std::optional<double> read(double at, double bitsPerSecond);
    // A probe got this much through: a limit or reading below it no longer stands.
    void carried(double bitsPerSecond);

  private:
    std::optional<double> limit_;
    std::optional<std::pair<double, double>> unconfirmed_;  // (when, rate)
};

}  // namespace quillory
