#pragma once

#include <optional>

namespace quillory {

// The estimate's start: from where it started, 1.5 × and then 2 × that, one second apart while
// the path stays clean. Its steps stand for what probes would show where a busy sender cannot
// send them at their aim. Not thread-safe.
class StartupRamp {
  public:
    static constexpr double stepSeconds = 1.0;
    static constexpr double firstFactor = 1.5;
    static constexpr double secondFactor = 2.0;

    bool running() const { return steps_ < 2 && !ended_; }
    // A queue, or a limit that probes found, says the path has no room for a blind step.
    void end() { ended_ = true; }
    // A clean window at `at`: the estimate the ramp lifts `estimateBps` to.
    double clean(double at, double estimateBps);
    // A doubtful window restarts the clock of the step under way.
    void hold(double at);

  private:
    std::optional<double> start_;
    double base_ = 0;
    int steps_ = 0;
    bool ended_ = false;
};

}  // namespace quillory
