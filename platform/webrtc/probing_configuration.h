#pragma once

#include <map>
#include <optional>
#include <string>

namespace quillory {

// When the sender counts as application-limited: the "WebRTC-ProbingScreenshareBwe" trial,
// "<pacing factor>,<longest queue ms>,<usage %>,<start budget %>,<stop budget %>,<group>".
struct ApplicationLimitSettings {
    double pacingFactor = 1.0;
    int maximumQueueMilliseconds = 100;
    // The share of the estimate the sender is measured against.
    int usagePercent = 80;
    // Unspent budget, in percent of a full one, over which the sender becomes application-limited
    // and under which (negative: spent ahead) it stops being so.
    int startBudgetPercent = 40;
    int stopBudgetPercent = -60;
    int group = 3;
};

// The "WebRTC-Bwe-ProbingConfiguration" trial: "p1:1.5,p2:2,step_size:1.5,alr_scale:1.5,
// alloc_current_bwe_limit:1.5". Each factor multiplies a rate.
struct ProbingConfiguration {
    // The two probes at the start, of the initial estimate.
    double firstScale = 1.5;
    double secondScale = 2.0;
    // A further probe, of a probe's result.
    double stepScale = 1.5;
    // The periodic probe while application-limited, of the estimate.
    double applicationLimitedScale = 1.5;
    // No probe aims higher than this multiple of the estimate it starts from.
    double currentEstimateLimit = 1.5;
    ApplicationLimitSettings applicationLimit;
};

// Both trials, read; none unless both are present and read fully, and then the sender does not
// probe.
std::optional<ProbingConfiguration> probingConfiguration(
    const std::map<std::string, std::string>& fieldTrials);

}  // namespace quillory
